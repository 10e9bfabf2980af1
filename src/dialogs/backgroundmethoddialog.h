#pragma once

// Image -> Background Method...: one choice per way of finding the background, each with
// its own settings in spin boxes. The settings of every method are kept, so a method
// chosen again later comes back as it was typed.

#include "core/backgroundmethod.h"

#include <QDialog>

class QButtonGroup;
class QSpinBox;

namespace kesto {

class BackgroundMethodDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BackgroundMethodDialog(QWidget* parent = nullptr);

    // The choice and every method's settings (each method reads its own).
    void setMethod(const BackgroundMethod& method);
    BackgroundMethod method() const;

    QSpinBox* areaBox() const { return m_area; }
    QSpinBox* borderBox() const { return m_border; }
    QSpinBox* ballBox() const { return m_ball; }

    // OK keeps the dialog open, with a message through the prompts, while the settings
    // do not make a method (an even area side).
    void accept() override;

private:
    void enableSettings();

    QButtonGroup* m_choices = nullptr;
    QSpinBox* m_area = nullptr;
    QSpinBox* m_border = nullptr;
    QSpinBox* m_ball = nullptr;
};

} // namespace kesto
