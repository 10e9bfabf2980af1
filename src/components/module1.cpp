#include "components/module1.h"

#include "core/error.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace kesto {

namespace Module1 {

void SplitColor(std::int16_t& red, std::int16_t& green, std::int16_t& blue, ColorValue colour)
{
    splitColor(red, green, blue, colour);
}

ColorValue SystemColorToRGB(ColorValue colour)
{
    // The system colour index sits in the low bits: the last five hex digits.
    const QString hex = QString::number(std::uint32_t(colour), 16).toUpper().right(5);
    const int index = hex.toInt(nullptr, 16);
    const QPalette palette = QGuiApplication::palette();
    QPalette::ColorRole role;
    switch (index) {
    case 5:
        role = QPalette::Base;
        break; // window background
    case 8:
        role = QPalette::Text;
        break; // window text
    case 13:
        role = QPalette::Highlight;
        break; // selection highlight
    case 14:
        role = QPalette::HighlightedText;
        break; // selected text
    case 15:
        role = QPalette::Button;
        break; // button face
    case 16:
        role = QPalette::Dark;
        break; // button shadow
    case 18:
        role = QPalette::ButtonText;
        break; // button text
    case 20:
        role = QPalette::Light;
        break; // 3-D highlight
    default:
        throw Error(Error::InvalidValue,
                    QStringLiteral("Unknown system colour index %1").arg(index));
    }
    return fromQColor(palette.color(QPalette::Active, role));
}

void CenterForm(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const float tx = float(twipsPerPixelX(window));
    const float ty = float(twipsPerPixelY(window));
    const QRect area = screen->geometry();
    const QSize outer = window->frameGeometry().size();
    const float left = (float(area.width()) * tx - float(outer.width()) * tx) / 2.0f;
    const float top = (float(area.height()) * ty - float(outer.height()) * ty) / 2.0f;
    window->move(area.x() + qRound(left / tx), area.y() + qRound(top / ty));
}

void EndProgram()
{
    static bool ending = false;
    if (ending)
        return;
    ending = true;
    // Copy the list first: closing a window may delete it and change the list.
    QList<QPointer<QWidget>> windows;
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget* w : topLevels)
        windows.append(w);
    for (const QPointer<QWidget>& w : windows) {
        if (w)
            w->close();
    }
    for (const QPointer<QWidget>& w : windows) {
        if (w)
            w->hide();
    }
    QCoreApplication::quit();
    ending = false;
}

} // namespace Module1

QColor toQColor(ColorValue colour)
{
    if (std::uint32_t(colour) & 0x80000000u)
        colour = Module1::SystemColorToRGB(colour);
    std::int16_t r, g, b;
    Module1::SplitColor(r, g, b, colour);
    return QColor(r, g, b);
}

ColorValue fromQColor(const QColor& colour)
{
    return rgbValue(colour.red(), colour.green(), colour.blue());
}

double twipsPerPixelX(const QWidget* widget)
{
    const QScreen* screen =
        widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double twipsPerPixelY(const QWidget* widget)
{
    const QScreen* screen =
        widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

} // namespace kesto
