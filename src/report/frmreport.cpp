#include "report/frmreport.h"

#include "components/commandbar.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/columnratios.h"
#include "core/error.h"
#include "core/expression.h"
#include "core/reportrows.h"
#include "core/sheetdata.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>

namespace kesto {

namespace {

// Guarded so that a window disposed of at program end leaves no dangling pointer.
QPointer<frmReport> g_report;

} // namespace

frmReport::frmReport(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("No Title"));
    resize(StoredWidth, StoredHeight);

    tbrReport = new CommandBar(this, reportBarLayout());
    tbrReport->setObjectName(QStringLiteral("tbrReport"));
    // Normalize is offered only once the window was maximized through the bar.
    for (const int band : {int(ReportBandMain), int(ReportBandFile)})
        tool(band, QStringLiteral("mnuNormal")).setEnabled(false);

    f1Report = new Worksheet(this);
    f1Report->setObjectName(QStringLiteral("f1Report"));
    f1Report->setSheetName(QStringLiteral("Sheet1"));
    f1Report->setColumnCount(Columns);
    f1Report->setRowCount(StartRows);
    const QString headings[Columns] = {QStringLiteral("#"), QStringLiteral("Description"),
                                       QStringLiteral("Type"), QStringLiteral("Scan (rel.units)"),
                                       QStringLiteral("Expression (%)")};
    for (int c = 1; c <= Columns; ++c) {
        f1Report->setHeadingText(c, headings[c - 1]);
        f1Report->setColumnWidth(c, StartColumnWidths[c - 1]);
    }
    // Cells hold plain text and numbers in their shortest form (the general format); the
    // font, paper, orientation, scale and margins are the sheet's own defaults.
    f1Report->setPrintHeader(QStringLiteral("&A"));
    f1Report->setPrintFooter(QStringLiteral("Page &P"));

    connect(tbrReport, &CommandBar::toolClicked, this,
            [this](const QString& name) { dispatchReportTool(*this, name); });
    // The table grows as the main sheet does: the cell cursor on the last row adds one.
    connect(f1Report->view()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { keepSpareRow(current.row() + 1); });

    Form_Load();
}

frmReport::~frmReport() = default;

frmReport& frmReport::showReport()
{
    if (!g_report)
        g_report = new frmReport();
    frmReport& form = *g_report;
    // Back from the task bar in the state it had (normal or maximized).
    if (form.isMinimized())
        form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
    form.show();
    form.raise();
    form.activateWindow();
    return form;
}

frmReport* frmReport::existing()
{
    return g_report.data();
}

Tool& frmReport::tool(int band, const QString& name) const
{
    return tbrReport->band(band).tool(name);
}

void frmReport::Form_Load()
{
    const QRect screenArea = screen()->geometry();
    move(screenArea.x() + screenArea.width() - frameGeometry().width(), screenArea.y());

    tbrReport->setDisplayToolTips(true);
    tbrReport->setAutoSize(2);
    tbrReport->setClientAreaControl(f1Report);

    const int n = f1Report->columnCount();
    std::vector<int> widths;
    widths.reserve(std::size_t(n));
    for (int i = 1; i <= n; ++i)
        widths.push_back(f1Report->columnWidth(i));
    ColumnRatios = columnRatios(widths, width());
}

void frmReport::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmReport::Form_Resize()
{
    if (width() <= 0)
        return;
    // Columns added after load (by a wider paste) have no ratio and keep their width.
    const int n = qMin(f1Report->columnCount(), int(ColumnRatios.size()));
    for (int i = 1; i <= n; ++i)
        f1Report->setColumnWidth(i, scaledColumnWidth(width(), ColumnRatios[std::size_t(i - 1)]));
}

void frmReport::closeEvent(QCloseEvent* event)
{
    event->accept();
    // The title bar's close button hides the window as the Close command does, keeping its
    // data. A close from the program (at its end) disposes of the window showReport made;
    // a window owned by someone else is left to its owner.
    if (!event->spontaneous() && g_report == this) {
        g_report.clear();
        deleteLater();
    }
}

void frmReport::Calculate()
{
    calculateExpression(*f1Report);
}

void frmReport::tellUser(const QString& text)
{
    Prompts::current().message(this, text, appTitle(), MessageButtons::Ok, MessageIcon::Critical);
}

void frmReport::saveReport()
{
    QString path;
    SheetFileType fileType = SheetFileType::Excel;
    try {
        f1Report->saveDialog(QStringLiteral("Save Report"), path, fileType);
    } catch (const Error&) {
        return; // a dialog that failed saves nothing
    }
    if (path.isEmpty())
        return;
    try {
        f1Report->write(path, fileType);
    } catch (const Error& error) {
        tellUser(error.message());
    }
}

void frmReport::printReport()
{
    // The caption is the user's text: its ampersands must print as they stand, not as codes.
    QString caption = windowTitle();
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    f1Report->setPrintHeader(QStringLiteral("&B") + caption);
    f1Report->setPrintGridlines(true);
    try {
        f1Report->print(true);
    } catch (const Error& error) {
        // Cancelling the print dialog is the user's choice; a printer that fails is not.
        if (error.number() != Worksheet::PrintCancelled)
            tellUser(error.message());
    }
}

void frmReport::closeReport()
{
    hide();
}

void frmReport::minimizeReport()
{
    showMinimized();
}

void frmReport::maximizeReport()
{
    showMaximized();
    setWindowStateTools(true);
}

void frmReport::normalizeReport()
{
    showNormal();
    setWindowStateTools(false);
}

void frmReport::setWindowStateTools(bool maximized)
{
    for (const int band : {int(ReportBandFile), int(ReportBandMain)}) {
        tool(band, QStringLiteral("mnuNormal")).setEnabled(maximized);
        tool(band, QStringLiteral("mnuMaximize")).setEnabled(!maximized);
    }
}

void frmReport::copySelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(f1Report->selectionText());
}

void frmReport::pasteSelection()
{
    // Spreadsheet programs put a picture of the copied cells beside their text; the text
    // is what counts. A clipboard with a picture and no text is left alone.
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasText())
        return;
    f1Report->setSelectionText(mime->text());
}

void frmReport::deleteRow()
{
    int row = 0;
    int column = 0;
    f1Report->activeCell(row, column);
    const MessageAnswer answer = Prompts::current().message(
        this, QStringLiteral("Delete row #") + QString::number(row) + QLatin1Char('?'), appTitle(),
        MessageButtons::YesNo, MessageIcon::Question);
    if (answer != MessageAnswer::Yes)
        return;
    try {
        const int rows = f1Report->rowCount();
        f1Report->deleteRange(row, 1, row, f1Report->columnCount(), Worksheet::Shift::RowsUp);
        // The rows below moved up, leaving the last row empty: drop it, but never a row
        // that still holds data (a cursor past the last row deleted nothing).
        if (rows > 1 && row <= rows)
            f1Report->setRowCount(rows - 1);
    } catch (const Error& error) {
        tellUser(error.message());
    }
}

void frmReport::editTitle()
{
    const std::optional<QString> title = Prompts::current().inputText(
        this, QStringLiteral("Please enter a title of the series:"), appTitle(), windowTitle());
    setWindowTitle(title.value_or(QString()));
}

void frmReport::sortSelection()
{
    // Whole rows move, so a description never parts from its type and scan.
    const RowSort sort = reportRowSort(f1Report->data(), f1Report->data().selection());
    if (sort.range.rows() < 2)
        return;
    try {
        f1Report->sort(sort.range.firstRow, sort.range.firstColumn, sort.range.lastRow,
                       sort.range.lastColumn, true, sort.key);
    } catch (const Error& error) {
        tellUser(error.message());
    }
}

void frmReport::calculateReport()
{
    Calculate();
}

void frmReport::keepSpareRow(int row)
{
    if (row < f1Report->rowCount() || row >= SheetData::MaxRows)
        return;
    try {
        f1Report->setRowCount(row + 1);
    } catch (const Error& error) {
        tellUser(error.message());
    }
}

void frmReport::refreshBar()
{
    tbrReport->redraw();
}

void frmReport::showError(const Error& error)
{
    tellUser(error.message());
}

} // namespace kesto
