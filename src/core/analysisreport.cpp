#include "core/analysisreport.h"

#include "core/backgroundmethod.h"
#include "core/foundbands.h"
#include "core/ladders.h"
#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/results.h"
#include "core/sampletable.h"
#include "core/sessionresults.h"
#include "core/sheetdata.h"
#include "core/sizecalibration.h"
#include "core/standardresults.h"
#include "versioninfo.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QObject>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <QTextTable>
#include <QTextTableFormat>

#include <algorithm>
#include <cmath>

namespace kesto {

ReportBlock ReportBlock::paragraph(const QString& text)
{
    ReportBlock block;
    block.kind = Kind::Paragraph;
    block.text = text;
    return block;
}

ReportBlock ReportBlock::factList(const QList<QPair<QString, QString>>& facts)
{
    ReportBlock block;
    block.kind = Kind::Facts;
    block.facts = facts;
    return block;
}

ReportBlock ReportBlock::table(const QStringList& headings, const QList<QStringList>& rows)
{
    ReportBlock block;
    block.kind = Kind::Table;
    block.headings = headings;
    block.rows = rows;
    return block;
}

ReportBlock ReportBlock::drawing(const QSizeF& size, std::function<void(QPainter&)> draw,
                                 const QString& caption, double dpi)
{
    ReportBlock block;
    block.dpi = dpi;
    block.kind = Kind::Drawing;
    block.size = size;
    block.draw = std::move(draw);
    block.text = caption;
    return block;
}

namespace {

constexpr int DrawingObject = QTextFormat::UserObject + 1;
constexpr int DrawingIndex = QTextFormat::UserProperty + 1;

// Draws a report's drawings where the document holds them, scaled to the page's width (and
// to at most three quarters of its height), as vector graphics on whatever paints the page.
class DrawingHandler : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    explicit DrawingHandler(QObject* parent) : QObject(parent) {}

    int add(const ReportBlock& block)
    {
        m_drawings.push_back(block);
        return int(m_drawings.size()) - 1;
    }

    QSizeF intrinsicSize(QTextDocument* document, int, const QTextFormat& format) override
    {
        const ReportBlock* block = blockOf(format);
        if (!block || block->size.isEmpty())
            return QSizeF(1, 1);
        const QSizeF page = document->pageSize();
        const double margin = 2 * document->documentMargin();
        const double width = page.width() > 0 ? page.width() - margin - 2 : document->textWidth();
        const double height = page.height() > 0 ? (page.height() - margin) * 0.75 : width;
        double scale = std::min(width / block->size.width(), height / block->size.height());
        const QPaintDevice* device = document->documentLayout()->paintDevice();
        if (block->dpi > 0)
            scale = std::min(scale, (device ? device->logicalDpiX() : 96) / block->dpi);
        return block->size * std::max(scale, 1e-6);
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override
    {
        const ReportBlock* block = blockOf(format);
        if (!block || !block->draw || block->size.isEmpty())
            return;
        painter->save();
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / block->size.width(), rect.height() / block->size.height());
        block->draw(*painter);
        painter->restore();
    }

private:
    const ReportBlock* blockOf(const QTextFormat& format) const
    {
        const int index = format.intProperty(DrawingIndex);
        return index >= 0 && std::size_t(index) < m_drawings.size()
                   ? &m_drawings[std::size_t(index)]
                   : nullptr;
    }

    std::vector<ReportBlock> m_drawings;
};

QFont reportFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont hashFont()
{
    QFont font(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(8);
    return font;
}

QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

QString columnName(const SheetData& sheet, int column)
{
    const QString heading = sheet.headingText(column);
    return heading.isEmpty() ? QStringLiteral("column %1").arg(column) : heading;
}

void insertTable(QTextCursor& cursor, const ReportBlock& block)
{
    int columns = int(block.headings.size());
    for (const QStringList& row : block.rows)
        columns = std::max(columns, int(row.size()));
    if (columns == 0)
        return;
    const bool headed = !block.headings.isEmpty();
    const int rows = int(block.rows.size()) + (headed ? 1 : 0);
    if (rows == 0)
        return;
    QTextTableFormat format;
    format.setHeaderRowCount(headed ? 1 : 0);
    format.setBorder(0.5);
    format.setBorderBrush(QColor(120, 120, 120));
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellPadding(2);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextTable* table = cursor.insertTable(rows, columns, format);
    QTextCharFormat text;
    text.setFont(reportFont(7.5));
    QTextCharFormat heading;
    heading.setFont(reportFont(7.5, true));
    for (int c = 0; c < columns && headed; ++c) {
        QTextTableCell cell = table->cellAt(0, c);
        QTextCharFormat shade = cell.format();
        shade.setBackground(QColor(225, 225, 225));
        cell.setFormat(shade);
        cell.firstCursorPosition().insertText(block.headings.value(c), heading);
    }
    for (int r = 0; r < block.rows.size(); ++r) {
        const QStringList& row = block.rows.at(r);
        for (int c = 0; c < columns; ++c)
            table->cellAt(r + (headed ? 1 : 0), c)
                .firstCursorPosition()
                .insertText(row.value(c), text);
    }
    cursor.movePosition(QTextCursor::End);
}

// The session's lane and size choices, as a person reads them.
QList<QPair<QString, QString>> choiceFacts(MeasurementSession& session, const ReportInputs& inputs)
{
    QList<QPair<QString, QString>> facts;
    facts << qMakePair(QStringLiteral("Channel"), channelText(session.channel()))
          << qMakePair(QStringLiteral("Picture inverted"), yesNo(session.inverted()))
          << qMakePair(QStringLiteral("Background"), session.backgroundReadout())
          << qMakePair(QStringLiteral("Background method"),
                       backgroundMethodLabel(session.backgroundMethod()) + QStringLiteral(" (") +
                           backgroundMethodText(session.backgroundMethod()) + QLatin1Char(')'));
    const std::vector<LaneStrip>& lanes = session.lanes();
    if (!lanes.empty()) {
        facts << qMakePair(QStringLiteral("Lanes"),
                           QStringLiteral("%1, %2, %3")
                               .arg(lanes.size())
                               .arg(lanes.front().orientation == LaneOrientation::Vertical
                                        ? QStringLiteral("running down")
                                        : QStringLiteral("running across"))
                               .arg(session.lanesDark() ? QStringLiteral("dark bands on light")
                                                        : QStringLiteral("light bands on dark")));
        facts << qMakePair(QStringLiteral("Found bands"),
                           QString::number(session.proposals().count()));
    }
    facts << qMakePair(QStringLiteral("Quantify mode"), quantifyModeText(session.quantifyMode()))
          << qMakePair(QStringLiteral("Lane background"),
                       laneBackgroundLabel(session.laneBackground()))
          << qMakePair(QStringLiteral("Peak shape (fit)"), peakShapeText(session.peakShape()));
    for (const LadderLane& ladder : session.ladderLanes()) {
        QStringList sizes;
        for (double size : ladder.ladder.sizes)
            sizes << doubleText(size);
        facts << qMakePair(QStringLiteral("Ladder in lane %1").arg(ladder.lane + 1),
                           QStringLiteral("%1: %2 %3")
                               .arg(ladder.ladder.name.isEmpty() ? QStringLiteral("(unnamed)")
                                                                 : ladder.ladder.name,
                                    sizes.join(QStringLiteral(", ")),
                                    sizeUnitText(ladder.ladder.unit)));
    }
    if (!session.ladderLanes().empty())
        facts << qMakePair(QStringLiteral("Size curve"), sizeFitText(session.sizeFit()))
              << qMakePair(QStringLiteral("Sizes beyond the ladder"),
                           session.extrapolateSizes() ? QStringLiteral("extrapolated")
                                                      : QStringLiteral("not given"));
    facts << qMakePair(QStringLiteral("Display levels of the figure"),
                       figureLevelsText(inputs.levels.automatic && session.hasPicture()
                                            ? autoDisplayLevels(session.picture())
                                            : inputs.levels) +
                           QStringLiteral(" (how the picture is shown; the numbers are taken on "
                                          "the counts)"));
    return facts;
}

} // namespace

ReportBlock sheetTable(const SheetData& sheet)
{
    QStringList headings;
    for (int c = 1; c <= sheet.columnCount(); ++c)
        headings << columnName(sheet, c);
    QList<QStringList> rows;
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        QStringList row;
        bool any = false;
        for (int c = 1; c <= sheet.columnCount(); ++c) {
            QString text = sheet.text(r, c);
            any = any || !text.isEmpty();
            if (!sheet.note(r, c).isEmpty())
                text += QStringLiteral(" *");
            row << text;
        }
        if (any)
            rows << row;
    }
    return ReportBlock::table(headings, rows);
}

namespace {

// A table's rows without its heading row, the heading apart.
ReportBlock resultTable(const QList<QStringList>& table)
{
    return ReportBlock::table(table.value(0), table.mid(1));
}

} // namespace

// The session's normalized result as the Results window shows it: how it was made, each
// lane's values and each group's statistics; or why there is none.
ReportSection resultsSection(const MeasurementSession& session)
{
    ReportSection section{QStringLiteral("Results"), {}};
    try {
        const Results results = sessionResults(session);
        if (!results.notes.isEmpty())
            section.blocks.push_back(ReportBlock::paragraph(results.notes.join(QLatin1Char('\n'))));
        section.blocks.push_back(resultTable(resultLaneTable(results, false)));
        section.blocks.push_back(resultTable(resultGroupTable(results, false)));
    } catch (const Error& error) {
        section.blocks.push_back(
            ReportBlock::paragraph(QStringLiteral("No result could be made: ") + error.message()));
    }
    return section;
}

namespace {

QString optionalNumber(const std::optional<double>& value)
{
    return value ? doubleText(*value) : QString();
}

bool hasStandards(const SampleTable& table)
{
    for (const SampleRow& row : table.rows())
        if (row.role == SampleRole::Standard)
            return true;
    return false;
}

} // namespace

ReportSection standardCurveSection(const MeasurementSession& session)
{
    ReportSection section{QStringLiteral("Standard curve"), {}};
    const SampleTable& table = session.sampleTable();
    const CurveOptions& options = session.curveOptions();
    StandardResults standards;
    try {
        StandardResultOptions standardOptions;
        standardOptions.curve = options;
        standards = computeStandardResults(table, measuredLanes(session), session.resultOptions(),
                                           standardOptions);
    } catch (const Error& error) {
        section.blocks.push_back(ReportBlock::paragraph(
            QStringLiteral("No standard curve could be made: ") + error.message()));
        return section;
    }
    const StandardCurve* curve = standards.curve(0);
    if (!curve || !curve->ok()) {
        QStringList why = standards.notes;
        if (curve)
            why.prepend(curve->reason());
        section.blocks.push_back(
            ReportBlock::paragraph(QStringLiteral("No standard curve could be made: ") +
                                   (why.isEmpty() ? QStringLiteral("no standards with a signal")
                                                  : why.join(QStringLiteral("; ")))));
        return section;
    }
    QString unit;
    for (const SampleRow& row : table.rows())
        if (row.role == SampleRole::Standard && unit.isEmpty())
            unit = row.unit;
    const auto amount = [&unit](double value) {
        return unit.isEmpty() ? doubleText(value) : doubleText(value) + QLatin1Char(' ') + unit;
    };
    const LinearRange& range = curve->linearRange();
    const LackOfFit& lack = curve->lackOfFit();
    const double rSquared = curve->curve().rSquared;
    QList<QPair<QString, QString>> facts;
    facts << qMakePair(QStringLiteral("Model"), curveModelText(options.model))
          << qMakePair(QStringLiteral("Weighting"), curveWeightingText(options.weighting))
          << qMakePair(QStringLiteral("Fitted to"),
                       QStringLiteral("%1 standards").arg(curve->curve().points))
          << qMakePair(QStringLiteral("R\u00b2"), std::isfinite(rSquared)
                                                      ? QString::number(rSquared, 'f', 4)
                                                      : QStringLiteral("none"))
          << qMakePair(QStringLiteral("Mandel's lack-of-fit p"),
                       lack.ok ? QString::number(lack.p, 'g', 3)
                               : QStringLiteral("none: ") + lack.reason)
          << qMakePair(QStringLiteral("Linear range"),
                       range.found ? QStringLiteral("%1 to %2 (residuals within %3 %)")
                                         .arg(amount(range.low), amount(range.high),
                                              doubleText(options.residualLimitPercent))
                                   : QStringLiteral("none: ") + range.reason);
    section.blocks.push_back(ReportBlock::factList(facts));

    QList<QStringList> rows;
    for (const CurveStandardResult& s : curve->standards())
        rows << QStringList{s.standard.label,
                            doubleText(s.standard.amount),
                            doubleText(s.standard.signal),
                            s.residualPercent ? QString::number(*s.residualPercent, 'f', 1)
                                              : QString(),
                            yesNo(s.inLinearRange),
                            s.standard.saturated ? QStringLiteral("saturated") : QString()};
    section.blocks.push_back(ReportBlock::table(
        {QStringLiteral("STANDARD"), QStringLiteral("AMOUNT"), QStringLiteral("SIGNAL"),
         QStringLiteral("RESIDUAL_%"), QStringLiteral("IN_RANGE"), QStringLiteral("FLAGS")},
        rows));

    rows.clear();
    for (std::size_t i = 0; i < standards.lanes.size() && i < standards.raw.lanes.size(); ++i) {
        const LaneResult& lane = standards.raw.lanes[i];
        const CurveAmount& read = standards.lanes[i].amount;
        if (standards.lanes[i].standard || !lane.inTable || lane.role != SampleRole::Sample)
            continue;
        rows << QStringList{QString::number(lane.lane + 1),
                            lane.sample,
                            lane.group,
                            optionalNumber(lane.target),
                            optionalNumber(read.amount),
                            yesNo(read.inLinearRange()),
                            read.amount ? read.flagsText() : read.reason};
    }
    if (!rows.isEmpty())
        section.blocks.push_back(ReportBlock::table(
            {QStringLiteral("LANE"), QStringLiteral("SAMPLE"), QStringLiteral("GROUP"),
             QStringLiteral("SIGNAL"), QStringLiteral("AMOUNT"), QStringLiteral("IN_RANGE"),
             QStringLiteral("FLAGS")},
            rows));
    if (!standards.notes.isEmpty())
        section.blocks.push_back(ReportBlock::paragraph(standards.notes.join(QLatin1Char('\n'))));
    return section;
}

AnalysisReport sessionReport(MeasurementSession& session, const ReportInputs& inputs)
{
    AnalysisReport report;
    report.title = QStringLiteral("Analysis report");
    report.subtitle =
        QStringLiteral("%1 %2, %3")
            .arg(version::productName(), version::text(),
                 inputs.when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")));

    if (session.hasPicture()) {
        // Printed at most the text's width: the figure's text is 8 points high at that size.
        FigureOptions options = inputs.figure;
        const int shownWidth =
            options.region.isEmpty() ? session.picture().width() : options.region.width();
        options.dpi = std::clamp(int(std::lround(shownWidth / 6.0)), FigureOptions::MinDpi, 600);
        const FigureContent content =
            figureContent(session, inputs.levels, options, inputs.samples);
        const FigureLayout layout = figureLayout(content, options);
        ReportSection figure{QStringLiteral("Annotated picture"), {}};
        figure.blocks.push_back(ReportBlock::drawing(
            QSizeF(layout.size),
            [content, options](QPainter& painter) { drawFigure(painter, content, options); },
            QString(), options.dpi));
        report.sections.push_back(std::move(figure));
    }

    // Every picture a value was taken on, and the one open.
    std::vector<PictureIdentity> pictures;
    const auto addPicture = [&pictures](const PictureIdentity& picture) {
        for (const PictureIdentity& known : pictures)
            if (known.sha256 == picture.sha256 && known.path == picture.path &&
                known.page == picture.page)
                return;
        pictures.push_back(picture);
    };
    const std::vector<MeasurementEntry> entries = session.record().entries();
    for (const MeasurementEntry& entry : entries)
        if (entry.source == ValueSource::Scan)
            addPicture(entry.picture);
    if (session.hasPicture())
        addPicture(session.pictureIdentity());
    ReportSection pictureSection{
        pictures.size() == 1 ? QStringLiteral("Picture") : QStringLiteral("Pictures"), {}};
    for (const PictureIdentity& picture : pictures) {
        QList<QPair<QString, QString>> facts;
        facts << qMakePair(QStringLiteral("File"), picture.fromClipboard()
                                                       ? QStringLiteral("pasted from the clipboard")
                                                       : QFileInfo(picture.path).fileName());
        if (!picture.fromClipboard())
            facts << qMakePair(QStringLiteral("Folder"), QFileInfo(picture.path).absolutePath());
        if (picture.page > 0)
            facts << qMakePair(QStringLiteral("Page"), QString::number(picture.page));
        facts << qMakePair(QStringLiteral("Size"),
                           QStringLiteral("%1 x %2 pixels").arg(picture.width).arg(picture.height))
              << qMakePair(QStringLiteral("Depth"),
                           QStringLiteral("%1 bits per channel").arg(picture.bitDepth))
              << qMakePair(QStringLiteral("Polarity"), picture.polarity);
        if (!picture.tags.isEmpty())
            facts << qMakePair(QStringLiteral("Tags"), picture.tags);
        facts << qMakePair(picture.fromClipboard() ? QStringLiteral("SHA-256 of the pixels")
                                                   : QStringLiteral("SHA-256 of the file"),
                           QString::fromLatin1(picture.sha256));
        pictureSection.blocks.push_back(ReportBlock::factList(facts));
    }
    if (pictures.empty())
        pictureSection.blocks.push_back(ReportBlock::paragraph(QStringLiteral("No picture.")));
    report.sections.push_back(std::move(pictureSection));

    report.sections.push_back(ReportSection{
        QStringLiteral("How the numbers were made"),
        {ReportBlock::paragraph(QStringLiteral("The session's settings as the report was made; "
                                               "each value's own settings are in the record of "
                                               "values below.")),
         ReportBlock::factList(choiceFacts(session, inputs))}});

    const SheetData& sheet = session.sheet();
    report.sections.push_back(ReportSection{QStringLiteral("Main sheet"), {sheetTable(sheet)}});
    if (inputs.reportTable)
        report.sections.push_back(
            ReportSection{QStringLiteral("Report table"), {sheetTable(*inputs.reportTable)}});

    // The table given, else the session's own.
    const SampleTable* samples = inputs.samples ? inputs.samples : &session.sampleTable();
    if (!samples->isEmpty()) {
        QList<QStringList> rows;
        for (const SampleRow& row : samples->rows())
            rows << QStringList{QString::number(row.blot + 1),
                                QString::number(row.lane + 1),
                                row.sample,
                                row.group,
                                row.replicate > 0 ? QString::number(row.replicate) : QString(),
                                sampleRoleText(row.role),
                                row.amount ? doubleText(*row.amount) + QLatin1Char(' ') + row.unit
                                           : QString(),
                                row.notes};
        report.sections.push_back(
            ReportSection{QStringLiteral("Samples"),
                          {ReportBlock::table({QStringLiteral("Blot"), QStringLiteral("Lane"),
                                               QStringLiteral("Sample"), QStringLiteral("Group"),
                                               QStringLiteral("Replicate"), QStringLiteral("Role"),
                                               QStringLiteral("Amount"), QStringLiteral("Notes")},
                                              rows)}});
    }
    if (!session.sampleTable().isEmpty())
        report.sections.push_back(resultsSection(session));
    if (hasStandards(session.sampleTable()))
        report.sections.push_back(standardCurveSection(session));

    QStringList notes;
    const FoundBandSizes sizes = session.foundBandSizes();
    if (sizes.any()) {
        QList<QStringList> rows;
        for (std::size_t i = 0; i < sizes.bands.size(); ++i) {
            const BandSize& size = sizes.bands[i];
            QStringList flags;
            if (size.ladder)
                flags << QStringLiteral("ladder band");
            if (size.size && size.extrapolated)
                flags << QStringLiteral("extrapolated beyond the ladder");
            rows << QStringList{
                session.proposals().label(int(i)), size.rf ? doubleText(*size.rf) : QString(),
                size.size ? doubleText(*size.size) : QString(), flags.join(QStringLiteral(", "))};
        }
        report.sections.push_back(
            ReportSection{QStringLiteral("Band sizes"),
                          {ReportBlock::table({QStringLiteral("Band"), QStringLiteral("Rf"),
                                               QStringLiteral("Size"), QStringLiteral("Flags")},
                                              rows)}});
        notes << sizes.notes;
    }

    // The record: where every value of the sheet came from.
    {
        const QList<QStringList> recorded = measurementRows(session.record());
        QList<QStringList> rows;
        for (const QStringList& r : recorded) {
            QStringList flags;
            const char* const names[] = {"at full scale", "at 0", "off the picture"};
            for (int k = 0; k < 3; ++k)
                if (!r.value(18 + k).isEmpty() && r.value(18 + k) != QLatin1String("0"))
                    flags << r.value(18 + k) + QLatin1Char(' ') + QLatin1String(names[k]);
            const QString frame = r.value(13).isEmpty() ? QString()
                                                        : QStringLiteral("%1,%2 %3x%4")
                                                              .arg(r.value(13), r.value(14),
                                                                   r.value(15), r.value(16));
            rows << QStringList{r.value(0),
                                r.value(1),
                                r.value(2),
                                r.value(3),
                                r.value(8),
                                r.value(9),
                                r.value(10),
                                r.value(12),
                                frame,
                                r.value(26),
                                flags.join(QStringLiteral(", "))};
        }
        ReportSection record{QStringLiteral("Record of values"), {}};
        if (rows.isEmpty())
            record.blocks.push_back(
                ReportBlock::paragraph(QStringLiteral("No value was recorded.")));
        else
            record.blocks.push_back(ReportBlock::table(
                {QStringLiteral("Cell"), QStringLiteral("Value"), QStringLiteral("Source"),
                 QStringLiteral("Picture"), QStringLiteral("Channel"), QStringLiteral("Inverted"),
                 QStringLiteral("Background"), QStringLiteral("Method"), QStringLiteral("Frame"),
                 QStringLiteral("Lane quantity"), QStringLiteral("Samples flagged")},
                rows));
        report.sections.push_back(std::move(record));
    }

    for (int r = 1; r <= sheet.rowCount(); ++r)
        for (int c = 1; c <= sheet.columnCount(); ++c)
            if (!sheet.note(r, c).isEmpty())
                notes << QStringLiteral("Main sheet, row %1, %2: %3")
                             .arg(r)
                             .arg(columnName(sheet, c), sheet.note(r, c));
    if (inputs.reportTable)
        for (int r = 1; r <= inputs.reportTable->rowCount(); ++r)
            for (int c = 1; c <= inputs.reportTable->columnCount(); ++c)
                if (!inputs.reportTable->note(r, c).isEmpty())
                    notes << QStringLiteral("Report table, row %1, %2: %3")
                                 .arg(r)
                                 .arg(columnName(*inputs.reportTable, c),
                                      inputs.reportTable->note(r, c));
    ReportSection flags{QStringLiteral("Flags and notes"), {}};
    if (notes.isEmpty())
        flags.blocks.push_back(ReportBlock::paragraph(QStringLiteral("None.")));
    for (const QString& note : notes)
        flags.blocks.push_back(ReportBlock::paragraph(note));
    report.sections.push_back(std::move(flags));
    return report;
}

void buildReportDocument(const AnalysisReport& report, QTextDocument& document)
{
    auto* handler = new DrawingHandler(&document);
    document.documentLayout()->registerHandler(DrawingObject, handler);
    document.setDefaultFont(reportFont(9));
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(option);

    QTextCursor cursor(&document);
    // One edit: the document is laid out once, at its end, not after every cell.
    cursor.beginEditBlock();
    QTextCharFormat body;
    body.setFont(reportFont(9));
    QTextCharFormat bold;
    bold.setFont(reportFont(9, true));
    QTextCharFormat title;
    title.setFont(reportFont(16, true));
    QTextCharFormat heading;
    heading.setFont(reportFont(12, true));
    QTextCharFormat hash;
    hash.setFont(hashFont());
    QTextBlockFormat plain;
    plain.setTopMargin(2);
    QTextBlockFormat headingBlock;
    headingBlock.setTopMargin(12);
    headingBlock.setBottomMargin(4);
    headingBlock.setPageBreakPolicy(QTextFormat::PageBreak_Auto);

    cursor.setBlockFormat(plain);
    cursor.insertText(report.title, title);
    cursor.insertBlock(plain);
    cursor.insertText(report.subtitle, body);
    for (const ReportSection& section : report.sections) {
        cursor.insertBlock(headingBlock);
        cursor.insertText(section.heading, heading);
        for (const ReportBlock& block : section.blocks) {
            switch (block.kind) {
            case ReportBlock::Kind::Paragraph:
                cursor.insertBlock(plain);
                cursor.insertText(block.text, body);
                break;
            case ReportBlock::Kind::Facts:
                for (const auto& [name, value] : block.facts) {
                    cursor.insertBlock(plain);
                    cursor.insertText(name + QStringLiteral(": "), bold);
                    cursor.insertText(value,
                                      name.startsWith(QLatin1String("SHA-256")) ? hash : body);
                }
                cursor.insertBlock(plain);
                break;
            case ReportBlock::Kind::Table:
                cursor.insertBlock(plain);
                insertTable(cursor, block);
                break;
            case ReportBlock::Kind::Drawing: {
                cursor.insertBlock(plain);
                QTextCharFormat object;
                object.setObjectType(DrawingObject);
                object.setProperty(DrawingIndex, handler->add(block));
                cursor.insertText(QString(QChar::ObjectReplacementCharacter), object);
                if (!block.text.isEmpty()) {
                    cursor.insertBlock(plain);
                    cursor.insertText(block.text, body);
                }
                break;
            }
            }
        }
    }
    cursor.endEditBlock();
}

int writeReportPdf(const AnalysisReport& report, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(Error::FileError,
                    QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString()));
    int pages = 0;
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(300);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(18, 15, 18, 15), QPageLayout::Millimeter);
        pdf.setTitle(report.title);
        pdf.setCreator(version::productName() + QLatin1Char(' ') + version::text());
        const QRect paint = pdf.pageLayout().paintRectPixels(pdf.resolution());
        const QFont footFont = reportFont(7.5);
        const double footer = QFontMetricsF(footFont, &pdf).height() * 2;

        QTextDocument document;
        document.documentLayout()->setPaintDevice(&pdf);
        document.setDocumentMargin(0);
        const QSizeF page(paint.width(), paint.height() - footer);
        document.setPageSize(page);
        buildReportDocument(report, document);
        pages = document.pageCount();

        QPainter painter;
        if (!painter.begin(&pdf))
            throw Error(Error::FileError, QStringLiteral("Cannot write %1").arg(path));
        for (int p = 0; p < pages; ++p) {
            if (p > 0 && !pdf.newPage())
                throw Error(Error::FileError, QStringLiteral("Cannot add a page to %1").arg(path));
            painter.save();
            painter.translate(0, -p * page.height());
            document.drawContents(&painter,
                                  QRectF(0, p * page.height(), page.width(), page.height()));
            painter.restore();
            painter.setFont(footFont);
            painter.setPen(Qt::darkGray);
            painter.drawText(QRectF(0, page.height(), page.width(), footer),
                             Qt::AlignLeft | Qt::AlignBottom, report.subtitle);
            painter.drawText(QRectF(0, page.height(), page.width(), footer),
                             Qt::AlignRight | Qt::AlignBottom,
                             QStringLiteral("page %1 of %2").arg(p + 1).arg(pages));
        }
        if (!painter.end())
            throw Error(Error::FileError, QStringLiteral("Cannot write %1").arg(path));
    }
    if (!file.commit())
        throw Error(Error::FileError,
                    QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString()));
    return pages;
}

} // namespace kesto

#include "analysisreport.moc"
