#include "core/batchmeasure.h"

#include "core/backgroundscan.h"
#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/numbers.h"
#include "core/workingsheet.h"
#include "core/pictureops.h"
#include "core/sheetlayout.h"

namespace kesto {

MeasurementSession::MeasurementSession(const QImage& picture)
    : m_picture(toMeasurementImage(picture)), m_cellCaption(workingCellCaption(1, 2)),
      m_sheet(MainSheet::StartRows, MainSheet::Columns)
{
    const QString headings[MainSheet::Columns] = {QStringLiteral("#"), QStringLiteral("Band"),
                                                QStringLiteral("Int.Ctrl"),
                                                QStringLiteral("% to Ctrl")};
    for (int c = 1; c <= MainSheet::Columns; ++c) {
        m_sheet.setHeadingText(c, headings[c - 1]);
        m_sheet.setColumnWidth(c, MainSheet::StartColumnWidths[c - 1]);
    }
}

void MeasurementSession::setBackground(ColorValue colour)
{
    m_background = colour;
    m_levels = widenedLevels(colour);
    m_averaged = BackgroundValues::of(backgroundLevels());
}

void MeasurementSession::setBackgroundLevels(const ChannelLevels& levels)
{
    m_levels = levels;
    m_background = isDeepPicture(m_picture) ? narrowedColor(levels)
                                             : rgbValue(levels.red, levels.green, levels.blue);
    m_averaged = BackgroundValues::of(backgroundLevels());
}

ChannelLevels MeasurementSession::backgroundLevels() const
{
    return isDeepPicture(m_picture) ? m_levels : levelsOf(m_background);
}

void MeasurementSession::pickBackground(float x, float y)
{
    if (isDeepPicture(m_picture)) {
        setBackgroundLevels(levelsAt(m_picture, x, y));
    } else {
        m_background = pixelAt(m_picture, x, y);
        m_levels = widenedLevels(m_background);
    }
    m_averaged = areaMean(m_picture, x, y, m_method.areaSize);
    calculate();
}

void MeasurementSession::invert()
{
    invertPicture(m_picture);
    calculate();
}

void MeasurementSession::pickCell(int row, int column)
{
    if (row < 1 || column < 2 || column > 3)
        return;
    m_cellCaption = workingCellCaption(row, column);
    if (row >= m_sheet.rowCount())
        m_sheet.setRowCount(row + 1);
}

double MeasurementSession::scanFrame(const FrameGeometry& frame)
{
    m_frame = frame;
    return calculate();
}

double MeasurementSession::calculate()
{
    const MethodScan scan =
        scanWithMethod(m_picture, m_frame, m_channel, backgroundLevels(), m_averaged, m_method);
    if (!scan.ok)
        throw PlanError(scan.reason);
    m_lastScan = scan.scan;
    const double sum = m_lastScan.value;
    m_scanValue = sum;
    const CellAddress cell = parseWorkingCell(m_cellCaption);
    if (cell.row > 0 && cell.column > 1 && cell.column < 4) {
        m_sheet.setText(cell.row, cell.column, doubleText(sum));
        if (m_lastScan.flagged())
            m_sheet.setNote(cell.row, cell.column, scanCountsText(m_lastScan));
    }
    runWorkingSheetPass(m_sheet);
    return sum;
}

std::vector<double> runMeasurementPlan(MeasurementSession& session, const MeasurementPlan& plan)
{
    std::vector<double> values;
    for (const ScanResult& scan : runMeasurementPlanCounted(session, plan))
        values.push_back(scan.value);
    return values;
}

std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan)
{
    std::vector<ScanResult> scans;
    const QImage& picture = session.picture();
    // A step that rescans says where it stands in the plan when its background method
    // finds no background.
    auto rescanning = [](const PlanStep& step, auto&& run) {
        try {
            run();
        } catch (const PlanError& error) {
            throw PlanError(step.where + QStringLiteral(": ") + error.message());
        }
    };
    for (const PlanStep& step : plan.steps) {
        switch (step.kind) {
        case PlanStep::Kind::Channel:
            session.setChannel(step.channel);
            break;
        case PlanStep::Kind::Invert:
            rescanning(step, [&] { session.invert(); });
            break;
        case PlanStep::Kind::Background:
            if (!(step.x >= 0 && step.y >= 0 && double(step.x) < picture.width() &&
                  double(step.y) < picture.height())) {
                throw PlanError(
                    step.where +
                    QStringLiteral(": expected a background point on the picture "
                                   "(X from 0 to below %1, Y from 0 to below %2), found %3, %4")
                        .arg(picture.width())
                        .arg(picture.height())
                        .arg(singleText(step.x), singleText(step.y)));
            }
            rescanning(step, [&] { session.pickBackground(step.x, step.y); });
            break;
        case PlanStep::Kind::BackgroundColor:
            if (isDeepPicture(picture))
                session.setBackgroundLevels(step.levels);
            else
                session.setBackground(step.colour);
            break;
        case PlanStep::Kind::Cell:
            session.pickCell(step.cell.row, step.cell.column);
            break;
        case PlanStep::Kind::Frame:
            rescanning(step, [&] { session.scanFrame(step.frame); });
            scans.push_back(session.lastScan());
            break;
        case PlanStep::Kind::BackgroundMethod:
            session.setBackgroundMethod(step.method);
            break;
        }
    }
    return scans;
}

} // namespace kesto
