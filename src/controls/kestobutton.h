#pragma once

// The program's own push button: a picture and a caption, a one-pixel bevel while the
// pointer is over it or it is pressed, and an optional two-state (toggle) mode.
//
// Every look (flat, raised, sunken, and the plain look after Refresh) is composed in an
// off-screen buffer with all measures in twips and then copied to the widget in one
// paint, so a half-drawn button is never seen. Hover is tracked by a 100 ms timer that
// compares the cursor with the button's screen rectangle, because the button has to
// notice the pointer leaving even while another widget holds the mouse.
//
// Properties follow one pattern: an assignment stores the value, redraws where the look
// depends on it and sends propertyChanged() with the property's exact name. Switch,
// Shift and Alignment may only be assigned while the host is designing (userMode false);
// in run mode they throw Error(NotAvailableAtRunTime) and keep their value.

#include "components/module1.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>

class QTimer;

namespace kesto {

class PropertyBag;

// How a caption prints: "&" is not printed but underlines the next character.
struct CaptionGlyph
{
    QString text; // one character (a surrogate pair stays together)
    bool underline = false;
};

struct PrintedCaption
{
    QList<CaptionGlyph> glyphs;
    bool underlineAtEnd = false; // a trailing "&" leaves the underline switched on
};

PrintedCaption printedCaption(const QString& caption, bool underlineAtStart = false);

// Key codes and shift state in the classic numbering the button's key events carry:
// letters and digits are their upper-case character codes, Enter 13, Escape 27, ...;
// shift state 1 = Shift, 2 = Ctrl, 4 = Alt.
int classicKeyCode(int qtKey);
int classicShiftState(Qt::KeyboardModifiers modifiers);

class KestoButton : public QWidget
{
    Q_OBJECT

public:
    enum class Look { Unselected, Selected, Pressed, Refreshed };

    // The identifier under which the control is registered.
    static QString progId() { return QStringLiteral("KestoScan.KestoButton"); }

    // Caption is at most this long; a longer one cannot be printed character by character.
    static constexpr int MaxCaptionLength = 32767;

    // A new instance with the default properties. The ambient font is the parent's font.
    explicit KestoButton(QWidget* parent = nullptr);
    ~KestoButton() override;

    // A loaded instance: created, then its properties read from the stored set.
    // Throws Error (naming the key) when a stored value cannot be read.
    static KestoButton* fromProperties(const PropertyBag& bag, QWidget* parent = nullptr);
    // The same from a stored set in a file or in the program's resources.
    static KestoButton* fromFile(const QString& path, QWidget* parent = nullptr);

    // The host's side: run mode (true, the default) or design mode, and its font.
    bool userMode() const { return m_userMode; }
    void setUserMode(bool userMode) { m_userMode = userMode; }
    QFont ambientFont() const { return m_ambientFont; }
    void setAmbientFont(const QFont& font) { m_ambientFont = font; }

    // Drawing routines: compose one look and show it.
    void DrawPressed();
    void DrawUnselected();
    void DrawSelected();
    void Refresh();

    ColorValue BackColor() const { return m_backColor; }
    void setBackColor(ColorValue New_BackColor);
    QFont Font() const { return QWidget::font(); }
    void setFont(const QFont& New_Font);
    ColorValue ForeColor() const { return m_foreColor; }
    void setForeColor(ColorValue New_ForeColor);
    QPixmap MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QPixmap& New_MouseIcon);
    // 0 to 15 are the standard pointer kinds, 99 the custom MouseIcon.
    std::int16_t MousePointer() const { return m_mousePointer; }
    void setMousePointer(std::int16_t New_MousePointer);
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap& New_Picture);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& New_Caption);
    std::int16_t Delta() const { return m_delta; }
    void setDelta(std::int16_t New_Delta);
    ColorValue LightBorderColor() const { return m_lightBorderColor; }
    void setLightBorderColor(ColorValue New_LightBorderColor);
    ColorValue DarkBorderColor() const { return m_darkBorderColor; }
    void setDarkBorderColor(ColorValue New_DarkBorderColor);
    // 0 picture at the left, 1 at the right, anything else on top.
    std::int16_t Alignment() const { return m_alignment; }
    void setAlignment(std::int16_t New_Alignment);
    QPixmap SelectedPicture() const { return m_selectedPicture; }
    void setSelectedPicture(const QPixmap& New_SelectedPicture);
    QPixmap PressedPicture() const { return m_pressedPicture; }
    void setPressedPicture(const QPixmap& New_PressedPicture);
    QFont FontSelected() const { return m_fontSelected; }
    void setFontSelected(const QFont& New_FontSelected);
    QFont FontPressed() const { return m_fontPressed; }
    void setFontPressed(const QFont& New_FontPressed);
    ColorValue ForeColorSelected() const { return m_foreColorSelected; }
    void setForeColorSelected(ColorValue New_ForeColorSelected);
    ColorValue ForeColorPressed() const { return m_foreColorPressed; }
    void setForeColorPressed(ColorValue New_ForeColorPressed);
    bool Switch() const { return m_switch; }
    void setSwitch(bool New_Switch);
    bool Value() const { return m_value; }
    void setValue(bool New_Value);
    std::int16_t Shift() const { return m_shift; }
    void setShift(std::int16_t New_Shift);
    QString ToolTipText() const { return QWidget::toolTip(); }
    void setToolTipText(const QString& New_ToolTipText);

    // Persistence: the keys in their fixed order; values equal to their defaults are
    // not written. Reading checks every value before any is applied, so a set that
    // fails to load leaves the button as it was.
    void readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;
    bool autoRedraw() const { return m_autoRedraw; }

    // Inspection: the composed buffer, the look it holds, the hover flag and whether
    // the hover timer runs.
    QImage buffer() const { return m_buffer; }
    Look look() const { return m_look; }
    bool hovering() const { return m_hover; }
    bool capturing() const;

Q_SIGNALS:
    void propertyChanged(const QString& name);

    void MouseEnter();
    void MouseExit();
    void Click();
    void KeyDown(int KeyCode, int Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, int Shift);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Stored;

    void compose(Look look);
    void present(Look look);
    void StartCapture();
    void captureTick();
    bool cursorInside() const;
    void requireDesignMode(const QString& property) const;
    void applyCursor();
    void notify(const char* name);

    // Twips per screen pixel, read once at creation and rounded.
    std::int32_t m_pixelWidth = 15;
    std::int32_t m_pixelHeight = 15;

    bool m_userMode = true;
    QFont m_ambientFont;

    bool m_autoRedraw = false;
    ColorValue m_backColor = SystemButtonFace;
    ColorValue m_foreColor = SystemButtonText;
    QPixmap m_mouseIcon;
    std::int16_t m_mousePointer = 0;
    QPixmap m_picture;
    QPixmap m_selectedPicture;
    QPixmap m_pressedPicture;
    QString m_caption;
    std::int16_t m_delta = 45;
    ColorValue m_lightBorderColor = 0xFFFFFF;
    ColorValue m_darkBorderColor = 0x808080;
    std::int16_t m_alignment = 0;
    QFont m_fontSelected;
    QFont m_fontPressed;
    ColorValue m_foreColorSelected = 0;
    ColorValue m_foreColorPressed = 0;
    bool m_switch = false;
    bool m_value = false;
    std::int16_t m_shift = 15;

    bool m_hover = false;
    // A key went down on this button and has not come up yet: only such a release clicks.
    bool m_keyDown = false;
    QTimer* m_timCapture = nullptr;

    // The off-screen buffer keeps its font and text colour between compositions, as
    // Refresh prints with whatever the last look left there.
    QImage m_buffer;
    QFont m_bufferFont;
    ColorValue m_bufferForeColor = SystemButtonText;
    Look m_look = Look::Unselected;
};

} // namespace kesto
