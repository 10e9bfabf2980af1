// Pasting 100 000 rows x 5 columns of tab-separated text into a sheet, and reading back
// the texts of 100 000 rows, each measured against a plain loop over the same strings in
// the same run. The "ratio" counter is our time divided by the plain loop's.

#include "components/worksheet.h"
#include "core/sheetdata.h"

#include <QApplication>
#include <QString>
#include <QStringView>

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

using namespace kesto;

namespace {

constexpr int Rows = 100000;
constexpr int Columns = 5;

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

QString cellText(int row, int column)
{
    switch (column) {
    case 1:
        return QString::number(row);
    case 2:
        return QStringLiteral("Sample %1 lane %2").arg(row % 97).arg(row % 13);
    case 3:
        return row % 10 == 0 ? QStringLiteral("control") : QStringLiteral("band");
    case 4:
        return QString::number(row * 12.375, 'f', 3);
    default:
        return QString::number(row % 1000 / 10.0, 'f', 1);
    }
}

const QString& pasteText()
{
    static const QString text = [] {
        QString t;
        for (int r = 1; r <= Rows; ++r) {
            for (int c = 1; c <= Columns; ++c) {
                if (c > 1)
                    t += QLatin1Char('\t');
                t += cellText(r, c);
            }
            t += QLatin1String("\r\n");
        }
        return t;
    }();
    return text;
}

// The plain loop: split the same text at tabs and line ends into a vector of strings.
std::vector<QString> plainSplit(QStringView text)
{
    std::vector<QString> cells;
    cells.reserve(std::size_t(Rows) * Columns);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == QLatin1Char('\t') || ch == QLatin1Char('\r')) {
            cells.push_back(text.mid(start, i - start).toString());
            if (ch == QLatin1Char('\r'))
                ++i; // the LF after it
            start = i + 1;
        }
    }
    return cells;
}

void reportRatio(benchmark::State& state, double ours, double baseline)
{
    state.counters["ratio"] = baseline > 0 ? ours / baseline : 0.0;
    state.counters["baseline_ms"] = baseline * 1000.0 / double(state.iterations());
}

void BM_PasteSheetData(benchmark::State& state)
{
    const QString& text = pasteText();
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::vector<QString> cells = plainSplit(text);
        benchmark::DoNotOptimize(cells.data());
        auto t1 = Clock::now();
        SheetData data;
        data.setTextAt(1, 1, text);
        benchmark::DoNotOptimize(data.rowCount());
        auto t2 = Clock::now();
        baseline += seconds(t0, t1);
        ours += seconds(t1, t2);
        state.SetIterationTime(seconds(t1, t2));
    }
    reportRatio(state, ours, baseline);
}
BENCHMARK(BM_PasteSheetData)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same paste through the widget, with its model and view following.
void BM_PasteWorksheet(benchmark::State& state)
{
    const QString& text = pasteText();
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::vector<QString> cells = plainSplit(text);
        benchmark::DoNotOptimize(cells.data());
        auto t1 = Clock::now();
        Worksheet sheet;
        sheet.setSelectionText(text);
        benchmark::DoNotOptimize(sheet.rowCount());
        auto t2 = Clock::now();
        baseline += seconds(t0, t1);
        ours += seconds(t1, t2);
        state.SetIterationTime(seconds(t1, t2));
    }
    reportRatio(state, ours, baseline);
}
BENCHMARK(BM_PasteWorksheet)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ReadBackTexts(benchmark::State& state)
{
    SheetData data;
    data.setTextAt(1, 1, pasteText());
    std::vector<QString> plain = plainSplit(pasteText());
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        qsizetype sum = 0;
        auto t0 = Clock::now();
        for (int r = 0; r < Rows; ++r)
            for (int c = 0; c < Columns; ++c) {
                const QString s = plain[std::size_t(r) * Columns + std::size_t(c)];
                sum += s.size();
            }
        benchmark::DoNotOptimize(sum);
        auto t1 = Clock::now();
        for (int r = 1; r <= Rows; ++r)
            for (int c = 1; c <= Columns; ++c)
                sum += data.text(r, c).size();
        benchmark::DoNotOptimize(sum);
        auto t2 = Clock::now();
        baseline += seconds(t0, t1);
        ours += seconds(t1, t2);
        state.SetIterationTime(seconds(t1, t2));
    }
    reportRatio(state, ours, baseline);
}
BENCHMARK(BM_ReadBackTexts)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
