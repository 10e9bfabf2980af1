#include "core/reporttable.h"

#include "core/expression.h"
#include "core/numbers.h"
#include "core/sheetdata.h"
#include "core/sheetlayout.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kesto {

TableFormat tableFormatOf(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
               ? TableFormat::Csv
               : TableFormat::TabText;
}

QList<QStringList> parseCsvText(QStringView text, const QString& source)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool rowStarted = false; // something was read since the last line end
    bool atFieldStart = true;
    int line = 1;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isLineEnd = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    // Steps over one line end (CR LF counts once) at i.
    auto skipLineEnd = [&] {
        if (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        ++i;
        ++line;
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('"') && atFieldStart) {
            const int startLine = line;
            ++i;
            for (;;) {
                if (i >= n)
                    throw PlanError(QStringLiteral("%1:%2: expected a closing quote for the field "
                                                   "that starts on this line")
                                        .arg(source)
                                        .arg(startLine));
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (isLineEnd(text[i])) {
                    const qsizetype from = i;
                    skipLineEnd();
                    field += text.mid(from, i - from);
                    continue;
                }
                field += text[i];
                ++i;
            }
            if (i < n && text[i] != QLatin1Char(',') && !isLineEnd(text[i]))
                throw PlanError(
                    QStringLiteral(
                        "%1:%2: expected a comma or a line end after a closing quote, found \"%3\"")
                        .arg(source)
                        .arg(line)
                        .arg(text[i]));
            rowStarted = true;
            atFieldStart = false;
            continue;
        }
        if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            rowStarted = true;
            atFieldStart = true;
            ++i;
            continue;
        }
        if (isLineEnd(c)) {
            row << field;
            field.clear();
            rows << row;
            row.clear();
            rowStarted = false;
            atFieldStart = true;
            skipLineEnd();
            continue;
        }
        field += c;
        rowStarted = true;
        atFieldStart = false;
        ++i;
    }
    if (rowStarted) {
        row << field;
        rows << row;
    }
    return rows;
}

bool isReportHeader(const QStringList& row)
{
    const QString scan = row.value(ReportScanColumn - 1);
    return !scan.trimmed().isEmpty() && !isNumber(scan) &&
           !isControlType(row.value(ReportTypeColumn - 1));
}

void loadReportTable(SheetData& sheet, const QList<QStringList>& rows, const QString& source)
{
    const bool header = !rows.isEmpty() && isReportHeader(rows.constFirst());
    const qsizetype first = header ? 1 : 0;
    if (rows.size() <= first)
        throw PlanError(
            source +
            QStringLiteral(": expected a report table with at least one band row, found none"));
    qsizetype widest = 0;
    for (const QStringList& row : rows)
        widest = std::max(widest, row.size());
    if (widest < ReportScanColumn)
        throw PlanError(
            source +
            QStringLiteral(": expected the columns #, Description, Type and Scan (rel.units), "
                           "found %1 column%2")
                .arg(widest)
                .arg(widest == 1 ? QString() : QStringLiteral("s")));
    const qsizetype columns = std::max<qsizetype>(widest, ReportExpressionColumn);
    try {
        sheet.resize(int(std::min<qsizetype>(rows.size() - first, SheetData::MaxRows + 1)),
                     int(std::min<qsizetype>(columns, SheetData::MaxColumns + 1)));
        for (int c = 1; c <= ReportSheet::Columns; ++c)
            sheet.setColumnWidth(c, ReportSheet::StartColumnWidths[c - 1]);
        if (header) {
            const QStringList& headings = rows.constFirst();
            for (qsizetype c = 0; c < headings.size(); ++c)
                sheet.setHeadingText(int(c + 1), headings.at(c));
            if (sheet.headingText(ReportExpressionColumn).isEmpty())
                sheet.setHeadingText(ReportExpressionColumn, QStringLiteral("Expression (%)"));
        }
        for (qsizetype r = first; r < rows.size(); ++r) {
            const QStringList& row = rows.at(r);
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (!row.at(c).isEmpty())
                    sheet.setText(int(r - first + 1), int(c + 1), row.at(c));
            }
        }
    } catch (const Error& error) {
        throw PlanError(source + QStringLiteral(": ") + error.message());
    }
}

void readReportTable(const QString& path, SheetData& sheet)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw Error(
            Error::FileError,
            QStringLiteral("Cannot read the report table \"%1\": it is a folder").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Error::FileError, QStringLiteral("Cannot read the report table \"%1\": %2")
                                          .arg(path, file.errorString()));
    const QByteArray bytes = file.read(MaxReportBytes + 1);
    if (bytes.size() > MaxReportBytes)
        throw PlanError(path + QStringLiteral(": expected a report table of at most %1 MiB")
                                   .arg(MaxReportBytes / (1024 * 1024)));
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QList<QStringList> rows =
        tableFormatOf(path) == TableFormat::Csv ? parseCsvText(text, path) : parseTabText(text);
    loadReportTable(sheet, rows, path);
}

} // namespace kesto
