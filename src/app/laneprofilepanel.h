#pragma once

// The lane-profile panel: a tool window plotting the frame's profile (the channel's mean
// across the frame at each row or column), the background level as a line and the area
// between them shaded. Hovering shows a position's value; the profile can be copied as
// tab-separated text and saved as a PNG or SVG picture.

#include "core/lanequant.h"
#include "core/laneprofile.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

class QChart;
class QChartView;
class QLineSeries;
class QAreaSeries;
class QValueAxis;

namespace kesto {

class LaneProfilePanel : public QWidget
{
    Q_OBJECT
public:
    explicit LaneProfilePanel(QWidget* parent = nullptr);
    ~LaneProfilePanel() override;

    // Along rows unless the switch is on.
    ProfileDirection direction() const;
    void setDirection(ProfileDirection direction);

    void setProfile(const LaneProfile& profile);
    // The whole lane the frame lies in: its profile, its baseline and each band's
    // boundaries, with the bands' volumes and the lane's total below the plot.
    void setLane(const LaneMeasure& measure, const std::vector<BandBounds>& bounds,
                 const QString& name);
    const LaneProfile& profile() const { return m_profile; }
    // Shown instead of a profile that could not be made; the old plot is cleared.
    void showMessage(const QString& text);

    // The plot's series: the profile, the background line and the shaded area.
    QLineSeries* profileSeries() const { return m_profileLine; }
    QLineSeries* backgroundSeries() const { return m_backgroundLine; }
    // The bands' boundaries, as drop lines from the profile to the baseline.
    QLineSeries* boundarySeries() const { return m_boundaries; }
    QAreaSeries* areaSeries() const { return m_area; }
    QChartView* chartView() const { return m_view; }
    QLabel* valueLabel() const { return m_value; }
    QLabel* areaLabel() const { return m_areaText; }

    // "Row 12: 143.5" for the value nearest to x on the plot.
    QString valueText(double x) const;
    // Copies the profile as tab-separated text.
    void copyProfile();
    // Asks for a path and saves the plot there: SVG for a ".svg" name, PNG otherwise.
    void saveProfile();
    // The plot as a picture of the view's size.
    QImage plotImage() const;

Q_SIGNALS:
    void directionChanged();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void writePlot(const QString& path);

    LaneProfile m_profile;
    QCheckBox* m_columns = nullptr;
    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QLineSeries* m_profileLine = nullptr;
    QLineSeries* m_backgroundLine = nullptr;
    QLineSeries* m_boundaries = nullptr;
    QLineSeries* m_areaUpper = nullptr;
    QLineSeries* m_areaLower = nullptr;
    QAreaSeries* m_area = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QLabel* m_value = nullptr;
    QLabel* m_areaText = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace kesto
