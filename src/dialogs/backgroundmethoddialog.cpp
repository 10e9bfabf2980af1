#include "dialogs/backgroundmethoddialog.h"

#include "components/prompts.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <iterator>

namespace kesto {

namespace {

using Kind = BackgroundMethod::Kind;
using Statistic = BackgroundMethod::Statistic;
using Baseline = BackgroundMethod::Baseline;

// The choices in the dialog's order; a choice's id is its index here.
struct Choice
{
    Kind kind;
    Statistic statistic;
    Baseline baseline;
    const char* name;
    const char* text;
};
constexpr Choice Choices[] = {
    {Kind::PickedPixel, Statistic::Mean, Baseline::Minima, "optPixel",
     "The picked &pixel's colour"},
    {Kind::PickedArea, Statistic::Mean, Baseline::Minima, "optArea",
     "The mean of a picked &area, side (odd):"},
    {Kind::FrameBorder, Statistic::Mean, Baseline::Minima, "optBorderMean",
     "The &mean of a border just outside the frame, width:"},
    {Kind::FrameBorder, Statistic::Median, Baseline::Minima, "optBorderMedian",
     "The m&edian of a border just outside the frame, width:"},
    {Kind::LaneBaseline, Statistic::Mean, Baseline::Minima, "optLaneMinima",
     "A baseline along the frame's rows through its m&inima"},
    {Kind::LaneBaseline, Statistic::Mean, Baseline::RollingBall, "optLaneBall",
     "A baseline along the frame's rows under a rolling &ball, radius:"},
};

int choiceOf(const BackgroundMethod& m)
{
    for (int i = 0; i < int(std::size(Choices)); ++i) {
        const Choice& c = Choices[i];
        if (c.kind != m.kind)
            continue;
        if (m.kind == Kind::FrameBorder && c.statistic != m.statistic)
            continue;
        if (m.kind == Kind::LaneBaseline && c.baseline != m.baseline)
            continue;
        return i;
    }
    return 0;
}

QSpinBox* spinBox(QWidget* parent, const char* name, int low, int high, int step,
                  const QString& suffix)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    return box;
}

} // namespace

BackgroundMethodDialog::BackgroundMethodDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBackgroundMethod"));
    setWindowTitle(QStringLiteral("Background Method"));
    m_area = spinBox(this, "spnAreaSide", BackgroundMethod::MinArea, BackgroundMethod::MaxArea, 2,
                     QStringLiteral(" px"));
    m_border = spinBox(this, "spnBorderWidth", BackgroundMethod::MinBorder,
                       BackgroundMethod::MaxBorder, 1, QStringLiteral(" px"));
    m_ball = spinBox(this, "spnBallRadius", BackgroundMethod::MinBallRadius,
                     BackgroundMethod::MaxBallRadius, 10, QStringLiteral(" rows"));

    auto* grid = new QGridLayout;
    m_choices = new QButtonGroup(this);
    for (int i = 0; i < int(std::size(Choices)); ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(Choices[i].text), this);
        button->setObjectName(QLatin1String(Choices[i].name));
        m_choices->addButton(button, i);
        grid->addWidget(button, i, 0);
    }
    // The border's width serves both of its statistics: it sits between them.
    grid->addWidget(m_area, 1, 1);
    grid->addWidget(m_border, 2, 1, 2, 1);
    grid->addWidget(m_ball, 5, 1);
    connect(m_choices, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            enableSettings();
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &BackgroundMethodDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &BackgroundMethodDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("How scans find the background they subtract:"), this));
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMethod(BackgroundMethod{});
}

void BackgroundMethodDialog::setMethod(const BackgroundMethod& method)
{
    m_area->setValue(method.areaSize);
    m_border->setValue(method.borderWidth);
    m_ball->setValue(method.ballRadius);
    m_choices->button(choiceOf(method))->setChecked(true);
    enableSettings();
}

BackgroundMethod BackgroundMethodDialog::method() const
{
    const Choice& c = Choices[qMax(0, m_choices->checkedId())];
    BackgroundMethod m;
    m.kind = c.kind;
    m.statistic = c.statistic;
    m.baseline = c.baseline;
    m.areaSize = m_area->value();
    m.borderWidth = m_border->value();
    m.ballRadius = m_ball->value();
    return m;
}

void BackgroundMethodDialog::accept()
{
    // The core's rules decide, as for a plan's or the command line's method.
    const BackgroundMethod m = method();
    QString why;
    if (!parseBackgroundMethod(backgroundMethodText(m), &why)) {
        Prompts::current().message(this, QStringLiteral("Background method not changed:\n") + why,
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    QDialog::accept();
}

void BackgroundMethodDialog::enableSettings()
{
    const Kind kind = method().kind;
    m_area->setEnabled(kind == Kind::PickedArea);
    m_border->setEnabled(kind == Kind::FrameBorder);
    m_ball->setEnabled(kind == Kind::LaneBaseline &&
                       Choices[m_choices->checkedId()].baseline == Baseline::RollingBall);
}

} // namespace kesto
