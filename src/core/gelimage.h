#pragma once

// Reading gel pictures into the working picture that every pixel read uses: 32-bit RGB
// (QImage::Format_RGB32), one picture pixel per screen pixel. Files that Qt would decode
// into a silently wrong picture (truncated JPEG or BMP) are refused, as are pictures too
// large to hold.

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

namespace kesto {

// The largest working picture, in MiB at 32 bits per pixel: 16 384 x 16 384 pixels.
inline constexpr int MaxPictureMiB = 1024;

// Sets QImageReader's process-wide allocation limit to MaxPictureMiB, so that large gel
// scans (at least 16 000 x 16 000 at 32 bits) decode while Qt's default of 128 MiB would
// refuse them. Called once at start-up and by loadGelImage. Also keeps working memory for
// reuse (keepWorkingMemoryForReuse).
void applyPictureAllocationLimit();

// The heap keeps up to 64 MiB of freed memory for the next calculation instead of giving
// it back to the system at once: the lane finder frees a few MiB of profiles per lane, and
// taking them back from the system page by page cost more than the finding on the team's
// machines. Blocks of 4 MiB and more (pictures) still go back when freed. Process-wide.
void keepWorkingMemoryForReuse();

// A new, uninitialised picture (null when there is no memory for it). A large one asks
// the system to back it with large pages where the system offers them: filling a picture
// of tens of MiB page by page, and then summing it through page tables of small pages,
// took most of the time of measuring a decoded TIFF on the team's machines. The pixels
// and everything else are as QImage(width, height, format) gives them.
QImage newPicture(int width, int height, QImage::Format format);

// True when a working picture of this size fits MaxPictureMiB (and is not empty).
bool pictureSizeAllowed(std::int64_t width, std::int64_t height);

// Why a picture of this size is refused (files and pasted pictures alike).
QString pictureTooLargeReason(const QSize& size);

struct GelImageLoad
{
    QImage image;   // Format_RGB32, or null when refused
    QString reason; // why the file was refused, for the user; empty on success
    // 16-bit files keep their depth (Format_Grayscale16 or Format_RGBX64, see
    // deeppicture.h); lossy is set for a JPEG, whose values the compression altered.
    bool lossy = false;
    // The pages (images) the file holds, when it says; 1 for a single picture.
    int pageCount = 1;
    bool ok() const { return !image.isNull(); }
};

// Reads a picture file (BMP, JPEG, ICO, PNG, TIFF, ... whatever Qt's plugins read; the
// content decides, not the extension) and converts it once into the working picture.
// Refuses, with a reason: a missing file, a folder, an unreadable or empty file, an
// unsupported or garbled one, a truncated JPEG, PNG, BMP or TIFF, and a picture whose
// header claims more pixels than MaxPictureMiB holds. A multi-image file gives its first.
// A picture with floating-point channels is refused too: its values have no full scale.
// TIFF files are read with libtiff (see tiffpicture.h): their stored values exactly,
// WhiteIsZero ones marked so (see deeppicture.h).
GelImageLoad loadGelImage(const QString& path);
// The same for one page of a file of several (a multi-page TIFF, an icon file, ...),
// counted from 1; page 0 is the first. A page the file does not have is refused.
GelImageLoad loadGelImage(const QString& path, int page);
// The same, for measuring: an 8-bit gray picture (a gray PNG or TIFF, a palette of grays)
// stays gray (Format_Grayscale8, see deeppicture.h), which measures to the same numbers at
// a quarter of the memory and without a conversion. Any other picture loads as above.
GelImageLoad loadMeasurementPicture(const QString& path, int page = 0);

// Converts any picture into the working picture, Format_RGB32: palettes, 1-bit, grayscale
// and 16 bits per channel are mapped to 8-bit red, green and blue; a picture with alpha is
// composited over white (a transparent area reads as the light background of a gel, not
// as black). A null picture stays null; an RGB32 picture is returned as is.
QImage toWorkingImage(const QImage& image);

} // namespace kesto
