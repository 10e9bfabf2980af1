#include "controls/buttonpage.h"

#include "components/module1.h"
#include "components/prompts.h"
#include "controls/kestobutton.h"
#include "core/error.h"
#include "core/numbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace kesto {

namespace {

struct PointerEntry
{
    const char* text;
    int pointer;
};

const PointerEntry pointerEntries[] = {
    {"0 - Default", 0},
    {"1 - Arrow", 1},
    {"2 - Cross", 2},
    {"3 - I-Beam", 3},
    {"4 - Icon", 4},
    {"5 - Size", 5},
    {"6 - Size NE SW", 6},
    {"7 - Size N S", 7},
    {"8 - Size NW SE", 8},
    {"9 - Size W W", 9},
    {"10 - Up Arrow", 10},
    {"11 - Hourglass", 11},
    {"12 - No Drop", 12},
    {"13 - Arrow and Hourglass", 13},
    {"14 - Arrow and Question", 14},
    {"15 - Size All", 15},
    {"99 - Custom", 99},
};

// Places a control by its left, top, width and height in twips.
void placeTwips(QWidget* widget, double left, double top, double width, double height)
{
    const double tx = twipsPerPixelX(widget);
    const double ty = twipsPerPixelY(widget);
    widget->setGeometry(int(std::lround(left / tx)), int(std::lround(top / ty)),
                        int(std::lround(width / tx)), int(std::lround(height / ty)));
}

std::int16_t fieldNumber(const QString& field, const QString& text)
{
    try {
        return parseInt16(text);
    } catch (const Error& error) {
        throw Error(error.number(),
                    QStringLiteral("%1: \"%2\" is not a whole number from -32768 to 32767. "
                                   "Nothing was changed.")
                        .arg(field, text));
    }
}

} // namespace

PropertyPageSite::~PropertyPageSite() = default;

Button::Button(PropertyPageSite& site, QWidget* parent) : QWidget(parent), m_site(site)
{
    setWindowTitle(QStringLiteral("Button"));
    setObjectName(QStringLiteral("Button"));

    const auto label = [this](const QString& name, const QString& text) {
        auto* widget = new QLabel(text, this);
        widget->setObjectName(name);
        return widget;
    };
    const auto line = [this](const QString& name) {
        auto* widget = new QLineEdit(this);
        widget->setObjectName(name);
        return widget;
    };

    lblMousePointer[0] =
        label(QStringLiteral("lblMousePointer_0"), QStringLiteral("MousePointer:"));
    cboMouse = new QComboBox(this);
    cboMouse->setObjectName(QStringLiteral("cboMouse"));
    for (const PointerEntry& entry : pointerEntries)
        cboMouse->addItem(QString::fromLatin1(entry.text), entry.pointer);
    lblCaption = label(QStringLiteral("lblCaption"), QStringLiteral("Caption:"));
    txtCaption = line(QStringLiteral("txtCaption"));
    lblDelta = label(QStringLiteral("lblDelta"), QStringLiteral("Delta:"));
    txtDelta = line(QStringLiteral("txtDelta"));
    lblAlignment = label(QStringLiteral("lblAlignment"), QStringLiteral("Alignment:"));
    txtAlignment = line(QStringLiteral("txtAlignment"));
    lblMousePointer[1] =
        label(QStringLiteral("lblMousePointer_1"), QStringLiteral("Tool tip text:"));
    txtToolTopText = line(QStringLiteral("txtToolTopText"));
    chkSwitch = new QCheckBox(QStringLiteral("Switch"), this);
    chkSwitch->setObjectName(QStringLiteral("chkSwitch"));
    chkValue = new QCheckBox(QStringLiteral("Value"), this);
    chkValue->setObjectName(QStringLiteral("chkValue"));

    placeTwips(lblMousePointer[0], 90, 135, 2700, 240);
    placeTwips(cboMouse, 90, 405, 2700, 315);
    placeTwips(lblCaption, 90, 770, 2700, 240);
    placeTwips(txtCaption, 90, 1020, 2700, 330);
    placeTwips(lblDelta, 90, 1420, 2700, 240);
    placeTwips(txtDelta, 90, 1670, 2700, 330);
    placeTwips(lblAlignment, 90, 2070, 2700, 240);
    placeTwips(txtAlignment, 90, 2320, 2700, 330);
    placeTwips(lblMousePointer[1], 90, 2720, 2700, 240);
    placeTwips(txtToolTopText, 90, 2970, 2700, 330);
    placeTwips(chkSwitch, 3000, 120, 2700, 285);
    placeTwips(chkValue, 3000, 770, 2700, 285);
    const QSize client(int(std::lround(5925 / twipsPerPixelX(this))),
                       int(std::lround(3495 / twipsPerPixelY(this))));
    setFixedSize(client);

    // Only edits by the person mark the page changed, not the loading of the fields.
    connect(chkSwitch, &QCheckBox::clicked, this, &Button::markChanged);
    connect(cboMouse, &QComboBox::activated, this, &Button::markChanged);
    connect(txtAlignment, &QLineEdit::textEdited, this, &Button::markChanged);
    connect(txtDelta, &QLineEdit::textEdited, this, &Button::markChanged);
    connect(txtCaption, &QLineEdit::textEdited, this, &Button::markChanged);
}

void Button::markChanged()
{
    m_site.setChanged(true);
}

void Button::selectionChanged()
{
    const QList<KestoButton*> selection = m_site.selectedControls();
    if (selection.isEmpty() || !selection.constFirst())
        return;
    const KestoButton* b = selection.constFirst();
    // True is -1, so "and 1" gives the tick.
    chkValue->setChecked(((b->Value() ? -1 : 0) & 1) != 0);
    chkSwitch->setChecked(((b->Switch() ? -1 : 0) & 1) != 0);
    txtAlignment->setText(QString::number(b->Alignment()));
    txtDelta->setText(QString::number(b->Delta()));
    txtCaption->setText(b->Caption());
    txtToolTopText->setText(b->ToolTipText());
    const std::int16_t pointer = b->MousePointer();
    // Pointers 16 to 98 have no entry: no entry is selected then.
    cboMouse->setCurrentIndex(pointer <= 98 ? (pointer < cboMouse->count() ? pointer : -1)
                                            : cboMouse->count() - 1);
}

void Button::applyChanges()
{
    const QList<KestoButton*> selection = m_site.selectedControls();
    if (selection.isEmpty() || !selection.constFirst())
        return;
    KestoButton* b = selection.constFirst();

    // Check everything before the first assignment, so the button is never left half
    // changed by a refused apply.
    if (b->userMode())
        throw Error(Error::NotAvailableAtRunTime,
                    QStringLiteral("The button's properties can only be changed while the form is "
                                   "being designed. Nothing was changed."));
    const std::int16_t alignment = fieldNumber(QStringLiteral("Alignment"), txtAlignment->text());
    const std::int16_t delta = fieldNumber(QStringLiteral("Delta"), txtDelta->text());
    const QString caption = txtCaption->text();
    if (caption.size() > KestoButton::MaxCaptionLength)
        throw Error(Error::Overflow, QStringLiteral("Caption: a caption may hold at most %1 "
                                                    "characters. Nothing was changed.")
                                         .arg(KestoButton::MaxCaptionLength));

    b->setValue(chkValue->isChecked());
    b->setSwitch(chkSwitch->isChecked());
    b->setAlignment(alignment);
    b->setDelta(delta);
    b->setCaption(caption);
    if (cboMouse->currentIndex() >= 0)
        b->setMousePointer(std::int16_t(cboMouse->currentData().toInt()));
    b->setToolTipText(txtToolTopText->text());
}

ButtonPageHost::ButtonPageHost(KestoButton* button, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Button"));
    m_button = button ? button : new KestoButton(this);
    m_button->setUserMode(false);
    if (!button)
        m_button->setFixedSize(150, 40);

    m_page = new Button(*this, this);
    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_apply->setObjectName(QStringLiteral("cmdApply"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);

    auto* side = new QHBoxLayout;
    if (!button)
        side->addWidget(m_button, 0, Qt::AlignTop);
    side->addWidget(m_page);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_apply);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(side);
    layout->addLayout(buttons);

    connect(m_apply, &QPushButton::clicked, this, &ButtonPageHost::apply);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    setChanged(false);
    setSelection({m_button});
}

void ButtonPageHost::setChanged(bool changed)
{
    m_changed = changed;
    m_apply->setEnabled(changed);
}

void ButtonPageHost::setSelection(const QList<KestoButton*>& buttons)
{
    m_selection = buttons;
    m_page->selectionChanged();
    setChanged(false);
}

bool ButtonPageHost::apply()
{
    try {
        m_page->applyChanges();
    } catch (const Error& error) {
        Prompts::current().message(this, error.message(), windowTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return false;
    }
    setChanged(false);
    return true;
}

} // namespace kesto
