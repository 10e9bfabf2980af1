#include "dialogs/frmmsg.h"

#include "components/module1.h"
#include "components/prompts.h"
#include "controls/kestobutton.h"
#include "dialogs/dialogpictures.h"
#include "versioninfo.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kesto {

namespace {

// The fixed layout, in pixels.
constexpr int DialogWidth = 440;
constexpr int DialogHeight = 260;
constexpr int Margin = 16;
constexpr int HeadingTop = 14;
constexpr int HeadingHeight = 32;
constexpr int FootTop = 188;
constexpr int FootHeight = 20;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 30;
constexpr int ButtonTop = DialogHeight - ButtonHeight - 14;
constexpr int ButtonGap = 20;

} // namespace

frmMsg::frmMsg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMsg"));
    setFixedSize(DialogWidth, DialogHeight);
    setModal(true);

    // Created first, so it is first in the focus chain.
    txtFocus = new QLineEdit(this);
    txtFocus->setObjectName(QStringLiteral("txtFocus"));
    txtFocus->setGeometry(0, 0, 20, 20);

    imgExclamatin = new QLabel(this);
    imgExclamatin->setObjectName(QStringLiteral("imgExclamatin"));
    imgExclamatin->setGeometry(Margin, HeadingTop, 32, 32);
    imgExclamatin->setPixmap(
        dialogs::svgPicture(QStringLiteral(":/resources/icons/dialog-exclamation.svg"), 32));
    imgQuestion = new QLabel(this);
    imgQuestion->setObjectName(QStringLiteral("imgQuestion"));
    imgQuestion->setPixmap(
        dialogs::svgPicture(QStringLiteral(":/resources/icons/dialog-question.svg"), 32));
    imgQuestion->hide();

    lblWelcome = new QLabel(this);
    lblWelcome->setObjectName(QStringLiteral("lblWelcome"));
    lblWelcome->setGeometry(Margin + 32 + 12, HeadingTop, DialogWidth - 2 * Margin - 44,
                            HeadingHeight);
    QFont heading = lblWelcome->font();
    heading.setBold(true);
    lblWelcome->setFont(heading);

    txtMsg = new QPlainTextEdit(this);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->setReadOnly(true);
    txtMsg->setFrameStyle(QFrame::NoFrame);
    txtMsg->document()->setDocumentMargin(1);
    txtMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMsg->setFocusPolicy(Qt::NoFocus);

    lblDisplay = new QLabel(this);
    lblDisplay->setObjectName(QStringLiteral("lblDisplay"));
    lblDisplay->setGeometry(Margin, FootTop, DialogWidth - 2 * Margin, FootHeight);

    const char* const sets[] = {":/resources/controls/msg-ok.json",
                                ":/resources/controls/msg-yes.json",
                                ":/resources/controls/msg-no.json"};
    for (int i = 0; i < 3; ++i) {
        cmdAction[i] = KestoButton::fromFile(QString::fromLatin1(sets[i]), this);
        cmdAction[i]->setObjectName(QStringLiteral("cmdAction_%1").arg(i));
        connect(cmdAction[i], &KestoButton::Click, this, [this, i] { cmdAction_Click(i); });
    }
    const int middle = (DialogWidth - ButtonWidth) / 2;
    cmdAction[0]->setGeometry(middle, ButtonTop, ButtonWidth, ButtonHeight);
    cmdAction[1]->setGeometry(DialogWidth / 2 - ButtonGap / 2 - ButtonWidth, ButtonTop, ButtonWidth,
                              ButtonHeight);
    cmdAction[2]->setGeometry(DialogWidth / 2 + ButtonGap / 2, ButtonTop, ButtonWidth,
                              ButtonHeight);

    tmrStart = new QTimer(this);
    tmrStart->setSingleShot(true);
    tmrStart->setInterval(StartDelayMs);
    connect(tmrStart, &QTimer::timeout, this, &frmMsg::tmrStart_Timer);

    // The dialog sees every key before its controls do.
    for (QWidget* child : {static_cast<QWidget*>(txtFocus), static_cast<QWidget*>(txtMsg),
                           static_cast<QWidget*>(cmdAction[0]), static_cast<QWidget*>(cmdAction[1]),
                           static_cast<QWidget*>(cmdAction[2])})
        child->installEventFilter(this);
}

frmMsg::~frmMsg() = default;

void frmMsg::showEvent(QShowEvent* event)
{
    // Every show is a fresh load; one after a close starts again from Answer 0.
    if (m_loaded)
        m_answer = 0;
    m_loaded = true;
    Form_Load();
    QDialog::showEvent(event);
    tmrStart->start();
}

void frmMsg::Form_Load()
{
    // 1. Whatever the caller was busy with, the pointer is the plain arrow here.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();

    const double tx = twipsPerPixelX(this);
    const double ty = twipsPerPixelY(this);

    // 2. Out of sight.
    txtFocus->move(int(std::lround(10000.0 / tx)), txtFocus->y());

    // 3.
    if (m_yesNo)
        imgExclamatin->setPixmap(imgQuestion->pixmap());

    // 4. The message's size as it would print in the dialog's font, in twips.
    const QFontMetricsF metrics(font(), this);
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = m_message.split(lineBreak);
    double widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    double w = widest * tx;
    double h = double(lines.size()) * metrics.height() * ty;

    // 5, 6, 7.
    Module1::CenterForm(this);
    setWindowTitle(QStringLiteral("%1 V %2.%3.%4")
                       .arg(version::title())
                       .arg(version::major)
                       .arg(version::minor)
                       .arg(version::revision));
    lblWelcome->setText(m_sCaption);

    // 8. The text box: the message plus 100 twips. A message wider than the dialog is
    // wrapped, and one taller than the space between heading and foot line scrolls.
    const double innerWidth = width() * tx;
    const double innerHeight = height() * ty;
    const double widestAllowed = (DialogWidth - 2 * Margin) * tx;
    if (w + 100 > widestAllowed) {
        w = widestAllowed - 100;
        const QRectF wrapped =
            metrics.boundingRect(QRectF(0, 0, w / tx, 1e6), Qt::TextWordWrap, m_message);
        h = wrapped.height() * ty;
    }
    const int bandTop = HeadingTop + HeadingHeight + 4;
    const int bandBottom = FootTop - 2;
    const double boxWidth = w + 100;
    const double boxHeight = std::min(h + 100, (bandBottom - bandTop) * ty);
    txtMsg->resize(int(std::lround(boxWidth / tx)), int(std::lround(boxHeight / ty)));

    // 9. Centred in the space above the buttons.
    const double buttonHeight = cmdAction[0]->height() * ty;
    const double left = (innerWidth - boxWidth) / 2;
    const double top = (innerHeight - boxHeight - buttonHeight) / 2;
    const int topPixels = std::clamp(int(std::lround(top / ty)), bandTop,
                                     std::max(bandTop, bandBottom - txtMsg->height()));
    txtMsg->move(int(std::lround(left / tx)), topPixels);

    // 10.
    txtMsg->setPlainText(m_message);
    lblDisplay->setText(m_footNote);

    // 11.
    if (m_yesNo) {
        cmdAction[0]->hide();
        cmdAction[1]->show();
        cmdAction[2]->show();
        if (!m_yesCaption.isEmpty())
            cmdAction[1]->setCaption(m_yesCaption);
        if (!m_noCaption.isEmpty())
            cmdAction[2]->setCaption(m_noCaption);
    } else {
        cmdAction[0]->show();
        cmdAction[1]->hide();
        cmdAction[2]->hide();
    }
}

void frmMsg::tmrStart_Timer()
{
    cmdAction[0]->DrawSelected();
    txtFocus->setFocus();
    tmrStart->stop();
}

bool frmMsg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat())
            Form_KeyDown(key->key());
        return true;
    }
    // The controls never see keys: a released key would otherwise click a button.
    if (event->type() == QEvent::KeyRelease)
        return true;
    return QDialog::eventFilter(watched, event);
}

void frmMsg::keyPressEvent(QKeyEvent* event)
{
    // Escape and Enter must not close the dialog behind the key handler's back.
    if (!event->isAutoRepeat())
        Form_KeyDown(event->key());
    event->accept();
}

void frmMsg::Form_KeyDown(int key)
{
    // Key codes, so Shift+Y is Y.
    if (m_yesNo) {
        if (key == Qt::Key_Y)
            pressByKey(1);
        else if (key == Qt::Key_N)
            pressByKey(2);
    } else {
        pressByKey(0);
    }
}

void frmMsg::pressByKey(int index)
{
    if (m_pressing)
        return;
    m_pressing = true;
    QPointer<frmMsg> self(this);
    KestoButton* button = cmdAction[index];
    button->DrawPressed();
    // Hold the pressed look: it is painted, but no other input is taken meanwhile.
    QEventLoop hold;
    QTimer::singleShot(KeyPressLookMs, &hold, &QEventLoop::quit);
    hold.exec(QEventLoop::ExcludeUserInputEvents);
    if (!self)
        return;
    button->DrawSelected();
    m_pressing = false;
    cmdAction_Click(index);
}

void frmMsg::cmdAction_Click(int index)
{
    switch (index) {
    case 0:
        done(QDialog::Accepted);
        break;
    case 1:
        m_answer = 1;
        done(QDialog::Accepted);
        break;
    case 2:
        m_answer = 0;
        done(QDialog::Rejected);
        break;
    default:
        break;
    }
}

namespace Module1 {

std::int16_t AskUser(const QString& message, bool yesNo, const QString& caption,
                     const QString& footNote, const QString& yesCaption, const QString& noCaption)
{
    // A fresh dialog for every question, dropped afterwards.
    auto dialog = std::make_unique<frmMsg>(QApplication::activeWindow());
    dialog->setMessage(message);
    dialog->setYesNo(yesNo);
    dialog->setSCaption(caption);
    dialog->setFootNote(footNote);
    dialog->setYesCaption(yesCaption);
    dialog->setNoCaption(noCaption);
    Prompts::current().execDialog(*dialog);
    return dialog->Answer();
}

} // namespace Module1

} // namespace kesto
