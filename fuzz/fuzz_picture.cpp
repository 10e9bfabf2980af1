// Picture loading through the program's whole path: the file is written to disk and read
// with loadGelImage (format sniffing, truncation checks, the size limit, decoding and the
// conversion to the working picture) and with loadMeasurementPicture (8-bit grey kept); the same
// bytes decoded by Qt (when they declare a size of at most 4096 x 4096) go through toWorkingImage
// as a pasted picture does. Whatever the bytes, the result is a refusal with a reason or a working
// picture every pixel of which can be read. TIFF bytes are also listed page by page, and a file of
// several pages is read on its second page too.

#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/integration.h"
#include "core/tiffpicture.h"
#include "fuzzsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

using namespace kesto;
using kesto::fuzz::check;

namespace {

QString picturePath()
{
    // Memory-backed when the system has it: the file is rewritten on every run.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/kesto-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kesto-fuzz-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("picture"));
    return path;
}

// Reads every pixel through the program's own reads, so a picture whose buffer does not
// match its size shows up under AddressSanitizer.
void readAll(const QImage& working)
{
    const bool deep = isDeepPicture(working);
    check(working.format() == QImage::Format_RGB32 ||
              working.format() == QImage::Format_Grayscale8 || deep,
          "a measurement picture is RGB32, 8-bit grey, or 16-bit grey or RGB");
    check(pictureSizeAllowed(working.width(), working.height()),
          "a working picture fits the limit");
    const FrameGeometry whole{0, 0, float(working.width() - 1), float(working.height() - 1)};
    const ScanResult scan = integrateFrameCounted(working, whole, Channel::Green, ChannelLevels{});
    // Single-precision coordinates address every pixel up to 2^24 along an axis.
    constexpr int ExactFloat = 1 << 24;
    if (working.width() <= ExactFloat && working.height() <= ExactFloat) {
        check(scan.offPicture == 0, "the whole picture lies on the picture");
        const float x = float(working.width() - 1), y = float(working.height() - 1);
        if (deep) {
            const ChannelLevels corner = levelsAt(working, x, y);
            check(corner.red >= 0 && corner.red <= 65535 && corner.blue >= 0 &&
                      corner.blue <= 65535,
                  "the far corner reads as 16-bit levels");
        } else {
            const ColorValue corner = pixelAt(working, x, y);
            check(corner >= 0 && corner <= 0xFFFFFF, "the far corner reads as a colour");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kesto::fuzz::startApplication<QGuiApplication>();
    check(!picturePath().isEmpty(), "a temporary folder for the picture");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(picturePath());
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the picture file opens");
        check(file.write(bytes) == bytes.size(), "the picture file is written");
    }
    const GelImageLoad load = loadGelImage(picturePath());
    if (load.ok()) {
        check(load.reason.isEmpty(), "a loaded picture has no refusal reason");
        readAll(load.image);
        const QImage shown = screenRendering(load.image);
        check(shown.isNull() || shown.size() == load.image.size(),
              "the screen's rendering has the picture's size");
        // Loaded for measuring, an 8-bit grey picture stays grey and measures the same.
        const GelImageLoad kept = loadMeasurementPicture(picturePath());
        check(kept.ok(), "a picture that loads also loads for measuring");
        readAll(kept.image);
        if (kept.image.format() != load.image.format()) {
            check(kept.image.format() == QImage::Format_Grayscale8, "only grey stays narrower");
            const FrameGeometry whole{0, 0, float(load.image.width() - 1),
                                      float(load.image.height() - 1)};
            const ChannelLevels background{1, 1, 1};
            const ScanResult a =
                integrateFrameCounted(kept.image, whole, Channel::Blue, background);
            const ScanResult b =
                integrateFrameCounted(load.image, whole, Channel::Blue, background);
            check(a.value == b.value && a.atZero == b.atZero && a.atFullScale == b.atFullScale,
                  "grey measures as its working picture");
        }
        if (load.pageCount > 1) {
            const GelImageLoad second = loadGelImage(picturePath(), 2);
            check(second.ok() != !second.reason.isEmpty(), "a second page loads or says why");
            if (second.ok())
                readAll(second.image);
        }
    } else {
        check(!load.reason.isEmpty(), "a refused picture says why");
    }
    if (looksLikeTiff(bytes)) {
        QBuffer tiff;
        tiff.setData(bytes);
        tiff.open(QIODevice::ReadOnly);
        QString reason;
        const std::vector<TiffPageInfo> pages = readTiffPages(tiff, &reason);
        check(!pages.empty() || !reason.isEmpty(), "a TIFF lists its pages or says why");
        for (const TiffPageInfo& page : pages)
            check(page.width >= 0 && page.height >= 0, "a page's size is not negative");
    }

    // A picture on the clipboard has been decoded by whoever put it there: decoding very
    // large ones here would only time Qt's decoders, so those are left to loadGelImage.
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize declared = reader.size();
    if (!declared.isValid() || std::int64_t(declared.width()) * declared.height() > 4096 * 4096)
        return 0;
    QImage decoded;
    if (!reader.read(&decoded))
        decoded = QImage();
    const QImage working = toWorkingImage(decoded);
    check(working.isNull() == decoded.isNull(), "conversion keeps a picture a picture");
    if (!working.isNull()) {
        check(working.size() == decoded.size(), "conversion keeps the size");
        if (pictureSizeAllowed(working.width(), working.height()))
            readAll(working);
    }
    return 0;
}
