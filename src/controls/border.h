#pragma once

// The program's etched separator: a dark one-pixel line with a light one directly below,
// across the whole width. The height is held at 60 twips (4 pixels at 15 twips per
// pixel) whatever a layout or the host asks for; the width follows freely.

#include "components/module1.h"

#include <QWidget>

namespace kesto {

class PropertyBag;

class Border : public QWidget
{
    Q_OBJECT

public:
    static constexpr double HeightTwips = 60.0;

    // A line of the groove in the control's twips.
    struct Line
    {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        ColorValue colour = 0;
    };

    explicit Border(QWidget* parent = nullptr);

    // Throws Error (naming the key) for a stored colour that cannot be read.
    static Border* fromProperties(const PropertyBag& bag, QWidget* parent = nullptr);
    static Border* fromFile(const QString& path, QWidget* parent = nullptr);

    ColorValue DarkColor() const { return m_linBorderDark.colour; }
    void setDarkColor(ColorValue New_DarkColor);
    ColorValue LightColor() const { return m_linBorderLight.colour; }
    void setLightColor(ColorValue New_LightColor);

    // Reading checks both colours before either is applied.
    void readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;

    Line linBorderDark() const { return m_linBorderDark; }
    Line linBorderLight() const { return m_linBorderLight; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void propertyChanged(const QString& name);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutLines();
    int heightPixels() const;

    Line m_linBorderDark{0, 0, 6300, 0, SystemButtonShadow};
    Line m_linBorderLight{0, 15, 6300, 15, System3DHighlight};
};

} // namespace kesto
