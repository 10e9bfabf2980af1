#include "controls/border.h"

#include "controls/propertybag.h"
#include "core/error.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <memory>

namespace kesto {

namespace {

ColorValue readColour(const PropertyBag& bag, const QString& key, ColorValue defaultValue)
{
    const ColorValue value = bag.readInt32(key, defaultValue);
    try {
        (void)toQColor(value);
    } catch (const Error& error) {
        throw Error(error.number(), QStringLiteral("The stored property \"%1\" cannot be read: %2")
                                        .arg(key, error.message()));
    }
    return value;
}

} // namespace

Border::Border(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    resize(int(std::lround(6300.0 / twipsPerPixelX(this))), heightPixels());
    layoutLines();
}

Border* Border::fromProperties(const PropertyBag& bag, QWidget* parent)
{
    auto border = std::make_unique<Border>(parent);
    border->readProperties(bag);
    return border.release();
}

Border* Border::fromFile(const QString& path, QWidget* parent)
{
    return fromProperties(PropertyBag::fromFile(path), parent);
}

int Border::heightPixels() const
{
    return int(std::lround(HeightTwips / twipsPerPixelY(this)));
}

QSize Border::sizeHint() const
{
    return QSize(int(std::lround(6300.0 / twipsPerPixelX(this))), heightPixels());
}

QSize Border::minimumSizeHint() const
{
    return QSize(0, heightPixels());
}

void Border::setDarkColor(ColorValue New_DarkColor)
{
    (void)toQColor(New_DarkColor); // refuses a system colour the program does not know
    m_linBorderDark.colour = New_DarkColor;
    update();
    Q_EMIT propertyChanged(QStringLiteral("DarkColor"));
}

void Border::setLightColor(ColorValue New_LightColor)
{
    (void)toQColor(New_LightColor);
    m_linBorderLight.colour = New_LightColor;
    update();
    Q_EMIT propertyChanged(QStringLiteral("LightColor"));
}

void Border::readProperties(const PropertyBag& bag)
{
    const ColorValue dark = readColour(bag, QStringLiteral("DarkColor"), SystemButtonShadow);
    const ColorValue light = readColour(bag, QStringLiteral("LightColor"), System3DHighlight);
    m_linBorderDark.colour = dark;
    m_linBorderLight.colour = light;
    update();
}

void Border::writeProperties(PropertyBag& bag) const
{
    bag.writeInt32(QStringLiteral("DarkColor"), DarkColor(), SystemButtonShadow);
    bag.writeInt32(QStringLiteral("LightColor"), LightColor(), System3DHighlight);
}

void Border::layoutLines()
{
    const double scaleLeft = 0.0;
    const double scaleWidth = width() * twipsPerPixelX(this);
    m_linBorderDark.x1 = scaleLeft;
    m_linBorderDark.x2 = scaleLeft + scaleWidth;
    m_linBorderLight.x1 = scaleLeft;
    m_linBorderLight.x2 = scaleLeft + scaleWidth;
    // Holding the height raises one more resize, which finds it right and stops.
    if (height() != heightPixels())
        resize(width(), heightPixels());
}

void Border::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutLines();
}

void Border::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double tppx = twipsPerPixelX(this);
    const double tppy = twipsPerPixelY(this);
    // A line covers its start point and not its end point, one pixel high.
    for (const Line* line : {&m_linBorderDark, &m_linBorderLight}) {
        const QRectF band(line->x1 / tppx, line->y1 / tppy, (line->x2 - line->x1) / tppx, 1.0);
        painter.fillRect(band, toQColor(line->colour));
    }
}

} // namespace kesto
