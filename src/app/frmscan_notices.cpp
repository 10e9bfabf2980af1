// frmScan's notices about its numbers, and the read-outs that follow the picture's depth.

#include "app/frmscan.h"

#include "app/mainbar.h"
#include "components/commandbar.h"
#include "core/deeppicture.h"
#include "core/measurementsession.h"

#include <QAction>
#include <QLabel>
#include <QStringList>
#include <QToolBar>

namespace kesto {

namespace {

const char* const ScanFlagAction = "actScanFlag";

QString levelsText(const ChannelLevels& levels)
{
    return QStringLiteral("%1,%2,%3").arg(levels.red).arg(levels.green).arg(levels.blue);
}

} // namespace

void frmScan::createNotices()
{
    lblScanFlag = new QLabel(this);
    lblScanFlag->setObjectName(QStringLiteral("lblScanFlag"));
    lblScanFlag->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; "
                                              "padding: 0 4px; }"));
    // Beside the Scan read-out: in its toolbar, right after it, shown only when flagged.
    QToolBar* bar = tbrMain->band(BandToolbar).toolBar();
    QAction* scanAction = tool(BandToolbar, QStringLiteral("txtScan")).action();
    QAction* flagAction = nullptr;
    if (bar && scanAction) {
        const QList<QAction*> actions = bar->actions();
        const qsizetype at = actions.indexOf(scanAction);
        QAction* before = at >= 0 && at + 1 < actions.size() ? actions.at(at + 1) : nullptr;
        flagAction = before ? bar->insertWidget(before, lblScanFlag) : bar->addWidget(lblScanFlag);
        flagAction->setObjectName(QLatin1String(ScanFlagAction));
        flagAction->setVisible(false);
    } else {
        lblScanFlag->hide();
    }

    lblLossy =
        new QLabel(QStringLiteral("JPEG-compressed picture: scan values are approximate"), this);
    lblLossy->setObjectName(QStringLiteral("lblLossy"));
    lblLossy->setStyleSheet(QStringLiteral("QLabel { background: #ffd27f; color: #402000; "
                                           "padding: 2px 6px; }"));
    lblLossy->hide();
}

void frmScan::layoutNotices()
{
    if (!lblLossy || lblLossy->isHidden())
        return;
    // The strip takes the top of the picture's place, so it covers none of the picture.
    const QRect place = picContainer->geometry();
    const int height = qMin(lblLossy->sizeHint().height(), place.height());
    lblLossy->setGeometry(place.x(), place.y(), place.width(), height);
    picContainer->setGeometry(place.adjusted(0, height, 0, 0));
    lblLossy->raise();
}

void frmScan::setLossyNotice(bool lossy)
{
    if (lossy == !lblLossy->isHidden())
        return;
    lblLossy->setVisible(lossy);
    layoutControls();
    ResizePicture();
}

void frmScan::showScanFlag(const ScanResult& scan)
{
    QStringList parts;
    if (scan.atFullScale != 0)
        parts << QStringLiteral("%1 at full scale").arg(scan.atFullScale);
    if (scan.atZero != 0)
        parts << QStringLiteral("%1 at 0").arg(scan.atZero);
    if (scan.offPicture != 0)
        parts << QStringLiteral("%1 off the picture").arg(scan.offPicture);
    lblScanFlag->setText(parts.join(QStringLiteral(", ")));
    lblScanFlag->setToolTip(scan.flagged() ? scanCountsText(scan) : QString());
    if (auto* action = tbrMain->findChild<QAction*>(QLatin1String(ScanFlagAction)))
        action->setVisible(scan.flagged());
}

void frmScan::pickBackgroundAt(float x, float y)
{
    m_session->pickBackground(x, y);
}

QString frmScan::colorReadout(float x, float y) const
{
    return levelsText(levelsAt(m_session->picture(), x, y));
}

} // namespace kesto
