#include "dialogs/frmabout.h"

#include "components/module1.h"
#include "components/prompts.h"
#include "controls/border.h"
#include "controls/kestobutton.h"
#include "dialogs/dialogpictures.h"
#include "dialogs/sysinfo.h"
#include "versioninfo.h"

#include <QFrame>
#include <QLabel>

#include <memory>

namespace kesto {

namespace {

constexpr int DialogWidth = 420;
constexpr int DialogHeight = 244;
constexpr int Margin = 16;
constexpr int TextLeft = 80;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 30;

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(DialogWidth, DialogHeight);
    setModal(true);

    const auto label = [this](const QString& name, int x, int y, int w, int h) {
        auto* widget = new QLabel(this);
        widget->setObjectName(name);
        widget->setGeometry(x, y, w, h);
        widget->setWordWrap(true);
        widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return widget;
    };
    const int textWidth = DialogWidth - TextLeft - Margin;

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(Margin, Margin, 48, 48);
    imgIcon->setPixmap(
        dialogs::svgPicture(QStringLiteral(":/resources/icons/dialog-program.svg"), 48));

    lblProgramName = label(QStringLiteral("lblProgramName"), TextLeft, Margin, textWidth, 26);
    QFont title = lblProgramName->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.4);
    lblProgramName->setFont(title);
    lblVersion = label(QStringLiteral("lblVersion"), TextLeft, 44, textWidth, 20);
    lblDescriotion = label(QStringLiteral("lblDescriotion"), TextLeft, 68, textWidth, 48);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(TextLeft, 120, textWidth, 2);

    lblCopyRight = label(QStringLiteral("lblCopyRight"), Margin, 130, DialogWidth - 2 * Margin, 44);
    QFont small = lblCopyRight->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lblCopyRight->setFont(small);

    Border1 = Border::fromFile(QStringLiteral(":/resources/controls/about-border.json"), this);
    Border1->setObjectName(QStringLiteral("Border1"));
    Border1->setGeometry(Margin, 182, DialogWidth - 2 * Margin, 4);

    const char* const sets[] = {":/resources/controls/about-ok.json",
                                ":/resources/controls/about-sysinfo.json"};
    const int top = DialogHeight - ButtonHeight - 14;
    for (int i = 0; i < 2; ++i) {
        cmdAction[i] = KestoButton::fromFile(QString::fromLatin1(sets[i]), this);
        cmdAction[i]->setObjectName(QStringLiteral("cmdAction_%1").arg(i));
        connect(cmdAction[i], &KestoButton::Click, this, [this, i] { cmdAction_Click(i); });
    }
    cmdAction[0]->setGeometry(DialogWidth - Margin - ButtonWidth, top, ButtonWidth, ButtonHeight);
    cmdAction[1]->setGeometry(DialogWidth - Margin - 2 * ButtonWidth - 10, top, ButtonWidth,
                              ButtonHeight);
}

frmAbout::~frmAbout() = default;

void frmAbout::showModal(QWidget* parent)
{
    auto about = std::make_unique<frmAbout>(parent);
    Prompts::current().execDialog(*about);
}

void frmAbout::showEvent(QShowEvent* event)
{
    Form_Load();
    QDialog::showEvent(event);
}

void frmAbout::Form_Load()
{
    Module1::CenterForm(this);
    lblCopyRight->setText(version::legalNotice());
    lblProgramName->setText(version::title());
    lblDescriotion->setText(version::fileDescription());
    // The third field of the version record is not shown.
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(version::major)
                            .arg(version::minor)
                            .arg(version::revision));
}

void frmAbout::cmdAction_Click(int index)
{
    if (index == 0)
        done(QDialog::Accepted);
    else if (index == 1)
        StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    // The about box stays open either way.
    if (!sysinfo::startTool())
        Prompts::current().message(this,
                                   QStringLiteral("System Information Is Unavailable At This Time"),
                                   appTitle(), MessageButtons::Ok, MessageIcon::None);
}

} // namespace kesto
