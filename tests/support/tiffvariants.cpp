#include "support/tiffvariants.h"

#include <QByteArray>
#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kesto::test {

int tiffPageWidth(int page)
{
    return 37 + 3 * page;
} // not a whole number of tiles
int tiffPageHeight(int page)
{
    return 29 + 2 * page;
}

namespace {

std::uint32_t largestOf(const TiffVariant& v)
{
    return v.largest ? v.largest : std::uint32_t((std::uint64_t(1) << v.bits) - 1);
}

} // namespace

// The value the test stores at a pixel: uneven, with 0 and the largest value present.
std::uint32_t tiffStoredValue(const TiffVariant& v, int page, int x, int y, int channel)
{
    const std::uint32_t largest = largestOf(v);
    if (y == 1 && x == channel)
        return 0;
    if (y == 2 && x == channel)
        return largest;
    const std::uint32_t h = std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u ^
                            std::uint32_t(channel * 977 + page * 131);
    return std::uint32_t((h ^ (h >> 13)) % (std::uint64_t(largest) + 1));
}

namespace {

// One row of samples as the file stores them (before compression), for a plane (planar)
// or all channels (contiguous).
std::vector<unsigned char> rowBytes(const TiffVariant& v, int page, int y, int left, int count,
                                    int plane)
{
    const int perPixel = v.planar ? 1 : v.samples;
    const std::int64_t bits = std::int64_t(count) * perPixel * v.bits;
    std::vector<unsigned char> row(std::size_t((bits + 7) / 8), 0);
    std::int64_t at = 0;
    for (int i = 0; i < count; ++i) {
        for (int s = 0; s < perPixel; ++s) {
            const int channel = v.planar ? plane : s;
            const std::uint32_t value = tiffStoredValue(v, page, left + i, y, channel);
            if (v.sampleFormat == SAMPLEFORMAT_IEEEFP) {
                const float f = float(value) / 7.0f;
                std::memcpy(row.data() + at / 8, &f, 4);
            } else if (v.bits == 8) {
                row[std::size_t(at / 8)] = static_cast<unsigned char>(value);
            } else if (v.bits == 16) {
                const auto word = std::uint16_t(v.sampleFormat == SAMPLEFORMAT_INT
                                                    ? std::uint16_t(std::int16_t(value) - 100)
                                                    : value);
                std::memcpy(row.data() + at / 8, &word, 2); // libtiff swaps to the file's order
            } else if (v.bits == 32) {
                std::memcpy(row.data() + at / 8, &value, 4);
            } else {
                for (int b = v.bits - 1; b >= 0; --b, ++at)
                    if (value >> b & 1u)
                        row[std::size_t(at / 8)] |= static_cast<unsigned char>(0x80 >> (at % 8));
                continue;
            }
            at += v.bits;
        }
    }
    return row;
}

} // namespace

bool writeTiffVariant(const QString& path, const TiffVariant& v)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), v.bigEndian ? "wb" : "wl");
    if (!tiff)
        return false;
    bool ok = true;
    for (int page = 0; page < v.pages && ok; ++page) {
        const int width = tiffPageWidth(page), height = tiffPageHeight(page);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, std::uint16_t(v.bits));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(v.samples));
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, std::uint16_t(v.sampleFormat));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, std::uint16_t(v.photometric));
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
                     std::uint16_t(v.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG));
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, std::uint16_t(v.compression));
        if ((v.compression == COMPRESSION_LZW || v.compression == COMPRESSION_ADOBE_DEFLATE) &&
            (v.bits == 8 || v.bits == 16))
            TIFFSetField(tiff, TIFFTAG_PREDICTOR, std::uint16_t(PREDICTOR_HORIZONTAL));
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0f);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0f);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, std::uint16_t(RESUNIT_INCH));
        const QByteArray description =
            QStringLiteral("Exposure 30 s, page %1").arg(page + 1).toUtf8();
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, description.constData());
        TIFFSetField(tiff, TIFFTAG_MAKE, "Test Imager Co.");
        TIFFSetField(tiff, TIFFTAG_MODEL, "Chemi 2000");
        TIFFSetField(tiff, TIFFTAG_SOFTWARE, "tst_tiffpicture");
        TIFFSetField(tiff, TIFFTAG_DATETIME, "2026:01:02 03:04:05");
        if (v.pages > 1) {
            TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, std::uint32_t(FILETYPE_PAGE));
            TIFFSetField(tiff, TIFFTAG_PAGENUMBER, std::uint16_t(page), std::uint16_t(v.pages));
        }
        const int planes = v.planar ? v.samples : 1;
        if (v.tiled) {
            constexpr int Tile = 16;
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, std::uint32_t(Tile));
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, std::uint32_t(Tile));
            const tmsize_t rowSize = TIFFTileRowSize(tiff);
            for (int plane = 0; plane < planes; ++plane)
                for (int top = 0; top < height; top += Tile)
                    for (int left = 0; left < width; left += Tile) {
                        std::vector<unsigned char> tile(std::size_t(TIFFTileSize(tiff)), 0);
                        for (int r = 0; r < Tile && top + r < height; ++r) {
                            const auto row = rowBytes(v, page, top + r, left,
                                                      std::min(Tile, width - left), plane);
                            std::memcpy(tile.data() + r * rowSize, row.data(), row.size());
                        }
                        const std::uint32_t index = TIFFComputeTile(
                            tiff, std::uint32_t(left), std::uint32_t(top), 0, std::uint16_t(plane));
                        ok = ok && TIFFWriteEncodedTile(tiff, index, tile.data(),
                                                        tmsize_t(tile.size())) >= 0;
                    }
        } else {
            constexpr int RowsPerStrip = 5;
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, std::uint32_t(RowsPerStrip));
            for (int plane = 0; plane < planes; ++plane)
                for (int top = 0; top < height; top += RowsPerStrip) {
                    std::vector<unsigned char> strip;
                    for (int r = 0; r < RowsPerStrip && top + r < height; ++r) {
                        const auto row = rowBytes(v, page, top + r, 0, width, plane);
                        strip.insert(strip.end(), row.begin(), row.end());
                    }
                    const std::uint32_t index =
                        TIFFComputeStrip(tiff, std::uint32_t(top), std::uint16_t(plane));
                    ok = ok && TIFFWriteEncodedStrip(tiff, index, strip.data(),
                                                     tmsize_t(strip.size())) >= 0;
                }
        }
        ok = ok && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

} // namespace kesto::test
