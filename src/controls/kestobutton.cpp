#include "controls/kestobutton.h"

#include "controls/propertybag.h"
#include "core/error.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <memory>
#include <optional>

namespace kesto {

namespace {

const QString defaultCaption = QStringLiteral("KestoButton");
constexpr std::int16_t defaultDelta = 45;
constexpr ColorValue defaultLightBorder = 0xFFFFFF;
constexpr ColorValue defaultDarkBorder = 0x808080;
constexpr std::int16_t defaultShift = 15;

// Where the picture goes and where the caption starts, in twips, for one alignment.
struct Placement
{
    float pictureX = 0, pictureY = 0, textX = 0, textY = 0;
};

Placement place(std::int16_t alignment, bool hasPicture, float SL, float ST, float SW, float SH,
                float pw, float ph, float tw, float th, float d, float s)
{
    Placement at;
    if (!hasPicture) {
        at.textX = SL + (SW - tw - SL) / 2.0f + s;
        at.textY = ST + (SH - th - ST) / 2.0f + s;
        return at;
    }
    switch (alignment) {
    case 0: // picture at the left
        at.pictureX = SL + d + s;
        at.pictureY = ST + (SH - ST - ph) / 2.0f + s;
        at.textX = SL + pw + (SW - pw - tw - SL) / 2.0f + s;
        at.textY = ST + (SH - th - ST) / 2.0f + s;
        break;
    case 1: // picture at the right
        at.pictureX = SL + SW - d - pw + s;
        at.pictureY = ST + (SH - ST - ph) / 2.0f + s;
        at.textX = SL + d + s;
        at.textY = ST + (SH - th - ST) / 2.0f + s;
        break;
    default: // picture on top; the pressed offset is applied twice across
        at.pictureX = SL + (SW - SL - pw) / 2.0f + 2.0f * s;
        at.pictureY = ST + d + s;
        at.textX = SL + (SW - tw - SL) / 2.0f + 2.0f * s;
        at.textY = ST + d + ph + d + s;
        break;
    }
    return at;
}

void checkFinite(float value)
{
    if (!std::isfinite(value))
        throw Error(Error::Overflow,
                    QStringLiteral("Overflow in the button's drawing coordinates"));
}

void checkColour(ColorValue colour)
{
    (void)toQColor(colour); // throws for a system colour the program does not know
}

void checkMousePointer(std::int16_t pointer)
{
    if ((pointer < 0 || pointer > 15) && pointer != 99)
        throw Error(Error::InvalidValue,
                    QStringLiteral("MousePointer must be 0 to 15, or 99 for the custom icon; %1 is "
                                   "not a pointer kind")
                        .arg(pointer));
}

void checkCaption(const QString& caption)
{
    if (caption.size() > KestoButton::MaxCaptionLength)
        throw Error(Error::Overflow,
                    QStringLiteral("A caption may hold at most %1 characters; this one has %2")
                        .arg(KestoButton::MaxCaptionLength)
                        .arg(caption.size()));
}

Qt::CursorShape cursorShape(std::int16_t pointer)
{
    switch (pointer) {
    case 2:
        return Qt::CrossCursor;
    case 3:
        return Qt::IBeamCursor;
    case 5:
        return Qt::SizeAllCursor;
    case 6:
        return Qt::SizeBDiagCursor;
    case 7:
        return Qt::SizeVerCursor;
    case 8:
        return Qt::SizeFDiagCursor;
    case 9:
        return Qt::SizeHorCursor;
    case 10:
        return Qt::UpArrowCursor;
    case 11:
        return Qt::WaitCursor;
    case 12:
        return Qt::ForbiddenCursor;
    case 13:
        return Qt::BusyCursor;
    case 14:
        return Qt::WhatsThisCursor;
    case 15:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor; // 1 arrow, 4 icon (no own shape here)
    }
}

} // namespace

PrintedCaption printedCaption(const QString& caption, bool underlineAtStart)
{
    PrintedCaption printed;
    bool underline = underlineAtStart;
    bool pending = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            underline = true;
            pending = true;
            continue;
        }
        QString text(caption.at(i));
        if (caption.at(i).isHighSurrogate() && i + 1 < caption.size() &&
            caption.at(i + 1).isLowSurrogate())
            text += caption.at(++i);
        printed.glyphs.append(CaptionGlyph{text, underline});
        if (pending) {
            underline = false;
            pending = false;
        }
    }
    printed.underlineAtEnd = underline;
    return printed;
}

int classicKeyCode(int qtKey)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F16)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return qtKey & 0xFFFF;
    }
}

int classicShiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

struct KestoButton::Stored
{
    bool autoRedraw;
    ColorValue backColor;
    QFont font;
    ColorValue foreColor;
    QPixmap mouseIcon;
    std::int16_t mousePointer;
    QPixmap picture;
    QString caption;
    std::int16_t delta;
    ColorValue lightBorderColor;
    ColorValue darkBorderColor;
    std::int16_t alignment;
    QPixmap selectedPicture;
    QPixmap pressedPicture;
    QFont fontSelected;
    QFont fontPressed;
    ColorValue foreColorSelected;
    ColorValue foreColorPressed;
    bool switchOn;
    bool value;
    std::int16_t shift;
    QString toolTipText;
};

KestoButton::KestoButton(QWidget* parent) : QWidget(parent)
{
    m_pixelWidth = std::int32_t(std::lround(twipsPerPixelX(this)));
    m_pixelHeight = std::int32_t(std::lround(twipsPerPixelY(this)));
    m_ambientFont = parent ? parent->font() : QApplication::font();

    // The surfaces start with the values a stored set defaults to.
    QWidget::setFont(m_ambientFont);
    m_bufferFont = m_ambientFont;

    m_caption = defaultCaption;
    m_fontSelected = m_ambientFont;
    m_fontPressed = m_ambientFont;

    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_timCapture = new QTimer(this);
    m_timCapture->setInterval(100);
    connect(m_timCapture, &QTimer::timeout, this, &KestoButton::captureTick);
}

KestoButton::~KestoButton() = default;

KestoButton* KestoButton::fromProperties(const PropertyBag& bag, QWidget* parent)
{
    auto button = std::make_unique<KestoButton>(parent);
    button->readProperties(bag);
    return button.release();
}

KestoButton* KestoButton::fromFile(const QString& path, QWidget* parent)
{
    return fromProperties(PropertyBag::fromFile(path), parent);
}

bool KestoButton::capturing() const
{
    return m_timCapture->isActive();
}

void KestoButton::notify(const char* name)
{
    Q_EMIT propertyChanged(QString::fromLatin1(name));
}

void KestoButton::requireDesignMode(const QString& property) const
{
    if (m_userMode)
        throw Error(
            Error::NotAvailableAtRunTime,
            QStringLiteral("%1 can only be set while the form is being designed").arg(property));
}

void KestoButton::applyCursor()
{
    if (m_mousePointer == 0)
        unsetCursor();
    else if (m_mousePointer == 99 && !m_mouseIcon.isNull())
        setCursor(QCursor(m_mouseIcon));
    else if (m_mousePointer == 99)
        unsetCursor();
    else
        setCursor(cursorShape(m_mousePointer));
}

// ----- properties -----------------------------------------------------------------

void KestoButton::setBackColor(ColorValue New_BackColor)
{
    checkColour(New_BackColor);
    m_backColor = New_BackColor;
    Refresh();
    notify("BackColor");
}

void KestoButton::setFont(const QFont& New_Font)
{
    QWidget::setFont(New_Font);
    m_bufferFont = New_Font;
    Refresh();
    notify("Font");
}

void KestoButton::setForeColor(ColorValue New_ForeColor)
{
    checkColour(New_ForeColor);
    m_foreColor = New_ForeColor;
    m_bufferForeColor = New_ForeColor;
    Refresh();
    notify("ForeColor");
}

void KestoButton::setMouseIcon(const QPixmap& New_MouseIcon)
{
    m_mouseIcon = New_MouseIcon;
    applyCursor();
    notify("MouseIcon");
}

void KestoButton::setMousePointer(std::int16_t New_MousePointer)
{
    checkMousePointer(New_MousePointer);
    m_mousePointer = New_MousePointer;
    applyCursor();
    notify("MousePointer");
}

void KestoButton::setPicture(const QPixmap& New_Picture)
{
    m_picture = New_Picture;
    Refresh();
    notify("Picture");
}

void KestoButton::setCaption(const QString& New_Caption)
{
    checkCaption(New_Caption);
    m_caption = New_Caption;
    Refresh();
    notify("Caption");
}

void KestoButton::setDelta(std::int16_t New_Delta)
{
    m_delta = New_Delta;
    Refresh();
    notify("Delta");
}

void KestoButton::setLightBorderColor(ColorValue New_LightBorderColor)
{
    checkColour(New_LightBorderColor);
    m_lightBorderColor = New_LightBorderColor;
    notify("LightBorderColor");
}

void KestoButton::setDarkBorderColor(ColorValue New_DarkBorderColor)
{
    checkColour(New_DarkBorderColor);
    m_darkBorderColor = New_DarkBorderColor;
    notify("DarkBorderColor");
}

void KestoButton::setAlignment(std::int16_t New_Alignment)
{
    requireDesignMode(QStringLiteral("Alignment"));
    m_alignment = New_Alignment;
    Refresh();
    notify("Alignment");
}

void KestoButton::setSelectedPicture(const QPixmap& New_SelectedPicture)
{
    m_selectedPicture = New_SelectedPicture;
    notify("SelectedPicture");
}

void KestoButton::setPressedPicture(const QPixmap& New_PressedPicture)
{
    m_pressedPicture = New_PressedPicture;
    notify("PressedPicture");
}

void KestoButton::setFontSelected(const QFont& New_FontSelected)
{
    m_fontSelected = New_FontSelected;
    notify("FontSelected");
}

void KestoButton::setFontPressed(const QFont& New_FontPressed)
{
    m_fontPressed = New_FontPressed;
    notify("FontPressed");
}

void KestoButton::setForeColorSelected(ColorValue New_ForeColorSelected)
{
    checkColour(New_ForeColorSelected);
    m_foreColorSelected = New_ForeColorSelected;
    notify("ForeColorSelected");
}

void KestoButton::setForeColorPressed(ColorValue New_ForeColorPressed)
{
    checkColour(New_ForeColorPressed);
    m_foreColorPressed = New_ForeColorPressed;
    notify("ForeColorPressed");
}

void KestoButton::setSwitch(bool New_Switch)
{
    requireDesignMode(QStringLiteral("Switch"));
    m_switch = New_Switch;
    notify("Switch");
}

void KestoButton::setValue(bool New_Value)
{
    m_value = New_Value;
    notify("Value");
}

void KestoButton::setShift(std::int16_t New_Shift)
{
    requireDesignMode(QStringLiteral("Shift"));
    m_shift = New_Shift;
    notify("Shift");
}

void KestoButton::setToolTipText(const QString& New_ToolTipText)
{
    setToolTip(New_ToolTipText);
    notify("ToolTipText");
}

// ----- persistence ----------------------------------------------------------------

void KestoButton::readProperties(const PropertyBag& bag)
{
    // Everything is read and checked first; only a set that reads completely is applied.
    const auto colour = [&bag](const QString& key, ColorValue defaultValue) {
        const ColorValue value = bag.readInt32(key, defaultValue);
        try {
            checkColour(value);
        } catch (const Error& error) {
            throw Error(error.number(),
                        QStringLiteral("The stored property \"%1\" cannot be read: %2")
                            .arg(key, error.message()));
        }
        return value;
    };
    Stored s;
    s.autoRedraw = bag.readBool(QStringLiteral("AutoRedraw"), false);
    s.backColor = colour(QStringLiteral("BackColor"), SystemButtonFace);
    s.font = bag.readFont(QStringLiteral("Font"), m_ambientFont);
    s.foreColor = colour(QStringLiteral("ForeColor"), SystemButtonText);
    s.mouseIcon = bag.readPicture(QStringLiteral("MouseIcon"));
    s.mousePointer = bag.readInt16(QStringLiteral("MousePointer"), 0);
    s.picture = bag.readPicture(QStringLiteral("Picture"));
    s.caption = bag.readString(QStringLiteral("Caption"), defaultCaption);
    s.delta = bag.readInt16(QStringLiteral("Delta"), defaultDelta);
    s.lightBorderColor = colour(QStringLiteral("LightBorderColor"), defaultLightBorder);
    s.darkBorderColor = colour(QStringLiteral("DarkBorderColor"), defaultDarkBorder);
    s.alignment = bag.readInt16(QStringLiteral("Alignment"), 0);
    s.selectedPicture = bag.readPicture(QStringLiteral("SelectedPicture"));
    s.pressedPicture = bag.readPicture(QStringLiteral("PressedPicture"));
    s.fontSelected = bag.readFont(QStringLiteral("FontSelected"), m_ambientFont);
    s.fontPressed = bag.readFont(QStringLiteral("FontPressed"), m_ambientFont);
    s.foreColorSelected = colour(QStringLiteral("ForeColorSelected"), 0);
    s.foreColorPressed = colour(QStringLiteral("ForeColorPressed"), 0);
    s.switchOn = bag.readBool(QStringLiteral("Switch"), false);
    s.value = bag.readBool(QStringLiteral("Value"), false);
    s.shift = bag.readInt16(QStringLiteral("Shift"), defaultShift);
    s.toolTipText = bag.readString(QStringLiteral("ToolTipText"), QString());
    try {
        checkMousePointer(s.mousePointer);
        checkCaption(s.caption);
    } catch (const Error& error) {
        throw Error(
            error.number(),
            QStringLiteral("The stored property set cannot be read: %1").arg(error.message()));
    }

    m_autoRedraw = s.autoRedraw;
    m_backColor = s.backColor;
    setFont(s.font);
    m_foreColor = s.foreColor;
    m_bufferForeColor = s.foreColor;
    setMouseIcon(s.mouseIcon);
    m_mousePointer = s.mousePointer;
    applyCursor();
    setPicture(s.picture);
    m_caption = s.caption;
    m_delta = s.delta;
    m_lightBorderColor = s.lightBorderColor;
    m_darkBorderColor = s.darkBorderColor;
    m_alignment = s.alignment;
    m_selectedPicture = s.selectedPicture;
    m_pressedPicture = s.pressedPicture;
    m_fontSelected = s.fontSelected;
    m_fontPressed = s.fontPressed;
    m_foreColorSelected = s.foreColorSelected;
    m_foreColorPressed = s.foreColorPressed;
    m_switch = s.switchOn;
    m_value = s.value;
    m_shift = s.shift;
    setToolTip(s.toolTipText);
    DrawUnselected();
}

void KestoButton::writeProperties(PropertyBag& bag) const
{
    // Colours that are selected and pressed text colours are full 32-bit values.
    bag.writeBool(QStringLiteral("AutoRedraw"), m_autoRedraw, false);
    bag.writeInt32(QStringLiteral("BackColor"), BackColor(), SystemButtonFace);
    bag.writeFont(QStringLiteral("Font"), Font(), m_ambientFont);
    bag.writeInt32(QStringLiteral("ForeColor"), ForeColor(), SystemButtonText);
    bag.writePicture(QStringLiteral("MouseIcon"), MouseIcon());
    bag.writeInt16(QStringLiteral("MousePointer"), MousePointer(), 0);
    bag.writePicture(QStringLiteral("Picture"), m_picture);
    bag.writeString(QStringLiteral("Caption"), m_caption, defaultCaption);
    bag.writeInt16(QStringLiteral("Delta"), m_delta, defaultDelta);
    bag.writeInt32(QStringLiteral("LightBorderColor"), m_lightBorderColor, defaultLightBorder);
    bag.writeInt32(QStringLiteral("DarkBorderColor"), m_darkBorderColor, defaultDarkBorder);
    bag.writeInt16(QStringLiteral("Alignment"), m_alignment, 0);
    bag.writePicture(QStringLiteral("SelectedPicture"), m_selectedPicture);
    bag.writePicture(QStringLiteral("PressedPicture"), m_pressedPicture);
    bag.writeFont(QStringLiteral("FontSelected"), m_fontSelected, m_ambientFont);
    bag.writeFont(QStringLiteral("FontPressed"), m_fontPressed, m_ambientFont);
    bag.writeInt32(QStringLiteral("ForeColorSelected"), m_foreColorSelected, 0);
    bag.writeInt32(QStringLiteral("ForeColorPressed"), m_foreColorPressed, 0);
    bag.writeBool(QStringLiteral("Switch"), m_switch, false);
    bag.writeBool(QStringLiteral("Value"), m_value, false);
    bag.writeInt16(QStringLiteral("Shift"), m_shift, defaultShift);
    bag.writeString(QStringLiteral("ToolTipText"), ToolTipText(), QString());
}

// ----- drawing --------------------------------------------------------------------

void KestoButton::DrawPressed()
{
    present(Look::Pressed);
}
void KestoButton::DrawUnselected()
{
    present(Look::Unselected);
}
void KestoButton::DrawSelected()
{
    present(Look::Selected);
}
void KestoButton::Refresh()
{
    present(Look::Refreshed);
}

void KestoButton::present(Look look)
{
    compose(look);
    update();
}

void KestoButton::compose(Look look)
{
    // 1. The picture holder for this look.
    const QPixmap* holder = &m_picture;
    switch (look) {
    case Look::Unselected:
        holder = m_switch && m_value ? &m_selectedPicture : &m_picture;
        break;
    case Look::Selected:
        if (m_switch)
            holder = m_value ? &m_selectedPicture : &m_picture;
        else
            holder = m_selectedPicture.isNull() ? &m_picture : &m_selectedPicture;
        break;
    case Look::Pressed:
        if (m_switch)
            holder = m_value ? &m_selectedPicture : &m_picture;
        else
            holder = m_pressedPicture.isNull() ? &m_picture : &m_pressedPicture;
        break;
    case Look::Refreshed:
        holder = &m_picture;
        break;
    }

    m_look = look;
    if (width() <= 0 || height() <= 0) {
        m_buffer = QImage();
        return;
    }

    // 2. A cleared buffer the size of the button, measured in twips.
    const double tppx = twipsPerPixelX(this);
    const double tppy = twipsPerPixelY(this);
    const qreal dpr = devicePixelRatioF();
    QImage image(QSize(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.setDotsPerMeterX(int(std::lround(logicalDpiX() / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(logicalDpiY() / 0.0254)));
    image.fill(toQColor(m_backColor));

    const float SL = 0.0f;
    const float ST = 0.0f;
    const float SW = float(width() * tppx);
    const float SH = float(height() * tppy);
    const float px = float(m_pixelWidth);
    const float py = float(m_pixelHeight);

    QPainter painter(&image);
    const auto toX = [tppx](float twips) { return double(twips) / tppx; };
    const auto toY = [tppy](float twips) { return double(twips) / tppy; };

    // 3. The bevel: one-pixel lines that cover their start point and not their end.
    if (look == Look::Selected || look == Look::Pressed) {
        const QColor a = toQColor(look == Look::Selected ? m_lightBorderColor : m_darkBorderColor);
        const QColor b = toQColor(look == Look::Selected ? m_darkBorderColor : m_lightBorderColor);
        const auto across = [&](float x1, float x2, float y, const QColor& colour) {
            painter.fillRect(QRectF(toX(x1), toY(y), toX(x2) - toX(x1), toY(py)), colour);
        };
        const auto down = [&](float x, float y1, float y2, const QColor& colour) {
            painter.fillRect(QRectF(toX(x), toY(y1), toX(px), toY(y2) - toY(y1)), colour);
        };
        across(SL, SL + SW, ST, a);
        down(SL, ST, ST + SH, a);
        down(SL + SW - px, ST, ST + SH - py, b);
        across(SL, SL + SW - px, ST + SH - py, b);
    }

    // 4. Text colour and font for this look, and the caption's size as stored.
    switch (look) {
    case Look::Unselected:
        m_bufferForeColor = m_foreColor;
        m_bufferFont = QWidget::font();
        break;
    case Look::Selected:
        m_bufferForeColor = m_foreColorSelected;
        m_bufferFont = m_fontSelected;
        break;
    case Look::Pressed:
        m_bufferForeColor = m_foreColorPressed;
        m_bufferFont = m_fontPressed;
        break;
    case Look::Refreshed:
        break;
    }
    const QFontMetricsF metrics(m_bufferFont, &image);
    const float tw = float(metrics.horizontalAdvance(m_caption) * tppx);
    const float th = float(metrics.height() * tppy);

    // 5. The picture and the caption's position.
    const bool hasPicture = !holder->isNull();
    const QSizeF natural = hasPicture ? holder->deviceIndependentSize() : QSizeF();
    const float pw = float(natural.width() * tppx);
    const float ph = float(natural.height() * tppy);
    const float s = look == Look::Pressed ? float(m_shift) : 0.0f;
    const Placement at =
        place(m_alignment, hasPicture, SL, ST, SW, SH, pw, ph, tw, th, float(m_delta), s);
    checkFinite(at.pictureX);
    checkFinite(at.pictureY);
    checkFinite(at.textX);
    checkFinite(at.textY);
    if (hasPicture)
        painter.drawPixmap(QPointF(toX(at.pictureX), toY(at.pictureY)), *holder);

    // 6. The caption: Refresh prints it as it is, the other looks through the "&" rule.
    const QColor textColour = toQColor(m_bufferForeColor);
    painter.setPen(textColour);
    if (look == Look::Refreshed) {
        painter.setFont(m_bufferFont);
        painter.drawText(QPointF(toX(at.textX), toY(at.textY) + metrics.ascent()), m_caption);
    } else {
        const PrintedCaption printed = printedCaption(m_caption, m_bufferFont.underline());
        double x = toX(at.textX);
        const double y = toY(at.textY);
        for (const CaptionGlyph& glyph : printed.glyphs) {
            QFont font = m_bufferFont;
            font.setUnderline(glyph.underline);
            painter.setFont(font);
            const QFontMetricsF glyphMetrics(font, &image);
            painter.drawText(QPointF(x, y + glyphMetrics.ascent()), glyph.text);
            x += glyphMetrics.horizontalAdvance(glyph.text);
        }
        m_bufferFont.setUnderline(printed.underlineAtEnd);
    }
    painter.end();
    m_buffer = image;
}

// ----- events ---------------------------------------------------------------------

void KestoButton::paintEvent(QPaintEvent*)
{
    if (m_buffer.isNull() || m_buffer.deviceIndependentSize() != QSizeF(size()))
        compose(Look::Unselected);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_buffer);
}

void KestoButton::resizeEvent(QResizeEvent*)
{
    DrawUnselected();
}

void KestoButton::showEvent(QShowEvent*)
{
    DrawUnselected();
}

void KestoButton::changeEvent(QEvent* event)
{
    // System colours may have changed: compose the same look again.
    if (event->type() == QEvent::PaletteChange)
        present(m_look);
    QWidget::changeEvent(event);
}

void KestoButton::StartCapture()
{
    m_hover = true;
    m_timCapture->start();
    Q_EMIT MouseEnter();
}

bool KestoButton::cursorInside() const
{
    // The screen rectangle's right and bottom edges count as inside.
    const QPoint cursor = QCursor::pos();
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    const int left = topLeft.x();
    const int top = topLeft.y();
    const int right = left + width();
    const int bottom = top + height();
    return !(cursor.x() < left || cursor.x() > right || cursor.y() < top || cursor.y() > bottom);
}

void KestoButton::captureTick()
{
    if (cursorInside())
        return;
    DrawUnselected();
    m_hover = false;
    m_timCapture->stop();
    Q_EMIT MouseExit();
}

void KestoButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_hover) {
        m_hover = true;
        StartCapture();
        DrawSelected();
    }
    const double x = event->position().x() * twipsPerPixelX(this);
    const double y = event->position().y() * twipsPerPixelY(this);
    const double right = width() * twipsPerPixelX(this);
    const double bottom = height() * twipsPerPixelY(this);
    if (x < 0 || y < 0 || x > right || y > bottom) {
        // Dragged off while held: flat look, and the next move back on raises it again.
        DrawUnselected();
        m_hover = false;
    }
    event->accept();
}

void KestoButton::mousePressEvent(QMouseEvent* event)
{
    m_value = !m_value;
    DrawPressed();
    StartCapture();
    event->accept();
}

void KestoButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    StartCapture();
    m_hover = false;
    Q_EMIT Click();
}

void KestoButton::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    m_keyDown = true;
    m_value = !m_value;
    DrawPressed();
    Q_EMIT KeyDown(classicKeyCode(event->key()), classicShiftState(event->modifiers()));
    const QString text = event->text();
    if (!text.isEmpty())
        Q_EMIT KeyPress(text.at(0).unicode());
}

void KestoButton::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    // A release whose press went to another widget (Tab arriving from the previous
    // button, Alt after Alt+Tab) is not a click on this one.
    if (event->isAutoRepeat() || !m_keyDown)
        return;
    m_keyDown = false;
    DrawUnselected();
    Q_EMIT KeyUp(classicKeyCode(event->key()), classicShiftState(event->modifiers()));
    Q_EMIT Click();
}

void KestoButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (m_hover)
        return;
    DrawSelected();
    if (cursorInside())
        StartCapture();
}

void KestoButton::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    m_keyDown = false;
    if (!m_hover)
        DrawUnselected();
}

} // namespace kesto
