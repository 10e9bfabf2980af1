#pragma once

// How the background a scan subtracts is found. The picked pixel is the default; the
// others average a picked area, take the frame's own border, or follow the lane's
// baseline along its profile.

#include <QString>

#include <optional>
#include <vector>

namespace kesto {

struct BackgroundMethod
{
    enum class Kind { PickedPixel, PickedArea, FrameBorder, LaneBaseline };
    enum class Statistic { Mean, Median };
    enum class Baseline { Minima, RollingBall };

    static constexpr int MinArea = 1;
    static constexpr int MaxArea = 99;
    static constexpr int MinBorder = 1;
    static constexpr int MaxBorder = 10;
    static constexpr int MinBallRadius = 1;
    static constexpr int MaxBallRadius = 10000;

    Kind kind = Kind::PickedPixel;
    int areaSize = 3;    // PickedArea: the side of the square, odd
    int borderWidth = 2; // FrameBorder: pixels just outside the frame
    Statistic statistic = Statistic::Mean;
    Baseline baseline = Baseline::Minima;
    int ballRadius = 300; // LaneBaseline with RollingBall, in rows

    friend bool operator==(const BackgroundMethod& a, const BackgroundMethod& b)
    {
        return a.kind == b.kind && a.areaSize == b.areaSize && a.borderWidth == b.borderWidth &&
               a.statistic == b.statistic && a.baseline == b.baseline &&
               a.ballRadius == b.ballRadius;
    }
    friend bool operator!=(const BackgroundMethod& a, const BackgroundMethod& b)
    {
        return !(a == b);
    }
};

// The command-line and plan form: pixel, area:N, border:W:mean, border:W:median,
// lane:minima, lane:ball:R, in any letter case. nullopt with a reason in *error for
// anything else.
std::optional<BackgroundMethod> parseBackgroundMethod(const QString& text,
                                                      QString* error = nullptr);
QString backgroundMethodText(const BackgroundMethod& method);

// The method as a person reads it: "Picked pixel", "Picked area 3x3",
// "Frame border 2 px, mean", "Lane baseline, minima", "Lane baseline, rolling ball 50".
QString backgroundMethodLabel(const BackgroundMethod& method);

// A baseline under a profile through its local minima: the profile is smoothed over five
// samples, its valleys and its two ends are the minima, and straight segments join them.
// The baseline never rises above the smoothed profile. An empty profile gives an empty
// baseline.
std::vector<double> minimaBaseline(const std::vector<double>& profile);

// The top of a ball of the radius rolled under the profile: a grey opening with a
// half-circle, the baseline ImageJ-style tools subtract. The radius is in samples along
// the profile and in units of `unit` across it (257 on a 16-bit picture, so a ball rolls
// the same on a picture and its 16-bit copy). It never rises above the profile; a radius
// below 1 counts as 1.
std::vector<double> rollingBallBaseline(const std::vector<double>& profile, int radius,
                                        double unit = 1);

// The median of the values (the mean of the middle two for an even count); 0 for none.
// Reorders the values.
double medianOf(std::vector<double>& values);

} // namespace kesto
