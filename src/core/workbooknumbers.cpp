#include "core/workbooknumbers.h"

#include "core/error.h"

#include <QFile>
#include <QRegularExpression>

#include <unzip.h>
#include <zip.h>

#include <memory>

namespace kesto {

namespace {

Error workbookError(const QString& reason)
{
    return Error(Error::FileError,
                 QStringLiteral("the workbook could not be finished: %1").arg(reason));
}

struct UnzipCloser
{
    void operator()(void* file) const { unzClose(file); }
};

struct ZipCloser
{
    void operator()(void* file) const { zipClose(file, nullptr); }
};

} // namespace

QByteArray withShownNumbers(const QByteArray& sheetXml, const QHash<QString, QString>& shown)
{
    if (shown.isEmpty())
        return sheetXml;
    // A number cell as libxlsxwriter writes it: no type attribute, one value.
    static const QRegularExpression cell(
        QStringLiteral("<c r=\"([A-Z]+[0-9]+)\"((?: s=\"[0-9]+\")?)><v>([^<]*)</v>"));
    const QString xml = QString::fromUtf8(sheetXml);
    QString out;
    out.reserve(xml.size());
    qsizetype done = 0;
    auto matches = cell.globalMatch(xml);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const auto found = shown.constFind(match.captured(1));
        if (found == shown.constEnd())
            continue;
        out += QStringView(xml).mid(done, match.capturedStart(3) - done);
        out += found.value();
        done = match.capturedEnd(3);
    }
    out += QStringView(xml).mid(done);
    return out.toUtf8();
}

void copyWithShownNumbers(const QString& from, const QString& to, const ShownNumbers& shown)
{
    const std::unique_ptr<void, UnzipCloser> in(unzOpen64(QFile::encodeName(from).constData()));
    if (!in)
        throw workbookError(QStringLiteral("it could not be read back"));
    std::unique_ptr<void, ZipCloser> out(
        zipOpen64(QFile::encodeName(to).constData(), APPEND_STATUS_CREATE));
    if (!out)
        throw workbookError(QStringLiteral("its copy could not be made"));
    static const QRegularExpression sheetName(
        QStringLiteral("^xl/worksheets/sheet([0-9]+)\\.xml$"));

    int status = unzGoToFirstFile(in.get());
    for (; status == UNZ_OK; status = unzGoToNextFile(in.get())) {
        unz_file_info64 info{};
        char name[512];
        if (unzGetCurrentFileInfo64(in.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile(in.get()) != UNZ_OK)
            throw workbookError(QStringLiteral("a part could not be read back"));
        QByteArray bytes(qsizetype(info.uncompressed_size), Qt::Uninitialized);
        const int read = bytes.isEmpty()
                             ? 0
                             : unzReadCurrentFile(in.get(), bytes.data(), unsigned(bytes.size()));
        if (unzCloseCurrentFile(in.get()) != UNZ_OK || read != bytes.size())
            throw workbookError(
                QStringLiteral("part %1 could not be read back").arg(QString::fromUtf8(name)));

        const QRegularExpressionMatch sheet = sheetName.match(QString::fromUtf8(name));
        if (sheet.hasMatch()) {
            const std::size_t index = sheet.captured(1).toULongLong() - 1;
            if (index < shown.size())
                bytes = withShownNumbers(bytes, shown[index]);
        }

        zip_fileinfo zipInfo{};
        zipInfo.dosDate = info.dosDate;
        zipInfo.internal_fa = info.internal_fa;
        zipInfo.external_fa = info.external_fa;
        if (zipOpenNewFileInZip64(out.get(), name, &zipInfo, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) != ZIP_OK ||
            (!bytes.isEmpty() &&
             zipWriteInFileInZip(out.get(), bytes.constData(), unsigned(bytes.size())) != ZIP_OK) ||
            zipCloseFileInZip(out.get()) != ZIP_OK)
            throw workbookError(
                QStringLiteral("part %1 could not be written").arg(QString::fromUtf8(name)));
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        throw workbookError(QStringLiteral("its parts could not be listed"));
    // Closing writes the list of parts: a failure there leaves no workbook.
    if (zipClose(out.release(), nullptr) != ZIP_OK)
        throw workbookError(QStringLiteral("its copy could not be closed"));
}

} // namespace kesto
