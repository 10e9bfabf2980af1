#include "core/sheetfiles.h"

#include "core/error.h"
#include "core/expression.h"
#include "core/numbers.h"
#include "core/sheetdata.h"
#include "core/workbooknumbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <map>

namespace kesto {

QStringList sheetFileFilters()
{
    return {QStringLiteral("Excel workbook (*.xlsx)"), QStringLiteral("CSV (*.csv)"),
            QStringLiteral("Tab-separated text (*.txt *.tsv)")};
}

QString sheetFileSuffix(SheetFileType type)
{
    switch (type) {
    case SheetFileType::Excel:
        return QStringLiteral("xlsx");
    case SheetFileType::Csv:
        return QStringLiteral("csv");
    case SheetFileType::TabText:
        return QStringLiteral("txt");
    }
    return QString();
}

std::optional<SheetFileType> sheetFileTypeOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return SheetFileType::Excel;
    if (suffix == QLatin1String("csv"))
        return SheetFileType::Csv;
    if (suffix == QLatin1String("txt") || suffix == QLatin1String("tsv"))
        return SheetFileType::TabText;
    return std::nullopt;
}

QString withSheetFileSuffix(const QString& path, SheetFileType type)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    const QString suffix = sheetFileSuffix(type);
    return path.endsWith(QLatin1Char('.')) ? path + suffix : path + QLatin1Char('.') + suffix;
}

namespace {

Error saveError(const QString& path, const QString& reason)
{
    return Error(Error::FileError, QStringLiteral("Cannot save the sheet to \"%1\": %2")
                                       .arg(QDir::toNativeSeparators(path), reason));
}

using FieldFn = QString (*)(const QString&);

// A workbook cell holds a number only when the text is that number as the sheets write
// it: its shortest plain form, or one decimal ("% to Ctrl"). Labels such as "007", "1e3"
// or "12.50" stay as typed.
bool storesAsNumber(const QString& text, double& value)
{
    return cellNumber(text, value) && (text == doubleText(value) || text == fixedText(value, 1));
}

QByteArray sheetText(const SheetData& data, QLatin1Char separator, FieldFn field)
{
    QString out;
    auto line = [&](auto cellText) {
        for (int c = 1; c <= data.columnCount(); ++c) {
            if (c > 1)
                out += separator;
            out += field(cellText(c));
        }
        out += QLatin1String("\r\n");
    };
    if (data.hasHeadings())
        line([&](int c) { return data.headingText(c); });
    // Up to the last row that holds anything: the sheet's spare rows are no data.
    const int rows = usedRowCount(data);
    for (int r = 1; r <= rows; ++r)
        line([&](int c) { return data.text(r, c); });
    return out.toUtf8();
}

// Replaces the target in one step: QSaveFile writes beside it and renames on commit, so a
// failure at any point leaves the old file untouched.
void saveAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw saveError(path, file.errorString());
    // Flushed before commit: a buffered write that the disk refuses fails only at the flush,
    // and commit() does not look at that failure, so it would replace the old file with a
    // truncated one and report success.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw saveError(path, reason);
    }
    if (!file.commit())
        throw saveError(path, file.errorString());
}

// Excel refuses sheet names over 31 characters, with []:*?/\ or with quotes at the ends.
QByteArray workbookSheetName(const QString& name)
{
    QString safe = name;
    for (QChar& ch : safe) {
        if (QStringLiteral("[]:*?/\\").contains(ch))
            ch = QLatin1Char('_');
    }
    while (safe.startsWith(QLatin1Char('\'')))
        safe.remove(0, 1);
    safe.truncate(31);
    while (safe.endsWith(QLatin1Char('\'')))
        safe.chop(1);
    if (safe.trimmed().isEmpty())
        safe = QStringLiteral("Sheet1");
    return safe.toUtf8();
}

QString cellName(int row, int column)
{
    return QStringLiteral("R%1C%2").arg(row).arg(column);
}

// Decimals a plain number text shows ("50.0" shows one), so the workbook displays the
// number as the sheet did; 0 for whole numbers and exponent forms.
int shownDecimals(const QString& text)
{
    const QString t = text.trimmed();
    if (t.contains(QLatin1Char('e'), Qt::CaseInsensitive))
        return 0;
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(t.size() - point - 1);
}

// Frees the workbook on every way out; closing is what writes the file.
struct WorkbookCloser
{
    lxw_workbook* book;
    ~WorkbookCloser()
    {
        if (book)
            workbook_close(book);
    }
};

QByteArray workbookBytes(const SheetData& data, const QString& path,
                         const SheetData* second = nullptr)
{
    // libxlsxwriter writes a real file; it is made in the temporary folder and then moved
    // into place with the same atomic replace as the text formats.
    QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/kesto-sheet-XXXXXX.xlsx"));
    if (!temp.open())
        throw saveError(
            path, QStringLiteral("no temporary file could be made (%1)").arg(temp.errorString()));
    const QByteArray tempName = QFile::encodeName(temp.fileName());
    temp.close();

    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = nullptr;
    options.use_zip64 = LXW_FALSE;
    WorkbookCloser closer{workbook_new_opt(tempName.constData(), &options)};
    if (!closer.book)
        throw saveError(path, QStringLiteral("the workbook could not be started"));
    lxw_format* bold = workbook_add_format(closer.book);
    format_set_bold(bold);
    std::map<int, lxw_format*> decimalFormats;
    auto numberFormat = [&](int decimals) -> lxw_format* {
        if (decimals <= 0)
            return nullptr;
        decimals = std::min(decimals, 30);
        lxw_format*& format = decimalFormats[decimals];
        if (!format) {
            format = workbook_add_format(closer.book);
            const QByteArray code = "0." + QByteArray(decimals, '0');
            format_set_num_format(format, code.constData());
        }
        return format;
    };

    lxw_worksheet* sheet = nullptr;
    // Each number cell's text, stored in place of libxlsxwriter's 16 digits afterwards.
    ShownNumbers shown;
    auto check = [&](lxw_error result, int row, int column) {
        if (result == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
            throw saveError(
                path,
                QStringLiteral(
                    "cell %1 holds more than 32767 characters, the most a workbook cell can hold")
                    .arg(cellName(row, column)));
        if (result != LXW_NO_ERROR)
            throw saveError(
                path, QStringLiteral("cell %1 could not be written (%2)")
                          .arg(cellName(row, column), QString::fromUtf8(lxw_strerror(result))));
    };

    // Each sheet of the workbook: its name, widths, headings, cells and notes.
    auto addSheet = [&](const SheetData& part) {
        QHash<QString, QString>& shownHere = shown.emplace_back();
        const QByteArray sheetName = workbookSheetName(part.sheetName());
        sheet = workbook_add_worksheet(closer.book, sheetName.constData());
        if (!sheet)
            throw saveError(path, QStringLiteral("the worksheet could not be added"));
        for (int c = 1; c <= part.columnCount(); ++c) {
            const lxw_error result = worksheet_set_column(sheet, lxw_col_t(c - 1), lxw_col_t(c - 1),
                                                          part.columnWidth(c) / 256.0, nullptr);
            if (result != LXW_NO_ERROR)
                throw saveError(path, QStringLiteral("the width of column %1 could not be set (%2)")
                                          .arg(c)
                                          .arg(QString::fromUtf8(lxw_strerror(result))));
        }
        const int offset = part.hasHeadings() ? 1 : 0;
        if (part.rowCount() + offset > 1048576)
            throw saveError(path, QStringLiteral("a workbook holds at most 1048576 rows"));
        if (offset) {
            for (int c = 1; c <= part.columnCount(); ++c) {
                const QString heading = part.headingText(c);
                if (!heading.isEmpty())
                    check(worksheet_write_string(sheet, 0, lxw_col_t(c - 1),
                                                 heading.toUtf8().constData(), bold),
                          0, c);
            }
        }
        const int rows = usedRowCount(part);
        for (int r = 1; r <= rows; ++r) {
            const auto row = lxw_row_t(r - 1 + offset);
            for (int c = 1; c <= part.columnCount(); ++c) {
                const QString text = part.text(r, c);
                if (text.isEmpty())
                    continue;
                double value = 0.0;
                if (storesAsNumber(text, value)) {
                    check(worksheet_write_number(sheet, row, lxw_col_t(c - 1), value,
                                                 numberFormat(shownDecimals(text))),
                          r, c);
                    char reference[LXW_MAX_CELL_NAME_LENGTH];
                    lxw_rowcol_to_cell(reference, row, lxw_col_t(c - 1));
                    shownHere.insert(QString::fromLatin1(reference), text);
                } else
                    check(worksheet_write_string(sheet, row, lxw_col_t(c - 1),
                                                 text.toUtf8().constData(), nullptr),
                          r, c);
                const QString note = part.note(r, c);
                if (!note.isEmpty())
                    check(worksheet_write_comment(sheet, row, lxw_col_t(c - 1),
                                                  note.toUtf8().constData()),
                          r, c);
            }
        }
    };
    addSheet(data);
    if (second)
        addSheet(*second);
    lxw_workbook* book = closer.book;
    closer.book = nullptr;
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR)
        throw saveError(path, QStringLiteral("the workbook could not be written (%1)")
                                  .arg(QString::fromUtf8(lxw_strerror(closed))));

    QTemporaryFile exact(QDir::tempPath() + QStringLiteral("/kesto-sheet-XXXXXX.xlsx"));
    if (!exact.open())
        throw saveError(
            path, QStringLiteral("no temporary file could be made (%1)").arg(exact.errorString()));
    exact.close();
    try {
        copyWithShownNumbers(temp.fileName(), exact.fileName(), shown);
    } catch (const Error& error) {
        throw saveError(path, error.message());
    }
    QFile written(exact.fileName());
    if (!written.open(QIODevice::ReadOnly))
        throw saveError(path, QStringLiteral("the finished workbook could not be read back (%1)")
                                  .arg(written.errorString()));
    return written.readAll();
}

} // namespace

QByteArray sheetCsv(const SheetData& data)
{
    return sheetText(data, QLatin1Char(','), &csvField);
}

QByteArray sheetTabText(const SheetData& data)
{
    return sheetText(data, QLatin1Char('\t'), &tabField);
}

void writeSheetFile(const SheetData& data, const QString& path, SheetFileType type)
{
    writeSheetFile(data, nullptr, path, type);
}

void writeSheetFile(const SheetData& data, const SheetData* second, const QString& path,
                    SheetFileType type)
{
    if (path.isEmpty())
        throw Error(Error::FileError,
                    QStringLiteral("Cannot save the sheet: no file name was given"));
    if (QFileInfo(path).isDir())
        throw saveError(path, QStringLiteral("it is a folder"));
    switch (type) {
    case SheetFileType::Excel:
        saveAtomically(path, workbookBytes(data, path, second));
        return;
    case SheetFileType::Csv:
        saveAtomically(path, sheetCsv(data));
        return;
    case SheetFileType::TabText:
        saveAtomically(path, sheetTabText(data));
        return;
    }
    throw Error(Error::InvalidValue,
                QStringLiteral(
                    "Invalid value: file type %1 is not one of 0 (workbook), 1 (CSV) and 2 (text)")
                    .arg(int(type)));
}

} // namespace kesto
