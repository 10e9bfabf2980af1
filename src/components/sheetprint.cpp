#include "components/sheetprint.h"

#include "components/module1.h"
#include "core/error.h"
#include "core/sheetdata.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <vector>

namespace kesto {

QList<PrintTextRun> expandPrintCodes(const QString& codes, const QString& sheetName, int page,
                                     int pages)
{
    QList<PrintTextRun> runs;
    bool bold = false;
    QString text;
    auto flush = [&] {
        if (!text.isEmpty())
            runs.append({text, bold});
        text.clear();
    };
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const QChar ch = codes.at(i);
        if (ch != QLatin1Char('&') || i + 1 >= codes.size()) {
            text += ch;
            continue;
        }
        const QChar code = codes.at(++i);
        if (code == QLatin1Char('A')) {
            text += sheetName;
        } else if (code == QLatin1Char('P')) {
            text += QString::number(page);
        } else if (code == QLatin1Char('N')) {
            text += QString::number(pages);
        } else if (code == QLatin1Char('&')) {
            text += QLatin1Char('&');
        } else if (code == QLatin1Char('B')) {
            flush();
            bold = !bold;
        } else {
            text += ch;
            text += code;
        }
    }
    flush();
    return runs;
}

void applySheetPageLayout(QPrinter& printer)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                      QMarginsF(0.75, 1.0, 0.75, 1.0), QPageLayout::Inch));
    // Painting covers the whole paper; the sheet's own margins place the cells, the
    // header and the footer.
    printer.setFullPage(true);
}

namespace {

struct PrintPage
{
    int firstRow, lastRow; // lastRow < firstRow: headings only
    int firstColumn, lastColumn;
};

struct Metrics
{
    double dpi;
    double charWidth;
    double rowHeight;
    double padding;
    double rowHeadingWidth;

    double inches(double value) const { return value * dpi; }
    double columnWidth(const SheetData& data, int column) const
    {
        return data.columnWidth(column) / 256.0 * charWidth;
    }
};

int lastUsedRow(const SheetData& data)
{
    for (int r = data.rowCount(); r >= 1; --r) {
        for (int c = 1; c <= data.columnCount(); ++c) {
            if (!data.text(r, c).isEmpty() || data.format(r, c).pattern != 0)
                return r;
        }
    }
    return 0;
}

// Down the rows first, then across the column groups that fit the page width.
std::vector<PrintPage> paginate(const SheetData& data, const SheetPrintSetup& setup,
                                const Metrics& m, const QRectF& body)
{
    std::vector<std::pair<int, int>> groups;
    const double width = body.width() - (setup.rowHeadings ? m.rowHeadingWidth : 0.0);
    int first = 1;
    double used = 0.0;
    for (int c = 1; c <= data.columnCount(); ++c) {
        const double w = m.columnWidth(data, c);
        if (c > first && used + w > width) {
            groups.emplace_back(first, c - 1);
            first = c;
            used = 0.0;
        }
        used += w;
    }
    groups.emplace_back(first, std::max(first, data.columnCount()));

    const double rowsHeight = body.height() - (setup.columnHeadings ? m.rowHeight : 0.0);
    const int perPage = std::max(1, int(rowsHeight / m.rowHeight));
    const int rows = lastUsedRow(data);
    std::vector<PrintPage> pages;
    for (const auto& [c1, c2] : groups) {
        if (rows == 0) {
            pages.push_back({1, 0, c1, c2});
            continue;
        }
        for (int r = 1; r <= rows; r += perPage)
            pages.push_back({r, std::min(rows, r + perPage - 1), c1, c2});
    }
    return pages;
}

void drawRuns(QPainter& painter, const QList<PrintTextRun>& runs, const QFont& font, double centreX,
              double top, bool fromBottom)
{
    QFont boldFont = font;
    boldFont.setBold(true);
    double total = 0.0;
    double ascent = 0.0, height = 0.0;
    for (const PrintTextRun& run : runs) {
        const QFontMetricsF fm(run.bold ? boldFont : font, painter.device());
        total += fm.horizontalAdvance(run.text);
        ascent = std::max(ascent, fm.ascent());
        height = std::max(height, fm.height());
    }
    double x = centreX - total / 2.0;
    const double baseline = fromBottom ? top - height + ascent : top + ascent;
    for (const PrintTextRun& run : runs) {
        painter.setFont(run.bold ? boldFont : font);
        painter.drawText(QPointF(x, baseline), run.text);
        x += QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(run.text);
    }
    painter.setFont(font);
}

QBrush cellBrush(const CellFormat& format)
{
    return QBrush(toQColor(format.patternForeground), Qt::BrushStyle(format.pattern));
}

void drawPage(QPainter& painter, const SheetData& data, const SheetPrintSetup& setup,
              const Metrics& m, const QRectF& body, const PrintPage& page, const QFont& font)
{
    QFont boldFont = font;
    boldFont.setBold(true);
    QPen grid(QColor(0, 0, 0));
    grid.setWidthF(std::max(1.0, m.dpi / 150.0));
    const double left = body.left() + (setup.rowHeadings ? m.rowHeadingWidth : 0.0);
    double top = body.top();

    auto cellRect = [&](double x, double y, double w) { return QRectF(x, y, w, m.rowHeight); };
    auto textRect = [&](const QRectF& r) { return r.adjusted(m.padding, 0, -m.padding, 0); };
    auto drawFrame = [&](const QRectF& r) {
        if (setup.gridlines) {
            painter.setPen(grid);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r);
        }
    };

    if (setup.columnHeadings) {
        painter.setFont(boldFont);
        double x = left;
        for (int c = page.firstColumn; c <= page.lastColumn && c <= data.columnCount(); ++c) {
            const double w = m.columnWidth(data, c);
            if (w <= 0)
                continue;
            const QRectF r = cellRect(x, top, w);
            const QString heading = data.headingText(c);
            painter.setPen(QColor(0, 0, 0));
            painter.drawText(textRect(r), Qt::AlignCenter | Qt::TextSingleLine,
                             heading.isEmpty() ? columnLetters(c) : heading);
            drawFrame(r);
            x += w;
        }
        if (!setup.gridlines && x > left) {
            painter.setPen(grid);
            painter.drawLine(QPointF(left, top + m.rowHeight), QPointF(x, top + m.rowHeight));
        }
        painter.setFont(font);
        top += m.rowHeight;
    }

    for (int r = page.firstRow; r <= page.lastRow; ++r) {
        const double y = top + (r - page.firstRow) * m.rowHeight;
        if (setup.rowHeadings) {
            const QRectF h = cellRect(body.left(), y, m.rowHeadingWidth);
            painter.setPen(QColor(0, 0, 0));
            painter.drawText(textRect(h), Qt::AlignCenter | Qt::TextSingleLine, QString::number(r));
            drawFrame(h);
        }
        double x = left;
        for (int c = page.firstColumn; c <= page.lastColumn && c <= data.columnCount(); ++c) {
            const double w = m.columnWidth(data, c);
            if (w <= 0)
                continue;
            const QRectF cell = cellRect(x, y, w);
            const CellFormat& f = data.format(r, c);
            if (f.pattern >= 2)
                painter.fillRect(cell, toQColor(f.patternBackground));
            if (f.pattern >= 1)
                painter.fillRect(cell, cellBrush(f));
            const QString text = data.text(r, c);
            if (!text.isEmpty()) {
                double value = 0.0;
                const Qt::Alignment align =
                    (cellNumber(text, value) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
                painter.setPen(toQColor(f.textColour));
                painter.save();
                painter.setClipRect(cell);
                painter.drawText(textRect(cell), int(align) | Qt::TextSingleLine, text);
                painter.restore();
            }
            drawFrame(cell);
            x += w;
        }
    }
}

} // namespace

int printSheet(const SheetData& data, QPrinter& printer, const QFont& font)
{
    const SheetPrintSetup& setup = data.printSetup();
    // The dialog may have changed the paper; the margins and header distance stay the sheet's.
    const QPageLayout layout = printer.pageLayout();
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target = printer.outputFileName().isEmpty()
                                   ? QStringLiteral("the printer could not be started")
                                   : QStringLiteral("\"%1\" could not be written")
                                         .arg(QDir::toNativeSeparators(printer.outputFileName()));
        throw Error(Error::FileError, QStringLiteral("Cannot print the sheet: %1").arg(target));
    }
    painter.setFont(font);
    const double dpi = printer.resolution();
    const QFontMetricsF fm(font, &printer);
    Metrics m{};
    m.dpi = dpi;
    m.charWidth = fm.horizontalAdvance(QLatin1Char('0'));
    m.rowHeight = 12.75 / 72.0 * dpi; // a spreadsheet's row for a 10 pt font
    m.padding = 2.0 / 72.0 * dpi;
    m.rowHeadingWidth =
        std::max(fm.horizontalAdvance(QString::number(std::max(1, data.rowCount()))),
                 3 * m.charWidth) +
        2 * m.padding;

    const QRectF paper = layout.fullRectPoints();
    const double toDevice = dpi / 72.0;
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    const QRectF body(margins.left() * toDevice, margins.top() * toDevice,
                      (paper.width() - margins.left() - margins.right()) * toDevice,
                      (paper.height() - margins.top() - margins.bottom()) * toDevice);
    const double edge = m.inches(0.5);
    const double paperHeight = paper.height() * toDevice;

    const std::vector<PrintPage> pages = paginate(data, setup, m, body);
    const int count = int(pages.size());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            throw Error(
                Error::FileError,
                QStringLiteral("Cannot print the sheet: page %1 could not be started").arg(i + 1));
        }
        drawRuns(painter, expandPrintCodes(setup.header, data.sheetName(), i + 1, count), font,
                 body.center().x(), edge, false);
        drawRuns(painter, expandPrintCodes(setup.footer, data.sheetName(), i + 1, count), font,
                 body.center().x(), paperHeight - edge, true);
        drawPage(painter, data, setup, m, body, pages[std::size_t(i)], font);
    }
    if (!painter.end())
        throw Error(Error::FileError,
                    QStringLiteral("Cannot print the sheet: the printer did not accept the pages"));
    return count;
}

} // namespace kesto
