#include "core/gelimage.h"

#include "core/deeppicture.h"
#include "core/tiffpicture.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageLogContext>
#include <QtGlobal>

#include <atomic>
#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace kesto {

namespace {

constexpr std::int64_t MiB = 1024 * 1024;

// Qt may decode into up to 64 bits per pixel (16 bits per channel) before we convert, so
// its limit admits that decode of the largest working picture; our own size check keeps
// the working picture itself within MaxPictureMiB.
constexpr int ReaderLimitMiB = 2 * MaxPictureMiB;

// Qt's JPEG handler decodes a file cut short "successfully", greying the missing rows,
// and only logs libjpeg's warning. While a JPEG is read, this handler notes that warning
// (and keeps it out of the log, since the refusal reports it); everything else goes on to
// the handler that was installed before.
class JpegWarningCapture
{
public:
    JpegWarningCapture()
    {
        s_seen.store(false);
        s_previous = qInstallMessageHandler(&JpegWarningCapture::handle);
    }
    ~JpegWarningCapture() { qInstallMessageHandler(s_previous); }
    JpegWarningCapture(const JpegWarningCapture&) = delete;
    JpegWarningCapture& operator=(const JpegWarningCapture&) = delete;

    bool dataEndedEarly() const { return s_seen.load(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtWarningMsg && context.category &&
            std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0 &&
            message.contains(QLatin1String("premature end"), Qt::CaseInsensitive)) {
            s_seen.store(true);
            return;
        }
        if (s_previous)
            s_previous(type, context, message);
    }

    static inline std::atomic<bool> s_seen{false};
    static inline QtMessageHandler s_previous = nullptr;
};

std::uint32_t readLE32(const QByteArray& bytes, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t readLE16(const QByteArray& bytes, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return std::uint16_t(p[0] | p[1] << 8);
}

// A complete JPEG ends with the EOI marker FF D9. It cannot occur inside entropy-coded
// data (an FF there is followed by 00 or a restart marker), so a file cut in its scan data
// has none in its tail. The tail is searched rather than the last two bytes because some
// cameras append a trailer after EOI.
bool jpegHasEndMarker(QFile& file)
{
    constexpr qint64 TailBytes = 1024 * 1024;
    const qint64 start = qMax<qint64>(0, file.size() - TailBytes);
    if (!file.seek(start))
        return false;
    const QByteArray tail = file.read(TailBytes);
    return tail.contains(QByteArrayLiteral("\xFF\xD9"));
}

// Qt's BMP reader fills the rows missing from a truncated file instead of failing. For
// uncompressed bitmaps the header tells exactly how many bytes the pixel rows take; for
// run-length encoded ones only the file size in the header can be checked.
bool bmpComplete(QFile& file)
{
    const QByteArray header = file.read(54);
    if (header.size() < 26 || !header.startsWith("BM"))
        return true; // not ours to judge; Qt's reader decides
    const std::uint32_t declaredSize = readLE32(header, 2);
    const std::uint32_t dataOffset = readLE32(header, 10);
    const std::uint32_t infoSize = readLE32(header, 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = 0;
    if (infoSize == 12) {
        width = readLE16(header, 18);
        height = readLE16(header, 20);
        bitCount = readLE16(header, 24);
    } else if (header.size() >= 34) {
        width = std::int32_t(readLE32(header, 18));
        height = std::int32_t(readLE32(header, 22));
        bitCount = readLE16(header, 28);
        compression = readLE32(header, 30);
    } else {
        return false;
    }
    const std::int64_t fileSize = file.size();
    constexpr std::uint32_t Rgb = 0, BitFields = 3, AlphaBitFields = 6;
    if (compression == Rgb || compression == BitFields || compression == AlphaBitFields) {
        if (width <= 0 || bitCount == 0)
            return true;
        const std::int64_t rowBytes = (width * bitCount + 31) / 32 * 4;
        const std::int64_t rows = height < 0 ? -height : height;
        const std::int64_t available = fileSize - std::int64_t(dataOffset);
        if (available < 0 || rows == 0)
            return available >= 0;
        // Divided rather than multiplied: a damaged header's row size times its row count
        // can overflow 64 bits.
        return rowBytes <= available / rows;
    }
    return declaredSize == 0 || fileSize >= std::int64_t(declaredSize);
}

GelImageLoad refused(const QString& reason)
{
    return GelImageLoad{QImage(), reason};
}

QString sizeLimitReason(const QSize& size)
{
    return QStringLiteral("The picture is %1 x %2 pixels, more than this program can hold "
                          "(at most %3 MiB, for example 16384 x 16384 pixels).")
        .arg(size.width())
        .arg(size.height())
        .arg(MaxPictureMiB);
}

// Composites a picture with alpha over white, in place where Qt allows it.
QImage compositeOverWhite(QImage image)
{
    image.convertTo(QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            if (a == 255)
                continue;
            const int white = 255 * (255 - a);
            line[x] = qRgb((qRed(p) * a + white + 127) / 255, (qGreen(p) * a + white + 127) / 255,
                           (qBlue(p) * a + white + 127) / 255);
        }
    }
    // Every pixel is opaque now, so the bytes already are the RGB32 picture.
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

// An 8-bit gray picture as the working picture, each value in red, green and blue as
// Qt's conversion gives it, into a picture of our own making (see newPicture).
QImage workingFromGray(const QImage& gray)
{
    QImage working = newPicture(gray.width(), gray.height(), QImage::Format_RGB32);
    if (working.isNull())
        return working;
    const int width = gray.width();
    for (int y = 0; y < gray.height(); ++y) {
        const std::uint8_t* from = gray.constScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(working.scanLine(y));
        for (int x = 0; x < width; ++x)
            to[x] = 0xFF000000u | 0x010101u * from[x];
    }
    return working;
}

QImage workingImageFrom(QImage image)
{
    if (image.isNull() || image.format() == QImage::Format_RGB32)
        return image;
    if (image.format() == QImage::Format_Grayscale8)
        return workingFromGray(image);
    if (image.hasAlphaChannel())
        return compositeOverWhite(std::move(image));
    image.convertTo(QImage::Format_RGB32);
    return image;
}

GelImageLoad loadPicture(const QString& path, int page, bool keepGray);

} // namespace

void applyPictureAllocationLimit()
{
    QImageReader::setAllocationLimit(ReaderLimitMiB);
    keepWorkingMemoryForReuse();
}

void keepWorkingMemoryForReuse()
{
#ifdef __GLIBC__
    static const bool kept = [] {
        mallopt(M_MMAP_THRESHOLD, int(4 * MiB));
        mallopt(M_TRIM_THRESHOLD, int(64 * MiB));
        return true;
    }();
    Q_UNUSED(kept);
#endif
}

QImage newPicture(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only the whole large pages inside the buffer can be advised; the advice is a hint,
    // so a system without large pages simply ignores it.
    constexpr std::uintptr_t LargePage = 2 * MiB;
    if (!image.isNull() && image.sizeInBytes() >= qsizetype(8 * MiB)) {
        const auto start = reinterpret_cast<std::uintptr_t>(image.bits());
        const std::uintptr_t end = start + std::uintptr_t(image.sizeInBytes());
        const std::uintptr_t first = (start + LargePage - 1) & ~(LargePage - 1);
        const std::uintptr_t last = end & ~(LargePage - 1);
        if (first < last)
            madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    return image;
}

bool pictureSizeAllowed(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    // Compared per axis first so that the product cannot overflow.
    const std::int64_t limitPixels = std::int64_t(MaxPictureMiB) * MiB / 4;
    return width <= limitPixels && height <= limitPixels && width * height <= limitPixels;
}

QImage toWorkingImage(const QImage& image)
{
    return workingImageFrom(image);
}

GelImageLoad loadGelImage(const QString& path)
{
    return loadGelImage(path, 0);
}

GelImageLoad loadGelImage(const QString& path, int page)
{
    return loadPicture(path, page, false);
}

GelImageLoad loadMeasurementPicture(const QString& path, int page)
{
    return loadPicture(path, page, true);
}

namespace {

GelImageLoad loadPicture(const QString& path, int page, bool keepGray)
{
    applyPictureAllocationLimit();
    if (path.isEmpty())
        return refused(QStringLiteral("No file name was given."));
    const QFileInfo info(path);
    if (!info.exists())
        return refused(QStringLiteral("The file does not exist."));
    if (info.isDir())
        return refused(QStringLiteral("This is a folder, not a picture file."));
    if (!info.isFile())
        return refused(QStringLiteral("This is not a regular file."));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("The file cannot be read: %1.").arg(file.errorString()));
    if (file.size() == 0)
        return refused(QStringLiteral("The file is empty."));

    if (page < 0)
        return refused(QStringLiteral("There is no page %1: pages count from 1.").arg(page));
    if (looksLikeTiff(file.peek(4))) {
        TiffRead tiff = readTiffPicture(file, page, keepGray);
        if (tiff.handled) {
            if (!tiff.image.isNull())
                return GelImageLoad{std::move(tiff.image), QString(), tiff.lossy, tiff.pageCount};
            return refused(tiff.reason);
        }
        // A kind of TIFF Qt's reader reads (palette, bilevel, YCbCr, CMYK, with alpha).
        if (!file.seek(0))
            return refused(QStringLiteral("The file cannot be read: %1.").arg(file.errorString()));
    }

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return refused(QStringLiteral("The file is not a picture in a format this program reads."));
    // Counted only when a page is asked for: some handlers read the whole file to count.
    const int pageCount = page > 0 ? qMax(1, reader.imageCount()) : 1;
    if (page > pageCount)
        return refused(pageCount == 1
                           ? QStringLiteral("The file has one page; there is no page %1.").arg(page)
                           : QStringLiteral("The file has %1 pages; there is no page %2.")
                                 .arg(pageCount)
                                 .arg(page));
    if (page > 1 && !reader.jumpToImage(page - 1))
        return refused(QStringLiteral("Page %1 of the file cannot be read.").arg(page));

    const QSize declared = reader.size();
    if (declared.isValid() && !pictureSizeAllowed(declared.width(), declared.height()))
        return refused(sizeLimitReason(declared));

    // The checks read through their own handle so the reader's position stays its own.
    const bool isJpeg = format == "jpeg" || format == "jpg";
    if (isJpeg || format == "bmp") {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            return refused(QStringLiteral("The file cannot be read: %1.").arg(probe.errorString()));
        if (isJpeg && !jpegHasEndMarker(probe))
            return refused(QStringLiteral("The JPEG file is incomplete: it has no end marker."));
        if (format == "bmp" && !bmpComplete(probe))
            return refused(
                QStringLiteral("The bitmap file is incomplete: its pixel data ends early."));
    }

    // Read into a picture of our own making when the header says what the reader will give:
    // Qt's reader fills a picture of the same size and format instead of making one.
    QImage image;
    const QImage::Format declaredFormat = reader.imageFormat();
    if (declared.isValid() && declaredFormat != QImage::Format_Invalid)
        image = newPicture(declared.width(), declared.height(), declaredFormat);
    bool endedEarly = false;
    {
        const JpegWarningCapture capture;
        if (!reader.read(&image))
            image = QImage();
        endedEarly = capture.dataEndedEarly();
    }
    if (image.isNull())
        return refused(QStringLiteral("The picture data cannot be read (%1); the file may be "
                                      "damaged or incomplete.")
                           .arg(reader.errorString()));
    if (isJpeg && endedEarly)
        return refused(QStringLiteral("The JPEG file is incomplete: its picture data ends early."));
    if (!pictureSizeAllowed(image.width(), image.height()))
        return refused(sizeLimitReason(image.size()));

    if (isFloatFormat(image.format()))
        return refused(QStringLiteral("The picture has floating-point channels; this program "
                                      "measures pictures of 8 or 16 bits per channel."));

    // 8-bit gray stays gray when asked for, else it becomes the working picture as before.
    QImage working = keepGray || isDeepFormat(image.format()) ? toMeasurementImage(std::move(image))
                                                              : toWorkingImage(image);
    image = QImage();
    if (working.isNull())
        return refused(QStringLiteral("There is not enough memory for this picture."));
    if (pageCount > 1)
        working.setText(QLatin1String(PageTextKey), QString::number(qMax(1, page)));
    return GelImageLoad{working, QString(), isJpeg, pageCount};
}

} // namespace

QString pictureTooLargeReason(const QSize& size)
{
    return sizeLimitReason(size);
}

} // namespace kesto
