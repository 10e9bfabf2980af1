// Measurement plans: the reader either refuses a plan with a PlanError that names the
// line, or gives steps whose values keep the promises of the format; those steps then run
// on a small picture as the batch command runs them.

#include "core/measurementplan.h"
#include "core/measurementsession.h"
#include "core/resultsplan.h"
#include "fuzzsupport.h"

#include <QImage>

#include <algorithm>
#include <cmath>

using namespace kesto;
using kesto::fuzz::check;

namespace {

const QString Source = QStringLiteral("fuzz.plan");

QImage smallGel()
{
    QImage picture(24, 16, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(200 - x * 3, 180 - y * 5, (x * y) & 0xFF));
    return picture;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kesto::fuzz::startApplication<QGuiApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = kesto::fuzz::textOf(data, size);
    MeasurementPlan plan;
    try {
        plan = parseMeasurementPlan(text, Source);
    } catch (const PlanError& error) {
        check(error.message().startsWith(Source + QLatin1Char(':')),
              "a plan error starts with where it came from", error.message());
        return 0;
    }
    check(!plan.steps.empty(), "a plan that reads holds a step");
    int frames = 0;
    for (const PlanStep& step : plan.steps) {
        check(step.where.startsWith(Source + QLatin1Char(':')), "a step knows its line",
              step.where);
        switch (step.kind) {
        case PlanStep::Kind::Cell:
            check(step.cell.row >= 1 && (step.cell.column == 2 || step.cell.column == 3),
                  "a working cell lies in column 2 or 3 of a real row", step.where);
            break;
        case PlanStep::Kind::Frame:
            ++frames;
            check(std::isfinite(step.frame.left) && std::isfinite(step.frame.top) &&
                      std::isfinite(step.frame.width) && std::isfinite(step.frame.height) &&
                      step.frame.width >= 0 && step.frame.height >= 0,
                  "a frame has finite measures and sizes of 0 or more", step.where);
            break;
        case PlanStep::Kind::Background:
            check(std::isfinite(step.x) && std::isfinite(step.y), "a background point is finite",
                  step.where);
            break;
        case PlanStep::Kind::BackgroundColor:
            check((step.colour & ~0xFFFFFF) == 0, "a background colour is an RGB value",
                  step.where);
            break;
        case PlanStep::Kind::Lane:
            check(!step.lane.isEmpty() && step.lane.first <= step.lane.last && step.lane.width >= 1,
                  "a lane has ends in order, a width and a path", step.where);
            break;
        case PlanStep::Kind::BandVolume:
        case PlanStep::Kind::FitBand:
            ++frames;
            check(!step.bounds.empty(), "a band volume names a band", step.where);
            for (const BandBounds& b : step.bounds)
                check(b.from <= b.to, "a band's boundaries are in order", step.where);
            check(step.kind == PlanStep::Kind::BandVolume ||
                      (step.band >= 1 && step.band <= int(step.bounds.size())),
                  "a fitted band is one of those fitted", step.where);
            break;
        case PlanStep::Kind::LadderLane:
            check(step.standard.points.size() >= 1 && std::isfinite(step.standard.across),
                  "a ladder lane has a place and bands", step.where);
            for (const LadderPoint& p : step.standard.points)
                check(std::isfinite(p.rf) && p.size > 0 && p.size <= MaxLadderSize,
                      "a ladder band has a finite Rf and a usable size", step.where);
            break;
        case PlanStep::Kind::Stain: {
            check(!step.text.isEmpty(), "a stain line names its picture", step.where);
            check(step.sha256.isEmpty() ||
                      (step.sha256.size() == 64 && step.sha256 == step.sha256.toLower()),
                  "a stain's SHA-256 is 64 lower-case digits or none", step.where);
            StainPicture stain;
            stain.path = step.text;
            stain.sha256 = step.sha256;
            const PlanStep again = parseMeasurementPlan(stainPlanLine(stain), Source).steps.at(0);
            check(again.text == step.text && again.sha256 == step.sha256,
                  "a stain's line reads back as it was", step.where);
            break;
        }
        case PlanStep::Kind::Pick:
            check(step.pick.first >= 0 && !step.pick.second.empty() &&
                      std::is_sorted(step.pick.second.begin(), step.pick.second.end()) &&
                      step.pick.second.front() >= 0,
                  "a pick names a lane and its bands in order", step.where);
            break;
        case PlanStep::Kind::BandSize:
            check(std::isfinite(step.across) && std::isfinite(step.rf) &&
                      (!step.ladderSize || *step.ladderSize > 0),
                  "a band's place and Rf are finite", step.where);
            break;
        case PlanStep::Kind::Curve:
            check(step.curve.residualLimitPercent > 0 &&
                      step.curve.residualLimitPercent <= MaxResidualLimitPercent,
                  "a curve's residual limit is above 0 and within the largest", step.where);
            check(parseMeasurementPlan(curvePlanLine(step.curve), Source).steps.at(0).curve ==
                      step.curve,
                  "a curve's line reads back as it was", step.where);
            break;
        default:
            break;
        }
    }
    MeasurementSession session(smallGel());
    try {
        // A stain line's picture comes from memory: a fuzzed path is never read.
        ReplayOptions options;
        options.openStain = [](const PlanStep&) { return smallGel(); };
        const std::vector<ScanResult> sums = runMeasurementPlanCounted(session, plan, options);
        check(int(sums.size()) == frames, "every frame and band step gives one sum");
        for (const ScanResult& sum : sums)
            check(std::isfinite(sum.value), "every sum is a finite number");
        // A size kept with a value is a size or none: never a made-up number.
        for (const MeasurementEntry& e : session.record().history()) {
            const BandSize size = bandSizeOf(e.size);
            check(!size.size || (std::isfinite(*size.size) && *size.size > 0),
                  "a band's size is finite and above 0");
        }
    } catch (const PlanError& error) {
        // Only a background point off the picture, a lane off it, or a band that cannot be
        // quantified is refused while running.
        check(error.message().startsWith(Source + QLatin1Char(':')),
              "a run-time plan error names its step", error.message());
    }
    return 0;
}
