#include "app/foundbandspanel.h"

#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

namespace kesto {

FoundBandsPanel::FoundBandsPanel(QWidget* parent) : QWidget(parent, Qt::Tool)
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

    m_sensitivityLabel = new QLabel(this);
    m_sensitivity = new QSlider(Qt::Horizontal, this);
    m_sensitivity->setObjectName(QStringLiteral("sldSensitivity"));
    m_sensitivity->setRange(0, 100);
    m_sensitivity->setPageStep(10);
    m_sensitivity->setToolTip(
        QStringLiteral("Higher shows fainter bands, lower only the clearest"));
    m_sensitivityLabel->setBuddy(m_sensitivity);
    setSensitivity(50);

    auto* buttons = new QGridLayout;
    buttons->addWidget(m_delete, 0, 0);
    buttons->addWidget(m_clear, 0, 1);
    buttons->addWidget(m_scan, 1, 0);
    buttons->addWidget(m_report, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);
    layout->addWidget(m_sensitivityLabel);
    layout->addWidget(m_sensitivity);
    layout->addWidget(m_list, 1);
    layout->addWidget(help);
    layout->addLayout(buttons);
    resize(320, 420);

    // The Delete key removes the chosen frame from the list as well as from the picture.
    auto* remove = new QShortcut(QKeySequence(Qt::Key_Delete), m_list);
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &FoundBandsPanel::deleteRequested);

    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_delete->setEnabled(row >= 0);
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

} // namespace kesto
