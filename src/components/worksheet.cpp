#include "components/worksheet.h"

#include "components/prompts.h"
#include "components/sheetmodel.h"
#include "components/sheetprint.h"
#include "core/error.h"
#include "core/sheetdata.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

// Paints the second colour of a hatched fill under the pattern the base class draws.
class SheetDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const QVariant under = index.data(SheetModel::PatternBackgroundRole);
        if (under.isValid())
            painter->fillRect(option.rect, under.value<QColor>());
        QStyledItemDelegate::paint(painter, option, index);
    }
};

} // namespace

struct Worksheet::Private
{
    SheetData data;
    std::unique_ptr<SheetModel> model; // after data: detaches from it first
    QTableView* view = nullptr;
    QFont font{QStringLiteral("Arial"), 10};
    double charWidth = 7.0;
    bool syncingSelection = false;
    bool applyingWidths = false;

    int pixels(int width) const { return int(std::lround(width * charWidth / 256.0)); }
    int units(int pixels) const
    {
        return std::clamp(int(std::lround(pixels * 256.0 / charWidth)), 0,
                          SheetData::MaxColumnWidth);
    }
};

Worksheet::Worksheet(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>())
{
    d->model = std::make_unique<SheetModel>(d->data);
    d->font.setStyleHint(QFont::SansSerif);
    const double zero = QFontMetricsF(d->font).horizontalAdvance(QLatin1Char('0'));
    if (zero > 0)
        d->charWidth = zero;

    d->view = new QTableView(this);
    d->view->setObjectName(QStringLiteral("sheetView"));
    d->view->setFont(d->font);
    d->view->setModel(d->model.get());
    d->view->setItemDelegate(new SheetDelegate(d->view));
    d->view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    d->view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    d->view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    d->view->horizontalHeader()->setHighlightSections(true);
    // Narrow columns keep their stored width instead of the style's minimum.
    d->view->horizontalHeader()->setMinimumSectionSize(0);
    d->view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    d->view->verticalHeader()->setDefaultSectionSize(QFontMetrics(d->font).height() + 6);
    d->view->setWordWrap(false);
    d->view->installEventFilter(this);
    d->view->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->view);
    setFocusProxy(d->view);

    connect(d->view, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        Q_EMIT cellClicked(index.row() + 1, index.column() + 1);
    });
    connect(d->model.get(), &SheetModel::widthChanged, this, [this](int column) {
        if (d->applyingWidths || !d->view || column > d->data.columnCount())
            return;
        d->applyingWidths = true;
        d->view->setColumnWidth(column - 1, d->pixels(d->data.columnWidth(column)));
        d->applyingWidths = false;
    });
    connect(d->model.get(), &SheetModel::columnsReshaped, this, [this] { applyAllWidths(); });
    connect(d->model.get(), &SheetModel::cellEdited, this,
            [this](int row, int column) { Q_EMIT cellsEdited(row, column, row, column, false); });
    connect(d->view->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int newSize) {
                // The user dragged a column edge: keep the new width in the sheet's unit.
                if (d->applyingWidths)
                    return;
                d->applyingWidths = true;
                d->data.setColumnWidth(logical + 1, d->units(newSize));
                d->applyingWidths = false;
            });
    connect(d->model.get(), &SheetModel::sheetSelectionChanged, this, [this] { showSelection(); });
    connect(d->view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { takeSelection(); });
    connect(d->view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { takeSelection(); });
}

Worksheet::~Worksheet()
{
    // The view goes before the model it shows, the model before the data it observes.
    // Its own teardown sends events and signals, which must no longer reach this sheet.
    QTableView* view = d->view;
    d->view = nullptr;
    view->viewport()->removeEventFilter(this);
    view->removeEventFilter(this);
    view->selectionModel()->disconnect(this);
    view->horizontalHeader()->disconnect(this);
    view->disconnect(this);
    delete view;
}

void Worksheet::applyAllWidths()
{
    if (!d->view)
        return;
    d->applyingWidths = true;
    for (int c = 1; c <= d->data.columnCount(); ++c)
        d->view->setColumnWidth(c - 1, d->pixels(d->data.columnWidth(c)));
    d->applyingWidths = false;
}

void Worksheet::showSelection()
{
    if (d->syncingSelection || !d->view)
        return;
    const SheetRange r = d->data.selection();
    const int lastRow = std::min(r.lastRow, d->data.rowCount());
    const int lastColumn = std::min(r.lastColumn, d->data.columnCount());
    d->syncingSelection = true;
    QItemSelectionModel* selection = d->view->selectionModel();
    const QModelIndex cursor = d->model->index(d->data.activeRow() - 1, d->data.activeColumn() - 1);
    if (r.firstRow <= lastRow && r.firstColumn <= lastColumn) {
        selection->select(QItemSelection(d->model->index(r.firstRow - 1, r.firstColumn - 1),
                                         d->model->index(lastRow - 1, lastColumn - 1)),
                          QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
    }
    if (cursor.isValid())
        selection->setCurrentIndex(cursor, QItemSelectionModel::NoUpdate);
    d->syncingSelection = false;
}

void Worksheet::takeSelection()
{
    if (d->syncingSelection || !d->view)
        return;
    const QItemSelectionModel* selection = d->view->selectionModel();
    const QModelIndex cursor = selection->currentIndex();
    if (!cursor.isValid())
        return;
    SheetRange r{cursor.row() + 1, cursor.column() + 1, cursor.row() + 1, cursor.column() + 1};
    const QItemSelection ranges = selection->selection();
    if (!ranges.isEmpty()) {
        r = {ranges.first().top() + 1, ranges.first().left() + 1, ranges.first().bottom() + 1,
             ranges.first().right() + 1};
        for (const QItemSelectionRange& range : ranges) {
            r.firstRow = std::min(r.firstRow, range.top() + 1);
            r.firstColumn = std::min(r.firstColumn, range.left() + 1);
            r.lastRow = std::max(r.lastRow, range.bottom() + 1);
            r.lastColumn = std::max(r.lastColumn, range.right() + 1);
        }
    }
    d->syncingSelection = true;
    d->data.setSelection(r, cursor.row() + 1, cursor.column() + 1);
    d->syncingSelection = false;
}

bool Worksheet::eventFilter(QObject* watched, QEvent* event)
{
    if (!d->view)
        return QWidget::eventFilter(watched, event);
    if (watched == d->view->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        Q_EMIT sheetMouseDown(int(mouse->button()), int(mouse->modifiers().toInt()), at.x(),
                              at.y());
    }
    // While a cell is being edited its editor has the keys; these reach the grid itself.
    if (watched == d->view && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(d->data.selectionText());
            return true;
        }
        if (key->matches(QKeySequence::Paste)) {
            try {
                d->data.setSelectionText(QGuiApplication::clipboard()->text());
                const SheetRange pasted = d->data.selection();
                Q_EMIT cellsEdited(pasted.firstRow, pasted.firstColumn, pasted.lastRow,
                                   pasted.lastColumn, true);
            } catch (const Error& e) {
                Prompts::current().message(this, e.message(), appTitle(), MessageButtons::Ok,
                                           MessageIcon::Warning);
            }
            return true;
        }
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            const SheetRange cleared = d->data.selection();
            d->data.clearRange(cleared);
            Q_EMIT cellsEdited(cleared.firstRow, cleared.firstColumn, cleared.lastRow,
                               cleared.lastColumn, false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Worksheet::setCellTipSource(std::function<QString(int, int)> source)
{
    d->model->setTipSource(std::move(source));
}

SheetData& Worksheet::data()
{
    return d->data;
}
const SheetData& Worksheet::data() const
{
    return d->data;
}

int Worksheet::rowCount() const
{
    return d->data.rowCount();
}
void Worksheet::setRowCount(int rows)
{
    d->data.setRowCount(rows);
}
int Worksheet::columnCount() const
{
    return d->data.columnCount();
}
void Worksheet::setColumnCount(int columns)
{
    d->data.setColumnCount(columns);
}

QString Worksheet::text(int row, int column) const
{
    return d->data.text(row, column);
}
void Worksheet::setText(int row, int column, const QString& text)
{
    d->data.setText(row, column, text);
}
double Worksheet::number(int row, int column) const
{
    return d->data.number(row, column);
}
void Worksheet::setNumber(int row, int column, double value)
{
    d->data.setNumber(row, column, value);
}
QString Worksheet::note(int row, int column) const
{
    return d->data.note(row, column);
}
void Worksheet::setNote(int row, int column, const QString& note)
{
    d->data.setNote(row, column, note);
}

int Worksheet::columnWidth(int column) const
{
    return d->data.columnWidth(column);
}
void Worksheet::setColumnWidth(int column, int width)
{
    d->data.setColumnWidth(column, width);
}

QString Worksheet::headingText(int index) const
{
    return d->data.headingText(index);
}
void Worksheet::setHeadingText(int column, const QString& text)
{
    d->data.setHeadingText(column, text);
}

QString Worksheet::sheetName() const
{
    return d->data.sheetName();
}
void Worksheet::setSheetName(const QString& name)
{
    d->data.setSheetName(name);
}

void Worksheet::activeCell(int& row, int& column) const
{
    row = d->data.activeRow();
    column = d->data.activeColumn();
}

void Worksheet::setActiveCell(int row, int column)
{
    d->data.setActiveCell(row, column);
}

void Worksheet::selectRange(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    d->data.selectRange(firstRow, firstColumn, lastRow, lastColumn);
}

void Worksheet::setSelectionPattern(int pattern, ColorValue foreground, ColorValue background)
{
    d->data.setSelectionPattern(pattern, foreground, background);
}

void Worksheet::setSelectionTextColor(ColorValue colour)
{
    d->data.setSelectionTextColour(colour);
}

void Worksheet::redraw()
{
    d->view->viewport()->update();
}

void Worksheet::updateSheet()
{
    // Cells already notify the view as they are written; this only flushes the paint.
    d->view->viewport()->update();
}

void Worksheet::deleteRange(int firstRow, int firstColumn, int lastRow, int lastColumn, Shift shift)
{
    if (shift != Shift::RowsUp)
        throw Error(
            Error::InvalidValue,
            QStringLiteral("Invalid value: delete shift mode %1 is not supported (3 moves rows up)")
                .arg(int(shift)));
    d->data.deleteRange({firstRow, firstColumn, lastRow, lastColumn});
}

void Worksheet::sort(int firstRow, int firstColumn, int lastRow, int lastColumn, bool byRows,
                     int key)
{
    SheetRange range{firstRow, firstColumn, lastRow, lastColumn};
    if (firstRow == -1 && firstColumn == -1 && lastRow == -1 && lastColumn == -1)
        range = d->data.selection();
    d->data.sortRange(range, byRows, key);
}

QString Worksheet::selectionText() const
{
    return d->data.selectionText();
}
void Worksheet::setSelectionText(const QString& text)
{
    d->data.setSelectionText(text);
}

void Worksheet::saveDialog(const QString& title, QString& path, SheetFileType& fileType)
{
    const QStringList filters = sheetFileFilters();
    int selected = int(fileType);
    if (selected < 0 || selected >= filters.size())
        selected = 0;
    const int offered = selected;
    const QString chosen = Prompts::current().saveFileName(this, title, path, filters, selected);
    if (chosen.isEmpty()) {
        path.clear();
        return;
    }
    auto type = SheetFileType(selected >= 0 && selected < filters.size() ? selected : offered);
    // A name that says its own type wins over the filter left selected in the dialog.
    if (const auto named = sheetFileTypeOf(chosen))
        type = *named;
    path = withSheetFileSuffix(chosen, type);
    fileType = type;
    // The dialog asked about the name as typed; a name that gained its extension here may
    // name another file that exists, and that one is not replaced without asking either.
    if (path != chosen && QFileInfo::exists(path)) {
        const MessageAnswer answer = Prompts::current().message(
            this,
            QStringLiteral("%1 already exists.\r\nDo you want to replace it?")
                .arg(QFileInfo(path).fileName()),
            title, MessageButtons::YesNo, MessageIcon::Warning);
        if (answer != MessageAnswer::Yes)
            path.clear();
    }
}

void Worksheet::write(const QString& path, SheetFileType fileType) const
{
    writeSheetFile(d->data, path, fileType);
}

void Worksheet::setPrintHeader(const QString& text)
{
    d->data.printSetup().header = text;
}
QString Worksheet::printHeader() const
{
    return d->data.printSetup().header;
}
void Worksheet::setPrintFooter(const QString& text)
{
    d->data.printSetup().footer = text;
}
QString Worksheet::printFooter() const
{
    return d->data.printSetup().footer;
}
void Worksheet::setPrintGridlines(bool on)
{
    d->data.printSetup().gridlines = on;
}
void Worksheet::setPrintRowHeadings(bool on)
{
    d->data.printSetup().rowHeadings = on;
}
void Worksheet::setPrintColumnHeadings(bool on)
{
    d->data.printSetup().columnHeadings = on;
}
bool Worksheet::printGridlines() const
{
    return d->data.printSetup().gridlines;
}
bool Worksheet::printRowHeadings() const
{
    return d->data.printSetup().rowHeadings;
}
bool Worksheet::printColumnHeadings() const
{
    return d->data.printSetup().columnHeadings;
}

void Worksheet::print(bool showDialog)
{
    QPrinter printer(QPrinter::HighResolution);
    applySheetPageLayout(printer);
    if (showDialog && !Prompts::current().printDialog(this, printer))
        throw Error(PrintCancelled, QStringLiteral("Printing was cancelled"));
    printSheet(d->data, printer, d->font);
}

void Worksheet::printToPdf(const QString& path)
{
    if (path.isEmpty())
        throw Error(Error::FileError,
                    QStringLiteral("Cannot print to PDF: no file name was given"));
    QPrinter printer(QPrinter::HighResolution);
    applySheetPageLayout(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printSheet(d->data, printer, d->font);
}

QTableView* Worksheet::view() const
{
    return d->view;
}
SheetModel* Worksheet::model() const
{
    return d->model.get();
}
QFont Worksheet::defaultFont() const
{
    return d->font;
}
double Worksheet::characterWidth() const
{
    return d->charWidth;
}

} // namespace kesto
