#pragma once

// TIFF files read with libtiff, as the imager wrote them. Gray and RGB pictures of 8 or 16
// bits per sample (and gray of 9 to 15, kept in 16) are read in whatever compression and
// layout libtiff decodes: strips or tiles, either byte order, samples contiguous or in
// planes. Their stored values are kept exactly: a WhiteIsZero picture (dark bands stored
// as high counts, as many chemiluminescence imagers write) is measured in its stored
// counts and only shown inverted. Floating-point and signed samples, and more than 16 bits
// per sample, are refused with the reason rather than narrowed. Other kinds of TIFF
// (palette, bilevel, YCbCr, CMYK, with alpha) are left to Qt's reader.

#include <QImage>
#include <QString>

#include <vector>

class QIODevice;

namespace kesto {

// What one page (TIFF directory) of a file says about itself.
struct TiffPageInfo
{
    int width = 0;
    int height = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int sampleFormat = 1; // 1 unsigned, 2 signed, 3 floating point
    int photometric = -1; // -1 when the file does not say
    int compression = 1;
    bool tiled = false;
    bool planar = false; // samples stored plane after plane
    bool bigEndian = false;
    double xResolution = 0; // 0 when the file does not say
    double yResolution = 0;
    int resolutionUnit = 2; // 1 none, 2 inch, 3 centimetre
    QString description;    // ImageDescription
    QString make;
    QString model;
    QString software;
    QString dateTime;

    bool whiteIsZero() const { return photometric == 0; }
};

// True when the bytes start like a TIFF or BigTIFF file, in either byte order.
bool looksLikeTiff(const QByteArray& head);

// Every page of the TIFF file on device, in order. Empty, with *reason set, when the file
// cannot be read as a TIFF.
std::vector<TiffPageInfo> readTiffPages(QIODevice& device, QString* reason = nullptr);

struct TiffRead
{
    // False when the page is a kind this reader leaves to Qt's (see above); nothing else
    // is then set.
    bool handled = false;
    // The measurement picture: Format_RGB32 (8-bit gray as red = green = blue, or 8-bit
    // RGB), Format_Grayscale16 or Format_RGBX64. Null when refused.
    QImage image;
    QString reason;     // why the page was refused
    bool lossy = false; // JPEG-compressed
    int pageCount = 0;
    TiffPageInfo page;
};

// Reads one page (counted from 1; 0 reads the first) of the TIFF file on device. A page
// past the file's last is refused. The picture carries its polarity and, in a file of
// several pages, its page number (see deeppicture.h). An 8-bit gray page is read into
// Format_Grayscale8 when keepGray, else into the 8-bit working picture.
TiffRead readTiffPicture(QIODevice& device, int page, bool keepGray = false);

// libtiff's name of a compression scheme ("LZW", "Deflate", "PackBits", ...).
QString tiffCompressionName(int compression);

} // namespace kesto
