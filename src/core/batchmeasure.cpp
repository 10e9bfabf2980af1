#include "core/batchmeasure.h"

#include "core/backgroundscan.h"
#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/numbers.h"
#include "core/workingsheet.h"
#include "core/pictureops.h"
#include "core/sheetlayout.h"

#include <QDateTime>

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
    m_picked = false;
    m_background = colour;
    m_levels = widenedLevels(colour);
    m_averaged = BackgroundValues::of(backgroundLevels());
}

void MeasurementSession::setBackgroundLevels(const ChannelLevels& levels)
{
    m_picked = false;
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
    m_picked = true;
    m_pickX = x;
    m_pickY = y;
    calculate();
}

void MeasurementSession::invert()
{
    invertPicture(m_picture);
    m_inverted = !m_inverted;
    calculate();
}

void MeasurementSession::setPicturePath(const QString& path)
{
    m_picturePath = path;
    m_identity = PictureIdentity();
}

const PictureIdentity& MeasurementSession::pictureIdentity()
{
    if (m_identity.sha256.isEmpty()) {
        m_identity = kesto::pictureIdentity(m_picture, m_picturePath);
        if (m_picturePath.isEmpty())
            m_identity.sha256 = pixelHash();
    }
    return m_identity;
}

QByteArray MeasurementSession::pixelHash() const
{
    if (!m_inverted)
        return pixelSha256(m_picture);
    // The pixels as they were opened.
    QImage original = m_picture;
    invertPicture(original);
    return pixelSha256(original);
}

void MeasurementSession::setValue(int row, int column, const QString& text, ValueSource source)
{
    m_sheet.setText(row, column, text);
    if (!m_recording)
        return;
    MeasurementEntry entry;
    entry.cell = CellAddress{row, column};
    entry.text = text;
    entry.source = source;
    entry.time = QDateTime::currentDateTimeUtc();
    m_record.add(std::move(entry));
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
        if (m_recording) {
            MeasurementEntry entry;
            entry.cell = cell;
            entry.text = m_sheet.text(cell.row, cell.column);
            entry.time = QDateTime::currentDateTimeUtc();
            entry.picture = pictureIdentity();
            entry.channel = m_channel;
            entry.inverted = m_inverted;
            entry.background = backgroundLevels();
            entry.picked = m_picked;
            entry.pickX = m_pickX;
            entry.pickY = m_pickY;
            entry.method = m_method;
            entry.frame = m_frame;
            entry.scan = m_lastScan;
            m_record.add(std::move(entry));
        }
    }
    runWorkingSheetPass(m_sheet);
    return sum;
}

QString pictureHashMessage(const QString& where, const QByteArray& expected,
                           const QByteArray& found)
{
    return QStringLiteral("%1: the plan was made on a picture whose SHA-256 is %2, but this "
                          "picture's SHA-256 is %3; another picture gives other numbers")
        .arg(where, QString::fromLatin1(expected), QString::fromLatin1(found));
}

std::vector<double> runMeasurementPlan(MeasurementSession& session, const MeasurementPlan& plan,
                                       bool ignoreHash)
{
    std::vector<double> values;
    for (const ScanResult& scan : runMeasurementPlanCounted(session, plan, ignoreHash))
        values.push_back(scan.value);
    return values;
}

std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan, bool ignoreHash)
{
    std::vector<ScanResult> scans;
    const QImage& picture = session.picture();
    bool pastedPicture = false; // the plan's picture came from the clipboard
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
        case PlanStep::Kind::Picture:
            // Where the picture was found; the hash is what is checked.
            pastedPicture = step.text.isEmpty();
            break;
        case PlanStep::Kind::PictureSha256:
            if (!ignoreHash) {
                const QByteArray found =
                    pastedPicture ? session.pixelHash() : session.pictureIdentity().sha256;
                if (found != step.sha256)
                    throw PictureHashError(pictureHashMessage(step.where, step.sha256, found),
                                           step.sha256, found);
            }
            break;
        case PlanStep::Kind::Value:
        case PlanStep::Kind::PastedValue:
            session.setValue(step.cell.row, step.cell.column, step.text,
                             step.kind == PlanStep::Kind::Value ? ValueSource::Typed
                                                                : ValueSource::Pasted);
            break;
        }
    }
    return scans;
}

} // namespace kesto
