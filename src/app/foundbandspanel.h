#pragma once

// The found-bands panel (docked in the main window): listing the frames the lane finder proposed,
// as the person adjusts them, with what was searched, a sensitivity slider that shows fainter or
// fewer of the proposals, and buttons to delete the chosen frame, clear them all, scan them into
// the sheet or send them to the report window. A lane marked as a ladder gives every band its size.

#include "core/lanequant.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QSpinBox;
class QListWidget;
class QPushButton;
class QSlider;

namespace kesto {

class FoundBandsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit FoundBandsPanel(QWidget* parent = nullptr);

    void setNotice(const QString& text);
    QString notice() const;
    // One line per frame; current is the chosen one's row, -1 for none.
    void setEntries(const QStringList& entries, int current);
    int current() const;
    // The sensitivity slider, 0 to 100; set without a sensitivityChanged.
    void setSensitivity(int value);
    int sensitivity() const;
    // How the bands are measured and the lanes' baseline under volumes; set without a
    // measureChanged.
    void setMeasure(QuantifyMode mode, PeakShape shape, const LaneBackground& background);

    QListWidget* list() const { return m_list; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* clearButton() const { return m_clear; }
    QPushButton* scanButton() const { return m_scan; }
    QPushButton* reportButton() const { return m_report; }
    QPushButton* ladderButton() const { return m_ladder; }
    QSlider* sensitivitySlider() const { return m_sensitivity; }
    QComboBox* measureBox() const { return m_measure; }
    QComboBox* baselineBox() const { return m_baseline; }
    QSpinBox* ballRadiusBox() const { return m_radius; }

Q_SIGNALS:
    void currentChanged(int row);
    void deleteRequested();
    void clearRequested();
    void scanRequested();
    void reportRequested();
    // Mark as Ladder: the chosen band's lane runs a ladder (or no longer does).
    void ladderRequested();
    // The person moved the slider: the proposals are filtered again, not searched for.
    void sensitivityChanged(int value);
    // The person chose another way of measuring, or another baseline.
    void measureChanged(QuantifyMode mode, PeakShape shape, const LaneBackground& background);

private:
    QLabel* m_notice = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_scan = nullptr;
    QPushButton* m_report = nullptr;
    QPushButton* m_ladder = nullptr;
    QSlider* m_sensitivity = nullptr;
    QLabel* m_sensitivityLabel = nullptr;
    QComboBox* m_measure = nullptr;
    QComboBox* m_baseline = nullptr;
    QSpinBox* m_radius = nullptr;
    bool m_filling = false;
};

} // namespace kesto
