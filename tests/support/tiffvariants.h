#pragma once

// TIFF files written with libtiff in the variants imagers and image programs produce
// (depth, polarity, compression, strips or tiles, byte order, planes, pages), with the
// value stored at every pixel worked out by the same function the tests compare with.

#include <QString>

#include <cstdint>

namespace kesto::test {

struct TiffVariant
{
    int bits = 16;
    int photometric = 1; // 0 WhiteIsZero, 1 BlackIsZero, 2 RGB
    int compression = 1; // libtiff's COMPRESSION_ numbers
    bool tiled = false;  // 16 x 16 tiles, else strips of 5 rows
    bool bigEndian = false;
    int samples = 1;
    bool planar = false;
    int pages = 1;
    int sampleFormat = 1;      // 1 unsigned, 2 signed, 3 floating point
    std::uint32_t largest = 0; // the largest stored value; 0 for the depth's full range
};

// The size of page (from 0): not a whole number of tiles, and different on every page.
int tiffPageWidth(int page);
int tiffPageHeight(int page);

// The value stored at a pixel's channel on a page (from 0): uneven, with 0 at (channel, 1)
// and the largest value at (channel, 2). A signed file stores it less 100, a float one
// divided by 7.
std::uint32_t tiffStoredValue(const TiffVariant& v, int page, int x, int y, int channel);

// Writes the file; every page carries a description "Exposure 30 s, page N", make
// "Test Imager Co.", model "Chemi 2000", software "tst_tiffpicture", a date and 300 dpi.
bool writeTiffVariant(const QString& path, const TiffVariant& v);

} // namespace kesto::test
