#pragma once

// The plan lines that keep a session's sample table and result choices, so that a saved
// plan replays the results as well as the sheet:
//
//   sample LANE "SAMPLE" "GROUP" REPLICATE ROLE [blot B] [amount A "UNIT"] [notes "TEXT"]
//       one row of the sample table: lane and blot from 1, replicate 0 when not given,
//       ROLE sample|ladder|standard|blank|excluded; a row for a lane given before
//       replaces it
//   results [target CHOICE] [control CHOICE] [reference "GROUP"|lane:N] [flagged keep|exclude]
//           [spread sd|sem] [tolerance SHARE]
//       how results are made: CHOICE is band:K, size:S, bands:K,L,..., lane-total, stain or
//       none (see core/results.h); what is not given takes its default
//   stain "PATH" [sha256 HEX]
//       the stain picture whose lane totals are the control "stain" (the picture's size),
//       and the SHA-256 of its file, which a replay checks as it checks the picture's
//   pick LANE K,L,...
//       the target bands picked in one lane (lane and bands from 1), in place of a
//       bands:K,L,... target's own
//   curve [model linear|linear-origin|quadratic|4pl] [weighting none|1/amount]
//         [limit PERCENT]
//       how the standards' curve is fitted (see core/standardcurve.h): PERCENT the largest
//       residual in the linear range, above 0 and at most 1000; what is not given takes its
//       default
//
// A new picture clears the sample table, so its lines follow the picture's.

#include "core/results.h"
#include "core/sampletable.h"
#include "core/sessionresults.h"
#include "core/standardcurve.h"

#include <QString>
#include <QStringList>

namespace kesto {

// The values after "sample" and after "results", checked. Throw PlanError prefixed with
// where, naming what was expected.
SampleRow parseSamplePlanValues(const QStringList& values, const QString& where);
ResultOptions parseResultsPlanValues(const QStringList& values, const QString& where);
// The stain's path and its SHA-256 (lower-case hex; empty when the line gives none).
std::pair<QString, QByteArray> parseStainPlanValues(const QStringList& values,
                                                    const QString& where);
std::pair<int, std::vector<int>> parsePickPlanValues(const QStringList& values,
                                                     const QString& where);
CurveOptions parseCurvePlanValues(const QStringList& values, const QString& where);

// One line each, without the line break; parse*PlanValues reads them back as they were.
QString samplePlanLine(const SampleRow& row);
QString resultsPlanLine(const ResultOptions& options);
QString stainPlanLine(const StainPicture& stain);
QString pickPlanLine(int lane, const std::vector<int>& bands);
QString curvePlanLine(const CurveOptions& options);

// The lines for a whole table and its choices (with the curve's choices when they are
// not the defaults, the stain picture and the lanes' picks, when there are), each ending
// in a line break: nothing for an empty table with the default choices.
QString resultsPlanText(const SampleTable& table, const ResultOptions& options,
                        const CurveOptions& curve = CurveOptions(),
                        const StainPicture& stain = StainPicture(), const LanePicks& picks = {});

} // namespace kesto
