#include "core/backgroundmethod.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

bool readInt(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    value = v;
    return true;
}

std::optional<BackgroundMethod> refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

} // namespace

std::optional<BackgroundMethod> parseBackgroundMethod(const QString& text, QString* error)
{
    // Letter case does not matter: "PIXEL" and "Lane:Ball:40" name methods too.
    const QStringList parts = text.toLower().split(QLatin1Char(':'));
    const QString& name = parts.constFirst();
    BackgroundMethod m;
    if (name == QLatin1String("pixel") && parts.size() == 1) {
        m.kind = BackgroundMethod::Kind::PickedPixel;
        return m;
    }
    if (name == QLatin1String("area") && parts.size() == 2) {
        m.kind = BackgroundMethod::Kind::PickedArea;
        if (!readInt(parts.at(1), BackgroundMethod::MinArea, BackgroundMethod::MaxArea,
                     m.areaSize) ||
            m.areaSize % 2 == 0)
            return refuse(error,
                          QStringLiteral("the area's side must be an odd number from %1 to %2")
                              .arg(BackgroundMethod::MinArea)
                              .arg(BackgroundMethod::MaxArea));
        return m;
    }
    if (name == QLatin1String("border") && parts.size() == 3) {
        m.kind = BackgroundMethod::Kind::FrameBorder;
        if (!readInt(parts.at(1), BackgroundMethod::MinBorder, BackgroundMethod::MaxBorder,
                     m.borderWidth))
            return refuse(error, QStringLiteral("the border's width must be from %1 to %2 pixels")
                                     .arg(BackgroundMethod::MinBorder)
                                     .arg(BackgroundMethod::MaxBorder));
        if (parts.at(2) == QLatin1String("mean"))
            m.statistic = BackgroundMethod::Statistic::Mean;
        else if (parts.at(2) == QLatin1String("median"))
            m.statistic = BackgroundMethod::Statistic::Median;
        else
            return refuse(error, QStringLiteral("the border takes mean or median"));
        return m;
    }
    if (name == QLatin1String("lane") && parts.size() == 2 &&
        parts.at(1) == QLatin1String("minima")) {
        m.kind = BackgroundMethod::Kind::LaneBaseline;
        m.baseline = BackgroundMethod::Baseline::Minima;
        return m;
    }
    if (name == QLatin1String("lane") && parts.size() == 3 &&
        parts.at(1) == QLatin1String("ball")) {
        m.kind = BackgroundMethod::Kind::LaneBaseline;
        m.baseline = BackgroundMethod::Baseline::RollingBall;
        if (!readInt(parts.at(2), BackgroundMethod::MinBallRadius, BackgroundMethod::MaxBallRadius,
                     m.ballRadius))
            return refuse(error, QStringLiteral("the ball's radius must be from %1 to %2")
                                     .arg(BackgroundMethod::MinBallRadius)
                                     .arg(BackgroundMethod::MaxBallRadius));
        return m;
    }
    return refuse(error,
                  QStringLiteral("unknown background method \"%1\" (pixel, area:N, border:W:mean, "
                                 "border:W:median, lane:minima or lane:ball:R)")
                      .arg(text));
}

QString backgroundMethodText(const BackgroundMethod& m)
{
    switch (m.kind) {
    case BackgroundMethod::Kind::PickedPixel:
        return QStringLiteral("pixel");
    case BackgroundMethod::Kind::PickedArea:
        return QStringLiteral("area:%1").arg(m.areaSize);
    case BackgroundMethod::Kind::FrameBorder:
        return QStringLiteral("border:%1:%2")
            .arg(m.borderWidth)
            .arg(m.statistic == BackgroundMethod::Statistic::Mean ? QStringLiteral("mean")
                                                                  : QStringLiteral("median"));
    case BackgroundMethod::Kind::LaneBaseline:
        return m.baseline == BackgroundMethod::Baseline::Minima
                   ? QStringLiteral("lane:minima")
                   : QStringLiteral("lane:ball:%1").arg(m.ballRadius);
    }
    return QString();
}

QString backgroundMethodLabel(const BackgroundMethod& m)
{
    switch (m.kind) {
    case BackgroundMethod::Kind::PickedPixel:
        return QStringLiteral("Picked pixel");
    case BackgroundMethod::Kind::PickedArea:
        return QStringLiteral("Picked area %1x%1").arg(m.areaSize);
    case BackgroundMethod::Kind::FrameBorder:
        return QStringLiteral("Frame border %1 px, %2")
            .arg(m.borderWidth)
            .arg(m.statistic == BackgroundMethod::Statistic::Mean ? QStringLiteral("mean")
                                                                  : QStringLiteral("median"));
    case BackgroundMethod::Kind::LaneBaseline:
        return m.baseline == BackgroundMethod::Baseline::Minima
                   ? QStringLiteral("Lane baseline, minima")
                   : QStringLiteral("Lane baseline, rolling ball %1").arg(m.ballRadius);
    }
    return QString();
}

std::vector<double> minimaBaseline(const std::vector<double>& profile)
{
    const int n = int(profile.size());
    if (n == 0)
        return {};
    // A short moving average first: noise would put valleys on a band's top, and the
    // lowest of a few noisy samples lies below the true background.
    constexpr int smoothing = 2;
    std::vector<double> smooth(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(0, i - smoothing);
        const int hi = std::min(n - 1, i + smoothing);
        double sum = 0;
        for (int j = lo; j <= hi; ++j)
            sum += profile[std::size_t(j)];
        smooth[std::size_t(i)] = sum / double(hi - lo + 1);
    }
    // The ends, and every valley: a sample no higher than the one before and lower than
    // the one after.
    std::vector<int> minima{0};
    for (int i = 1; i + 1 < n; ++i) {
        if (smooth[std::size_t(i)] <= smooth[std::size_t(i - 1)] &&
            smooth[std::size_t(i)] < smooth[std::size_t(i + 1)])
            minima.push_back(i);
    }
    if (n > 1)
        minima.push_back(n - 1);
    std::vector<double> baseline(static_cast<std::size_t>(n));
    baseline[0] = smooth[0];
    for (std::size_t k = 0; k + 1 < minima.size(); ++k) {
        const int a = minima[k];
        const int b = minima[k + 1];
        const double ya = smooth[std::size_t(a)];
        const double yb = smooth[std::size_t(b)];
        for (int i = a; i <= b; ++i) {
            const double t = double(i - a) / double(b - a);
            baseline[std::size_t(i)] = std::min(ya + (yb - ya) * t, smooth[std::size_t(i)]);
        }
    }
    return baseline;
}

std::vector<double> rollingBallBaseline(const std::vector<double>& profile, int radius, double unit)
{
    const int n = int(profile.size());
    if (n == 0)
        return {};
    const int r = std::max(1, radius);
    std::vector<double> cap(std::size_t(2 * r + 1));
    for (int d = -r; d <= r; ++d)
        cap[std::size_t(d + r)] = unit * std::sqrt(double(r) * r - double(d) * d);
    // The profile's end values carry on for a radius beyond each end, so a ball near an
    // end still rests on the background there instead of rising into a band.
    const int m = n + 2 * r;
    std::vector<double> padded(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k)
        padded[std::size_t(k)] = profile[std::size_t(std::clamp(k - r, 0, n - 1))];
    // Erosion: the highest each ball can sit with its top under the profile.
    std::vector<double> height(static_cast<std::size_t>(m));
    for (int c = 0; c < m; ++c) {
        double h = padded[std::size_t(c)] - cap[std::size_t(r)];
        for (int d = std::max(-r, -c); d <= std::min(r, m - 1 - c); ++d)
            h = std::min(h, padded[std::size_t(c + d)] - cap[std::size_t(d + r)]);
        height[std::size_t(c)] = h;
    }
    // Dilation: the baseline is the highest ball top over each sample.
    std::vector<double> baseline(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int k = i + r;
        double b = height[std::size_t(k)] + cap[std::size_t(r)];
        for (int d = -r; d <= r; ++d)
            b = std::max(b, height[std::size_t(k + d)] + cap[std::size_t(r - d)]);
        baseline[std::size_t(i)] = std::min(b, profile[std::size_t(i)]);
    }
    return baseline;
}

double medianOf(std::vector<double>& values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double upper = *middle;
    if (values.size() % 2)
        return upper;
    const double lower = *std::max_element(values.begin(), middle);
    return (lower + upper) / 2;
}

} // namespace kesto
