#pragma once

// The analysis report: one PDF that says what was measured and how. It is a list of
// sections, each a heading and blocks (paragraphs, facts, tables, drawings), so that other
// parts of the program add their own sections (results, standard curves) to the ones the
// session gives: the annotated picture, the pictures' identities, every choice that shaped
// the numbers, the main sheet, the report window's table, band sizes, and flags and notes.
// The document is laid out by Qt's text document and written by its PDF writer: tables
// repeat their heading on every page they run onto, and drawings stay vector.

#include "core/displaylevels.h"
#include "core/figure.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QPainter;
class QTextDocument;

namespace kesto {

class MeasurementSession;
class SampleTable;
class SheetData;

struct ReportBlock
{
    enum class Kind { Paragraph, Facts, Table, Drawing };
    Kind kind = Kind::Paragraph;
    QString text;                         // Paragraph; Drawing: its caption
    QList<QPair<QString, QString>> facts; // Facts: one "name: value" line each
    QStringList headings;                 // Table
    QList<QStringList> rows;
    QSizeF size;    // Drawing: its own units, drawn to fit the page
    double dpi = 0; // Drawing: its units per inch, printed no larger; 0: any
    std::function<void(QPainter&)> draw;

    static ReportBlock paragraph(const QString& text);
    static ReportBlock factList(const QList<QPair<QString, QString>>& facts);
    static ReportBlock table(const QStringList& headings, const QList<QStringList>& rows);
    static ReportBlock drawing(const QSizeF& size, std::function<void(QPainter&)> draw,
                               const QString& caption = QString(), double dpi = 0);
};

struct ReportSection
{
    QString heading;
    std::vector<ReportBlock> blocks;
};

struct AnalysisReport
{
    QString title;
    QString subtitle; // the program's version and the date
    std::vector<ReportSection> sections;
};

// What the session's report is made of besides the session.
struct ReportInputs
{
    DisplayLevels levels; // the figure's levels
    FigureOptions figure; // the annotated picture's overlays
    const SampleTable* samples = nullptr;
    const SheetData* reportTable = nullptr; // the report window's table, when there is one
    QDateTime when = QDateTime::currentDateTimeUtc();
};

// The session's sections: the annotated picture (when there is one), the pictures measured
// (every picture the record names, and the one open), the choices, the main sheet, the
// report table, band sizes, the record of every value, flags and notes.
AnalysisReport sessionReport(MeasurementSession& session, const ReportInputs& inputs);
// The session's results from its sample table and choices, or why there are none.
ReportSection resultsSection(const MeasurementSession& session);
// The standard curve of the session's standards (sample rows with role standard) with its
// choices: the model, R², Mandel's p, the linear range, each standard with its residual
// and whether it is in the range, and each sample lane's amount read off the curve with
// its flags; or why there is none.
ReportSection standardCurveSection(const MeasurementSession& session);

// The sheet's used cells as a table: headings and every row holding any text; a cell with a
// note is marked " *" (the note goes under Flags and notes).
ReportBlock sheetTable(const SheetData& sheet);

// The report laid out on the document for pages of pageSize (device units of the document's
// paint device); drawings are registered with the document's layout.
void buildReportDocument(const AnalysisReport& report, QTextDocument& document);

// Writes the report as a PDF (A4, atomically), with the program and the page number at the
// foot of every page. Returns the page count. Throws Error(FileError) when it cannot be
// written.
int writeReportPdf(const AnalysisReport& report, const QString& path);

} // namespace kesto
