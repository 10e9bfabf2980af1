// Ladder files: the reader either refuses a file with a LadderError that names where, or
// gives ladders that keep the promises of the format (named, 2 or more finite sizes above 0,
// largest first) and that the writer writes back to the same ladders. Each ladder read then
// makes calibrations of every kind, which must give finite sizes or none. The first line
// also goes through the command line's reading of a SIZES list.

#include "core/ladders.h"
#include "core/sizecalibration.h"
#include "fuzzsupport.h"

#include <cmath>

using namespace kesto;
using kesto::fuzz::check;

namespace {

const QString Source = QStringLiteral("fuzz.ladders");

void calibrate(const Ladder& ladder)
{
    // Rf rising evenly down the lane, as a ladder lane with every band found would give.
    std::vector<LadderPoint> points;
    const double n = double(ladder.sizes.size());
    for (std::size_t i = 0; i < ladder.sizes.size(); ++i)
        points.push_back({(double(i) + 1) / (n + 1), ladder.sizes[i]});
    for (SizeFit kind :
         {SizeFit::PointToPoint, SizeFit::Linear, SizeFit::Quadratic, SizeFit::Cubic}) {
        const SizeCalibration c = SizeCalibration::fit(points, kind);
        if (!c.ok()) {
            check(!c.reason().isEmpty(), "a calibration that is not ok says why");
            continue;
        }
        for (double rf : {0.0, 0.5 / (n + 1), 0.5, 1.0}) {
            const SizeEstimate e = c.sizeAt(rf, true);
            check(!e.size || (std::isfinite(*e.size) && *e.size > 0),
                  "a size read off a calibration is finite and above 0", ladder.name);
            check(!c.sizeAt(rf, false).size || !e.extrapolated,
                  "no size beyond the ladder unless asked", ladder.name);
        }
        for (const std::optional<double>& error : c.leaveOneOutPercent())
            check(!error || std::isfinite(*error), "a leave-one-out error is finite", ladder.name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = kesto::fuzz::textOf(data, size);

    try {
        const Ladder ladder = parseLadderSizes(text.section(QLatin1Char('\n'), 0, 0));
        check(ladderFault(ladder).isEmpty(), "a SIZES list read is a usable ladder", ladder.name);
    } catch (const LadderError& error) {
        check(!error.message().isEmpty(), "a refused SIZES list says why");
    }

    std::vector<Ladder> ladders;
    try {
        ladders = parseLadders(text, Source);
    } catch (const LadderError& error) {
        check(error.message().startsWith(Source + QLatin1Char(':')),
              "a ladder file error starts with where it came from", error.message());
        return 0;
    }
    check(!ladders.empty(), "a file that reads holds a ladder");
    for (const Ladder& ladder : ladders) {
        check(ladderFault(ladder).isEmpty(), "every ladder read is usable", ladderFault(ladder));
        calibrate(ladder);
    }
    const QString written = ladderText(ladders);
    check(parseLadders(written, Source) == ladders, "the written file reads back the same",
          written);
    return 0;
}
