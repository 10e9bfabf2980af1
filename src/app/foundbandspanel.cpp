#include "app/foundbandspanel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kesto {

FoundBandsPanel::FoundBandsPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmFoundBands"));
    setWindowTitle(QStringLiteral("Found Bands"));

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("lblFoundNotice"));
    m_notice->setWordWrap(true);
    auto* help = new QLabel(QStringLiteral("Shift+drag a frame to move it, or its lower-right "
                                           "corner to size it; Ctrl+drag draws a new frame; "
                                           "Delete removes the chosen one."),
                            this);
    help->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstFoundBands"));
    m_delete = new QPushButton(QStringLiteral("&Delete"), this);
    m_delete->setObjectName(QStringLiteral("cmdDeleteFound"));
    m_clear = new QPushButton(QStringLiteral("C&lear"), this);
    m_clear->setObjectName(QStringLiteral("cmdClearFound"));
    m_scan = new QPushButton(QStringLiteral("&Scan into Sheet"), this);
    m_scan->setObjectName(QStringLiteral("cmdScanFound"));
    m_report = new QPushButton(QStringLiteral("Send to &Report"), this);
    m_report->setObjectName(QStringLiteral("cmdSendFound"));
    m_ladder = new QPushButton(QStringLiteral("Mar&k as Ladder..."), this);
    m_ladder->setObjectName(QStringLiteral("cmdMarkLadder"));
    m_ladder->setToolTip(QStringLiteral("The chosen band's lane runs a size ladder: the other "
                                        "lanes' bands are sized against it"));

    m_sensitivityLabel = new QLabel(this);
    m_sensitivity = new QSlider(Qt::Horizontal, this);
    m_sensitivity->setObjectName(QStringLiteral("sldSensitivity"));
    m_sensitivity->setRange(0, 100);
    m_sensitivity->setPageStep(10);
    m_sensitivity->setToolTip(
        QStringLiteral("Higher shows fainter bands, lower only the clearest"));
    m_sensitivityLabel->setBuddy(m_sensitivity);
    setSensitivity(50);

    // How the bands are measured: each frame scanned as the scan frame scans, or the
    // bands' volumes on their lanes' profiles.
    m_measure = new QComboBox(this);
    m_measure->setObjectName(QStringLiteral("cboMeasure"));
    m_measure->addItem(QStringLiteral("Frame scans"));
    m_measure->addItem(QStringLiteral("Volumes on the lane profile"));
    m_measure->addItem(QStringLiteral("Fitted peaks (Gaussian)"));
    m_measure->addItem(QStringLiteral("Fitted peaks (tailing)"));
    m_measure->setToolTip(QStringLiteral(
        "Volumes integrate each band between its boundaries on its lane's profile, over a "
        "baseline taken on the whole lane; fitted peaks part bands that overlap"));
    m_baseline = new QComboBox(this);
    m_baseline->setObjectName(QStringLiteral("cboLaneBaseline"));
    m_baseline->addItem(QStringLiteral("Through minima"));
    m_baseline->addItem(QStringLiteral("Rolling ball"));
    m_baseline->addItem(QStringLiteral("None"));
    m_radius = new QSpinBox(this);
    m_radius->setObjectName(QStringLiteral("spnBallRadius"));
    m_radius->setRange(1, 10000);
    m_radius->setSuffix(QStringLiteral(" px"));
    m_radius->setValue(LaneBackground{}.ballRadius);
    m_radius->setToolTip(QStringLiteral("The rolling ball's radius, along the lane"));
    auto* measureForm = new QFormLayout;
    measureForm->addRow(QStringLiteral("&Measure:"), m_measure);
    auto* baselineRow = new QHBoxLayout;
    baselineRow->addWidget(m_baseline, 1);
    baselineRow->addWidget(m_radius);
    auto* baselineLabel = new QLabel(QStringLiteral("Lane &baseline:"), this);
    baselineLabel->setBuddy(m_baseline);
    measureForm->addRow(baselineLabel, baselineRow);
    setMeasure(QuantifyMode::Frame, PeakShape::Gaussian, LaneBackground{});
    const auto measureEdited = [this] {
        m_baseline->setEnabled(m_measure->currentIndex() > 0);
        m_radius->setEnabled(m_measure->currentIndex() > 0 && m_baseline->currentIndex() == 1);
        if (m_filling)
            return;
        const int index = m_measure->currentIndex();
        const QuantifyMode mode = index == 0   ? QuantifyMode::Frame
                                  : index == 1 ? QuantifyMode::Profile
                                               : QuantifyMode::Fit;
        LaneBackground background;
        background.kind = m_baseline->currentIndex() == 0   ? LaneBackground::Kind::Minima
                          : m_baseline->currentIndex() == 1 ? LaneBackground::Kind::RollingBall
                                                            : LaneBackground::Kind::None;
        background.ballRadius = m_radius->value();
        Q_EMIT measureChanged(
            mode, index == 3 ? PeakShape::ExponentiallyModified : PeakShape::Gaussian, background);
    };
    connect(m_measure, &QComboBox::currentIndexChanged, this, measureEdited);
    connect(m_baseline, &QComboBox::currentIndexChanged, this, measureEdited);
    connect(m_radius, &QSpinBox::editingFinished, this, measureEdited);

    auto* buttons = new QGridLayout;
    buttons->addWidget(m_delete, 0, 0);
    buttons->addWidget(m_clear, 0, 1);
    buttons->addWidget(m_scan, 1, 0);
    buttons->addWidget(m_report, 1, 1);
    buttons->addWidget(m_ladder, 2, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);
    layout->addWidget(m_sensitivityLabel);
    layout->addWidget(m_sensitivity);
    layout->addWidget(m_list, 1);
    layout->addWidget(help);
    layout->addLayout(measureForm);
    layout->addLayout(buttons);
    resize(320, 420);

    // The Delete key removes the chosen frame from the list as well as from the picture.
    auto* remove = new QShortcut(QKeySequence(Qt::Key_Delete), m_list);
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &FoundBandsPanel::deleteRequested);

    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_delete->setEnabled(row >= 0);
        m_ladder->setEnabled(row >= 0);
        if (!m_filling)
            Q_EMIT currentChanged(row);
    });
    connect(m_sensitivity, &QSlider::valueChanged, this, [this](int value) {
        m_sensitivityLabel->setText(QStringLiteral("Se&nsitivity: %1").arg(value));
        if (!m_filling)
            Q_EMIT sensitivityChanged(value);
    });
    connect(m_delete, &QPushButton::clicked, this, &FoundBandsPanel::deleteRequested);
    connect(m_clear, &QPushButton::clicked, this, &FoundBandsPanel::clearRequested);
    connect(m_scan, &QPushButton::clicked, this, &FoundBandsPanel::scanRequested);
    connect(m_report, &QPushButton::clicked, this, &FoundBandsPanel::reportRequested);
    connect(m_ladder, &QPushButton::clicked, this, &FoundBandsPanel::ladderRequested);
}

void FoundBandsPanel::setNotice(const QString& text)
{
    m_notice->setText(text);
}

QString FoundBandsPanel::notice() const
{
    return m_notice->text();
}

void FoundBandsPanel::setEntries(const QStringList& entries, int current)
{
    // Filling the list is no choice of the person's: no currentChanged meanwhile.
    m_filling = true;
    m_list->clear();
    m_list->addItems(entries);
    m_list->setCurrentRow(current);
    m_filling = false;
    const bool any = !entries.isEmpty();
    m_delete->setEnabled(current >= 0);
    m_ladder->setEnabled(current >= 0);
    m_clear->setEnabled(any);
    m_scan->setEnabled(any);
    m_report->setEnabled(any);
}

void FoundBandsPanel::setSensitivity(int value)
{
    m_filling = true;
    m_sensitivity->setValue(value);
    m_sensitivityLabel->setText(QStringLiteral("Se&nsitivity: %1").arg(m_sensitivity->value()));
    m_filling = false;
}

int FoundBandsPanel::sensitivity() const
{
    return m_sensitivity->value();
}

int FoundBandsPanel::current() const
{
    return m_list->currentRow();
}

void FoundBandsPanel::setMeasure(QuantifyMode mode, PeakShape shape,
                                 const LaneBackground& background)
{
    m_filling = true;
    m_measure->setCurrentIndex(mode == QuantifyMode::Frame     ? 0
                               : mode == QuantifyMode::Profile ? 1
                               : shape == PeakShape::Gaussian  ? 2
                                                               : 3);
    m_baseline->setCurrentIndex(background.kind == LaneBackground::Kind::Minima        ? 0
                                : background.kind == LaneBackground::Kind::RollingBall ? 1
                                                                                       : 2);
    m_radius->setValue(background.ballRadius);
    m_baseline->setEnabled(mode != QuantifyMode::Frame);
    m_radius->setEnabled(mode != QuantifyMode::Frame &&
                         background.kind == LaneBackground::Kind::RollingBall);
    m_filling = false;
}

} // namespace kesto
