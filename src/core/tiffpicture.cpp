#include "core/tiffpicture.h"

#include "core/deeppicture.h"
#include "core/gelimage.h"

#include <QByteArray>
#include <QColor>
#include <QIODevice>
#include <QRgba64>

#include <tiffio.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace kesto {

namespace {

// libtiff reads through these from a QIODevice, so files and bytes in memory read alike.
tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size)
{
    return tmsize_t(static_cast<QIODevice*>(handle)->read(static_cast<char*>(buffer), size));
}

tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* device = static_cast<QIODevice*>(handle);
    const auto signedOffset = std::int64_t(offset);
    std::int64_t target = signedOffset;
    if (whence == SEEK_CUR)
        target = device->pos() + signedOffset;
    else if (whence == SEEK_END)
        target = device->size() + signedOffset;
    if (target < 0 || !device->seek(target))
        return toff_t(-1);
    return toff_t(target);
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return toff_t(static_cast<QIODevice*>(handle)->size());
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, void*, toff_t) {}

// libtiff's errors for this file, kept for the refusal; its warnings (unknown private
// tags, mostly) are dropped.
int noteError(TIFF*, void* userData, const char* module, const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    auto* message = static_cast<QString*>(userData);
    if (message->isEmpty())
        *message = module && *module
                       ? QString::fromUtf8(module) + QStringLiteral(": ") + QString::fromUtf8(text)
                       : QString::fromUtf8(text);
    return 1;
}

int dropWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// The largest single allocation libtiff may make for one strip or tile of a damaged file.
constexpr tmsize_t MaxLibtiffAllocation = tmsize_t(512) * 1024 * 1024;

struct TiffCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle openTiff(QIODevice& device, QString* error)
{
    if (!device.seek(0))
        return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, &noteError, error);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &dropWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, MaxLibtiffAllocation);
    // "m": no memory mapping, every read goes through the device.
    TIFF* tiff = TIFFClientOpenExt("picture", "rm", &device, readProc, writeProc, seekProc,
                                   closeProc, sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tiff);
}

QString asciiField(TIFF* tiff, ttag_t tag)
{
    const char* text = nullptr;
    if (TIFFGetField(tiff, tag, &text) != 1 || !text)
        return QString();
    return QString::fromUtf8(text).trimmed();
}

TiffPageInfo pageInfo(TIFF* tiff)
{
    TiffPageInfo info;
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    info.width = int(std::min<std::uint32_t>(width, 0x7FFFFFFF));
    info.height = int(std::min<std::uint32_t>(height, 0x7FFFFFFF));
    std::uint16_t value = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &value);
    info.bitsPerSample = value;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &value);
    info.samplesPerPixel = value;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &value);
    info.sampleFormat = value;
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &value) == 1)
        info.photometric = value;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &value);
    info.compression = value;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &value);
    info.planar = value == PLANARCONFIG_SEPARATE && info.samplesPerPixel > 1;
    info.tiled = TIFFIsTiled(tiff) != 0;
    info.bigEndian = TIFFIsBigEndian(tiff) != 0;
    float resolution = 0;
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &resolution) == 1)
        info.xResolution = double(resolution);
    if (TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &resolution) == 1)
        info.yResolution = double(resolution);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &value);
    info.resolutionUnit = value;
    info.description = asciiField(tiff, TIFFTAG_IMAGEDESCRIPTION);
    info.make = asciiField(tiff, TIFFTAG_MAKE);
    info.model = asciiField(tiff, TIFFTAG_MODEL);
    info.software = asciiField(tiff, TIFFTAG_SOFTWARE);
    info.dateTime = asciiField(tiff, TIFFTAG_DATETIME);
    return info;
}

// The page's kind as this reader stores it.
enum class Layout { Gray8, Gray16, Rgb8, Rgb16 };

// Where the decoded samples go: one call per row of a strip or tile.
class SampleSink
{
public:
    SampleSink(QImage& image, Layout layout, int bitsPerSample, int samplesInBlock)
        : m_image(image), m_layout(layout), m_bits(bitsPerSample), m_samples(samplesInBlock)
    {
    }

    // count pixels of the row y from column x, their samples in row; plane is the
    // channel of a planar file's block (its only sample), else -1.
    void putRow(const unsigned char* row, int x, int y, int count, int plane)
    {
        // The imagers' usual kinds, 16-bit and 8-bit gray, are copied as they are.
        if (m_layout == Layout::Gray16 && m_bits == 16) {
            std::memcpy(m_image.scanLine(y) + std::size_t(x) * 2, row, std::size_t(count) * 2);
            return;
        }
        if (m_layout == Layout::Gray8 && m_image.format() == QImage::Format_Grayscale8) {
            std::memcpy(m_image.scanLine(y) + x, row, std::size_t(count));
            return;
        }
        for (int i = 0; i < count; ++i) {
            for (int s = 0; s < m_samples; ++s) {
                const std::uint32_t v = sample(row, std::int64_t(i) * m_samples + s);
                put(x + i, y, plane >= 0 ? plane : s, v);
            }
        }
    }

    // Where rows from y on can be decoded straight into the picture, rowBytes each, as
    // putRow would copy them unchanged; null where putRow must see them.
    unsigned char* directRows(int y, std::int64_t rowBytes)
    {
        const bool asStored =
            (m_layout == Layout::Gray16 && m_bits == 16) ||
            (m_layout == Layout::Gray8 && m_image.format() == QImage::Format_Grayscale8);
        if (!asStored || m_samples != 1 || m_image.bytesPerLine() != rowBytes)
            return nullptr;
        return m_image.scanLine(y);
    }

private:
    std::uint32_t sample(const unsigned char* row, std::int64_t index) const
    {
        if (m_bits == 8)
            return row[index];
        if (m_bits == 16) {
            std::uint16_t v;
            std::memcpy(&v, row + index * 2, 2); // libtiff has put it in this machine's order
            return v;
        }
        // Packed, most significant bit first.
        const std::int64_t bit = index * m_bits;
        std::uint32_t v = 0;
        for (int b = 0; b < m_bits; ++b) {
            const std::int64_t at = bit + b;
            v = (v << 1) | ((row[at >> 3] >> (7 - (at & 7))) & 1u);
        }
        return v;
    }

    void put(int x, int y, int channel, std::uint32_t v)
    {
        switch (m_layout) {
        case Layout::Gray8:
            reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = qRgb(int(v), int(v), int(v));
            break;
        case Layout::Gray16:
            reinterpret_cast<std::uint16_t*>(m_image.scanLine(y))[x] = std::uint16_t(v);
            break;
        case Layout::Rgb8: {
            QRgb& p = reinterpret_cast<QRgb*>(m_image.scanLine(y))[x];
            const int shift = channel == 0 ? 16 : channel == 1 ? 8 : 0;
            p = (p & ~(0xFFu << shift)) | (v << shift);
            break;
        }
        case Layout::Rgb16: {
            QRgba64& p = reinterpret_cast<QRgba64*>(m_image.scanLine(y))[x];
            if (channel == 0)
                p.setRed(quint16(v));
            else if (channel == 1)
                p.setGreen(quint16(v));
            else
                p.setBlue(quint16(v));
            break;
        }
        }
    }

    QImage& m_image;
    Layout m_layout;
    int m_bits;
    int m_samples;
};

bool readStrips(TIFF* tiff, const TiffPageInfo& info, int planes, SampleSink& sink)
{
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > std::uint32_t(info.height))
        rowsPerStrip = std::uint32_t(info.height);
    const tmsize_t rowBytes = TIFFScanlineSize(tiff);
    const tmsize_t stripBytes = TIFFStripSize(tiff);
    if (rowBytes <= 0 || stripBytes <= 0)
        return false;
    std::vector<unsigned char> buffer; // taken only when a strip is not decoded in place
    for (int plane = 0; plane < planes; ++plane) {
        for (std::uint32_t top = 0; top < std::uint32_t(info.height); top += rowsPerStrip) {
            const std::uint32_t rows = std::min(rowsPerStrip, std::uint32_t(info.height) - top);
            const std::uint32_t strip = TIFFComputeStrip(tiff, top, std::uint16_t(plane));
            // Gray rows as the picture holds them are decoded in place, without a copy.
            if (unsigned char* direct =
                    planes == 1 ? sink.directRows(int(top), rowBytes) : nullptr) {
                if (TIFFReadEncodedStrip(tiff, strip, direct, tmsize_t(rows) * rowBytes) <
                    tmsize_t(rows) * rowBytes)
                    return false;
                continue;
            }
            buffer.resize(static_cast<std::size_t>(stripBytes));
            const tmsize_t got = TIFFReadEncodedStrip(tiff, strip, buffer.data(), stripBytes);
            if (got < tmsize_t(rows) * rowBytes)
                return false;
            for (std::uint32_t r = 0; r < rows; ++r)
                sink.putRow(buffer.data() + tmsize_t(r) * rowBytes, 0, int(top + r), info.width,
                            info.planar ? plane : -1);
        }
    }
    return true;
}

bool readTiles(TIFF* tiff, const TiffPageInfo& info, int planes, SampleSink& sink)
{
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t rowBytes = TIFFTileRowSize(tiff);
    const tmsize_t tileBytes = TIFFTileSize(tiff);
    if (tileWidth == 0 || tileHeight == 0 || rowBytes <= 0 || tileBytes <= 0)
        return false;
    // A damaged file can declare tiles of gigabytes around a picture of a few pixels.
    if (std::int64_t(tileWidth) * tileHeight >
        4 * std::int64_t(info.width) * info.height + 256 * 256)
        return false;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(tileBytes));
    const auto width = std::uint32_t(info.width);
    const auto height = std::uint32_t(info.height);
    for (int plane = 0; plane < planes; ++plane) {
        for (std::uint32_t top = 0; top < height; top += tileHeight) {
            for (std::uint32_t left = 0; left < width; left += tileWidth) {
                const std::uint32_t tile =
                    TIFFComputeTile(tiff, left, top, 0, std::uint16_t(plane));
                if (TIFFReadEncodedTile(tiff, tile, buffer.data(), tileBytes) < tileBytes)
                    return false;
                const std::uint32_t rows = std::min(tileHeight, height - top);
                const std::uint32_t columns = std::min(tileWidth, width - left);
                for (std::uint32_t r = 0; r < rows; ++r)
                    sink.putRow(buffer.data() + tmsize_t(r) * rowBytes, int(left), int(top + r),
                                int(columns), info.planar ? plane : -1);
            }
        }
    }
    return true;
}

TiffRead refusedRead(const QString& reason)
{
    TiffRead read;
    read.handled = true;
    read.reason = reason;
    return read;
}

QString libtiffDetail(const QString& error)
{
    return error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(error);
}

} // namespace

bool looksLikeTiff(const QByteArray& head)
{
    return head.startsWith(QByteArrayLiteral("II*\0")) ||
           head.startsWith(QByteArrayLiteral("MM\0*")) ||
           head.startsWith(QByteArrayLiteral("II+\0")) ||
           head.startsWith(QByteArrayLiteral("MM\0+"));
}

std::vector<TiffPageInfo> readTiffPages(QIODevice& device, QString* reason)
{
    QString error;
    std::vector<TiffPageInfo> pages;
    const TiffHandle tiff = openTiff(device, &error);
    if (!tiff) {
        if (reason)
            *reason = QStringLiteral("The TIFF file cannot be read%1.").arg(libtiffDetail(error));
        return pages;
    }
    do {
        pages.push_back(pageInfo(tiff.get()));
    } while (TIFFReadDirectory(tiff.get()) == 1);
    return pages;
}

QString tiffCompressionName(int compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return QStringLiteral("none");
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return QStringLiteral("CCITT fax");
    case COMPRESSION_LZW:
        return QStringLiteral("LZW");
    case COMPRESSION_OJPEG:
    case COMPRESSION_JPEG:
        return QStringLiteral("JPEG (lossy)");
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return QStringLiteral("Deflate");
    case COMPRESSION_PACKBITS:
        return QStringLiteral("PackBits");
    case COMPRESSION_LZMA:
        return QStringLiteral("LZMA");
    case COMPRESSION_ZSTD:
        return QStringLiteral("Zstandard");
    case COMPRESSION_WEBP:
        return QStringLiteral("WebP");
    default:
        return QStringLiteral("scheme %1").arg(compression);
    }
}

TiffRead readTiffPicture(QIODevice& device, int page, bool keepGray)
{
    QString error;
    const TiffHandle handle = openTiff(device, &error);
    if (!handle)
        return refusedRead(
            QStringLiteral("The TIFF file cannot be read%1; it may be damaged or incomplete.")
                .arg(libtiffDetail(error)));
    TIFF* tiff = handle.get();

    TiffRead read;
    read.pageCount = int(TIFFNumberOfDirectories(tiff));
    const int wanted = page <= 0 ? 1 : page;
    if (wanted > read.pageCount)
        return refusedRead(
            read.pageCount == 1
                ? QStringLiteral("The file has one page; there is no page %1.").arg(wanted)
                : QStringLiteral("The file has %1 pages; there is no page %2.")
                      .arg(read.pageCount)
                      .arg(wanted));
    if (TIFFSetDirectory(tiff, tdir_t(wanted - 1)) != 1)
        return refusedRead(QStringLiteral("Page %1 of the TIFF file cannot be read%2.")
                               .arg(wanted)
                               .arg(libtiffDetail(error)));
    const TiffPageInfo info = pageInfo(tiff);
    read.page = info;

    if (info.sampleFormat == SAMPLEFORMAT_IEEEFP)
        return refusedRead(
            QStringLiteral("The picture holds %1-bit floating-point samples; this program "
                           "measures whole counts of 8 or 16 bits, and will not round them "
                           "into those.")
                .arg(info.bitsPerSample));
    if (info.sampleFormat == SAMPLEFORMAT_INT)
        return refusedRead(
            QStringLiteral("The picture holds %1-bit signed samples; this program measures "
                           "unsigned counts of 8 or 16 bits, and will not shift them into "
                           "those.")
                .arg(info.bitsPerSample));
    if (info.sampleFormat != SAMPLEFORMAT_UINT)
        return refusedRead(QStringLiteral("The picture's samples are of a kind this program "
                                          "does not measure (sample format %1).")
                               .arg(info.sampleFormat));
    if (info.bitsPerSample > 16)
        return refusedRead(QStringLiteral("The picture holds %1 bits per sample; this program "
                                          "measures at most 16, and will not narrow them.")
                               .arg(info.bitsPerSample));

    const bool gray =
        (info.photometric == PHOTOMETRIC_MINISBLACK || info.photometric == PHOTOMETRIC_MINISWHITE ||
         (info.photometric < 0 && info.samplesPerPixel == 1)) &&
        info.samplesPerPixel == 1 && info.bitsPerSample >= 8;
    const bool rgb = (info.photometric == PHOTOMETRIC_RGB ||
                      (info.photometric < 0 && info.samplesPerPixel == 3)) &&
                     info.samplesPerPixel == 3 &&
                     (info.bitsPerSample == 8 || info.bitsPerSample == 16);
    if (!gray && !rgb)
        return read; // Qt's reader knows palettes, bilevel, YCbCr, CMYK and alpha.

    read.handled = true;
    if (!TIFFIsCODECConfigured(std::uint16_t(info.compression)))
        return refusedRead(QStringLiteral("The picture is compressed with %1, which this "
                                          "program's TIFF library does not decode.")
                               .arg(tiffCompressionName(info.compression)));
    if (!pictureSizeAllowed(info.width, info.height))
        return refusedRead(pictureTooLargeReason(QSize(info.width, info.height)));

    const Layout layout = gray ? (info.bitsPerSample == 8 ? Layout::Gray8 : Layout::Gray16)
                               : (info.bitsPerSample == 8 ? Layout::Rgb8 : Layout::Rgb16);
    const QImage::Format format = layout == Layout::Gray16              ? QImage::Format_Grayscale16
                                  : layout == Layout::Rgb16             ? QImage::Format_RGBX64
                                  : layout == Layout::Gray8 && keepGray ? QImage::Format_Grayscale8
                                                                        : QImage::Format_RGB32;
    QImage image = newPicture(info.width, info.height, format);
    if (image.isNull())
        return refusedRead(QStringLiteral("There is not enough memory for this picture."));
    if (layout == Layout::Rgb16)
        image.fill(QColor(0, 0, 0)); // opaque: the fourth word is the unused alpha
    else if (layout == Layout::Rgb8)
        image.fill(qRgb(0, 0, 0));

    const int planes = info.planar ? info.samplesPerPixel : 1;
    SampleSink sink(image, layout, info.bitsPerSample, info.planar ? 1 : info.samplesPerPixel);
    bool complete = false;
    try {
        complete =
            info.tiled ? readTiles(tiff, info, planes, sink) : readStrips(tiff, info, planes, sink);
    } catch (const std::bad_alloc&) {
        return refusedRead(QStringLiteral("There is not enough memory for this picture."));
    }
    if (!complete)
        return refusedRead(QStringLiteral("The picture data cannot be read%1; the file may be "
                                          "damaged or incomplete.")
                               .arg(libtiffDetail(error)));

    if (info.whiteIsZero())
        image.setText(QLatin1String(PolarityTextKey), QLatin1String(WhiteIsZeroText));
    if (read.pageCount > 1)
        image.setText(QLatin1String(PageTextKey), QString::number(wanted));
    const std::pair<const char*, const QString*> tags[] = {{"Description", &info.description},
                                                           {"Make", &info.make},
                                                           {"Model", &info.model},
                                                           {"Software", &info.software},
                                                           {"DateTime", &info.dateTime}};
    for (const auto& [key, value] : tags)
        if (!value->isEmpty())
            image.setText(QLatin1String(key), *value);
    read.image = std::move(image);
    read.lossy = info.compression == COMPRESSION_JPEG || info.compression == COMPRESSION_OJPEG;
    return read;
}

} // namespace kesto
