// frmScan: the background method, chosen from the Image menu and shown in the read-out.

#include "app/frmscan.h"

#include "app/mainbar.h"
#include "components/prompts.h"
#include "core/deeppicture.h"

namespace kesto {

namespace {

QString oneDecimal(double value) { return QString::number(value, 'f', 1); }

} // namespace

void frmScan::chooseBackgroundMethod()
{
    const std::optional<QString> answer = Prompts::current().inputText(
        this,
        QStringLiteral("How scans find their background:\n"
                       "  pixel - the picked pixel's colour\n"
                       "  area:N - the mean of the N x N square around the picked pixel (N odd)\n"
                       "  border:W:mean or border:W:median - a band W pixels wide (1 to 10) "
                       "just outside the frame\n"
                       "  lane:minima or lane:ball:R - a baseline along the frame's rows, "
                       "through its minima or under a ball of radius R"),
        QStringLiteral("Background Method"), backgroundMethodText(ScanBackgroundMethod));
    if (!answer)
        return;
    QString why;
    const std::optional<BackgroundMethod> method = parseBackgroundMethod(answer->trimmed(), &why);
    if (!method) {
        Prompts::current().message(this, QStringLiteral("Background method not changed:\n") + why,
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    setBackgroundMethod(*method);
}

void frmScan::setBackgroundMethod(const BackgroundMethod& method)
{
    ScanBackgroundMethod = method;
    // The picked area's mean follows the new size; like a channel choice, nothing is
    // rescanned until the next scan.
    const QImage& picture = picImage->picture();
    BackgroundAverage = LastPick.x() >= 0 ? areaMean(picture, float(LastPick.x()), float(LastPick.y()),
                                                    method.areaSize)
                                          : BackgroundValues::of(isDeepPicture(picture)
                                                                     ? BackgroundLevels
                                                                     : levelsOf(BackgroundColor));
    LastMethodScan = MethodScan{};
    if (method.kind == BackgroundMethod::Kind::PickedPixel) {
        const ChannelLevels shown = isDeepPicture(picture) ? BackgroundLevels : levelsOf(BackgroundColor);
        setReadout(BandMove, QStringLiteral("mnuBackground"),
                   QStringLiteral("Bkgrnd (RGB)=%1,%2,%3").arg(shown.red).arg(shown.green).arg(shown.blue));
    } else {
        setReadout(BandMove, QStringLiteral("mnuBackground"), backgroundReadout());
    }
}

QString frmScan::backgroundReadout() const
{
    const BackgroundMethod& m = ScanBackgroundMethod;
    switch (m.kind) {
    case BackgroundMethod::Kind::PickedPixel:
        break;
    case BackgroundMethod::Kind::PickedArea:
        return QStringLiteral("Area %1x%1=%2,%3,%4")
            .arg(m.areaSize)
            .arg(oneDecimal(BackgroundAverage.red), oneDecimal(BackgroundAverage.green),
                 oneDecimal(BackgroundAverage.blue));
    case BackgroundMethod::Kind::FrameBorder: {
        const QString statistic = m.statistic == BackgroundMethod::Statistic::Mean
                                      ? QStringLiteral("mean")
                                      : QStringLiteral("median");
        // The level the last scan took from the border, once there is one.
        if (LastMethodScan.ok && LastMethodScan.scan.samples > 0)
            return QStringLiteral("Border %1 %2=%3").arg(m.borderWidth).arg(statistic, oneDecimal(LastMethodScan.level));
        return QStringLiteral("Border %1 %2").arg(m.borderWidth).arg(statistic);
    }
    case BackgroundMethod::Kind::LaneBaseline:
        return m.baseline == BackgroundMethod::Baseline::Minima
                   ? QStringLiteral("Lane minima")
                   : QStringLiteral("Lane ball %1").arg(m.ballRadius);
    }
    const ChannelLevels shown = isDeepPicture(picImage->picture()) ? BackgroundLevels : levelsOf(BackgroundColor);
    return QStringLiteral("Bkgrnd (RGB)=%1,%2,%3").arg(shown.red).arg(shown.green).arg(shown.blue);
}

} // namespace kesto
