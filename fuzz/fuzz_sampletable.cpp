// Sample tables: the reader either refuses a text with a SampleTableError that names where,
// or gives a table whose rows keep the row rules, which the writer writes back to the same
// table. Checking the table against a few lane counts never throws. A result made from
// the table over lanes that are measured, missing, flagged or not above the background
// is refused with a ResultsError or keeps its promises: every group's n counts its values,
// the statistics are finite, the spread is not negative.

#include "core/results.h"
#include "core/sampletable.h"
#include "fuzzsupport.h"

#include <cmath>

using namespace kesto;
using kesto::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString source = QStringLiteral("fuzz.tsv");
    const QString text = kesto::fuzz::textOf(data, size);
    SampleTable table;
    try {
        table = parseSampleTable(text, source);
    } catch (const SampleTableError& error) {
        check(error.message().startsWith(source + QLatin1Char(':')),
              "a sample table error starts with where it came from", error.message());
        return 0;
    }
    check(!table.isEmpty(), "a table that reads holds a lane");
    for (const SampleRow& row : table.rows())
        check(sampleRowFault(row).isEmpty(), "every row read keeps the rules", sampleRowFault(row));
    const QString written = sampleTableText(table);
    check(parseSampleTable(written, source) == table, "the written table reads back the same",
          written);
    for (const std::vector<int>& counts :
         {std::vector<int>{}, std::vector<int>{0}, std::vector<int>{12, 3}})
        sampleTableFault(table, counts);

    // Lanes for every row, their bands made from the lane number: some lanes lack the
    // control band, some are flagged, some are not above the background.
    std::vector<LaneBands> lanes;
    for (const SampleRow& row : table.rows()) {
        if (lanes.size() >= 2000)
            return 0;
        LaneBands lane;
        lane.lane = row.lane;
        lane.blot = row.blot;
        const int k = row.lane * 7 + row.blot * 3;
        MeasuredBand target;
        target.volume = double(k % 11) - 1;
        lane.bands.push_back(target);
        if (k % 5 != 0) {
            MeasuredBand control;
            control.volume = double(k % 13);
            if (k % 4 == 0)
                control.flag = QStringLiteral("saturated");
            lane.bands.push_back(control);
        }
        lane.total = double(k % 17);
        lanes.push_back(lane);
    }
    for (const BandChoice& control :
         {BandChoice::nth(1), BandChoice::laneTotal(), BandChoice::none()}) {
        for (bool leaveOut : {false, true}) {
            ResultOptions options;
            options.control = control;
            options.excludeFlagged = leaveOut;
            Results results;
            try {
                results = computeResults(table, lanes, options);
            } catch (const ResultsError& error) {
                check(!error.message().isEmpty(), "a refused result says why");
                continue;
            }
            for (const GroupResult& g : results.groups) {
                check(g.n == int(g.values.size()) && g.lanes.size() == g.values.size(),
                      "n counts the values");
                check(!g.mean || std::isfinite(*g.mean), "a mean is finite", g.group);
                check(!g.sd || (std::isfinite(*g.sd) && *g.sd >= 0),
                      "a spread is finite and not negative", g.group);
                check(!g.fold || std::isfinite(*g.fold), "a fold is finite", g.group);
            }
            for (const LaneResult& lane : results.lanes)
                check(lane.normalized.has_value() || lane.leftOut,
                      "a lane without a value is not counted");
            resultLaneTable(results);
            resultGroupTable(results);
        }
    }
    return 0;
}
