#pragma once

// Where every value of the results sheet came from. Each value written into the sheet
// (a scan, or a text typed or pasted by hand) leaves an entry: for a scan the picture and
// its SHA-256, the channel, the inversion, the background and where it was picked, the
// method, the frame and the sample counts. The record lists the current entry of each
// cell, and keeps every write in order so that it can be written out as a measurement
// plan that replays the sheet.

#include "core/backgroundmethod.h"
#include "core/channellevels.h"
#include "core/integration.h"
#include "core/lanequant.h"
#include "core/sizecalibration.h"
#include "core/workingsheet.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace kesto {

class SheetData;

enum class ValueSource { Scan, Typed, Pasted };

// The picture a scan was made on, as it was opened (before any inversion).
struct PictureIdentity
{
    QString path;      // empty for a picture pasted from the clipboard
    QByteArray sha256; // lower-case hex: of the file's bytes, or of a pasted picture's pixels
    int width = 0;
    int height = 0;
    int bitDepth = 8; // per channel: 8 or 16
    int page = 0;     // the page of a file of several, from 1; else 0
    QString polarity = QStringLiteral("BlackIsZero"); // or "WhiteIsZero": high counts are dark
    QString tags; // what the file says of itself: "Description: ...; Make: ...", or ""

    bool fromClipboard() const { return path.isEmpty(); }
};

// SHA-256 (lower-case hex) of a file's bytes. Throws Error(FileError) when it cannot be read.
QByteArray fileSha256(const QString& path);
// SHA-256 (lower-case hex) of a picture's pixels: every scanline's first
// width x bytes-per-pixel bytes, top to bottom, so that padding does not count. An 8-bit
// gray picture (Format_Grayscale8) gives the digest of its working picture (Format_RGB32).
QByteArray pixelSha256(const QImage& picture);
// The identity of a measurement picture: the file's hash when path names one, else the
// pixels' hash; its page, polarity and text tags as the picture carries them.
PictureIdentity pictureIdentity(const QImage& picture, const QString& path);

// Where a value taken from a lane came from: a frame scanned on the lane's own baseline
// (Frame), a band's volume between its boundaries on the lane's profile (Profile), or its
// fitted peak's area (Fit).
struct LaneSource
{
    QuantifyMode mode = QuantifyMode::Frame;
    LaneStrip lane; // empty: the scan was in no lane
    LaneBackground background;
    bool darkBands = false;
    // Profile: the band's boundaries; Fit: every band fitted together, in order along.
    std::vector<BandBounds> group;
    int index = 0; // Fit: which of the group the value is
    PeakShape shape = PeakShape::Gaussian;
    double total = 0;    // the lane's total
    double error = 0;    // Fit: the area's standard error
    double residual = 0; // Fit: the residual's standard deviation

    bool isVolume() const { return mode != QuantifyMode::Frame; }
};

struct MeasurementEntry
{
    CellAddress cell;
    QString text;
    ValueSource source = ValueSource::Scan;
    QDateTime time;
    // A scan's provenance; unused for typed and pasted values.
    PictureIdentity picture;
    Channel channel = Channel::Red;
    bool inverted = false;
    ChannelLevels background; // in picture units
    bool picked = false;      // the background was picked at (pickX, pickY)
    float pickX = 0;
    float pickY = 0;
    BackgroundMethod method;
    FrameGeometry frame;
    ScanResult scan;
    // A lane method's scan or a band volume: the lane it was taken on.
    LaneSource lane;
    // A found band's size read on ladder lanes; none for other values.
    BandSizeSource size;
};

class MeasurementRecord
{
public:
    // A new value for the entry's cell: it becomes that cell's entry (an empty text leaves
    // the cell without one).
    void add(MeasurementEntry entry);
    void clear();

    bool isEmpty() const { return m_current.isEmpty(); }
    // The cell's current entry, or nullptr.
    const MeasurementEntry* entryAt(int row, int column) const;
    // Every cell's current entry, in the order the values were written.
    std::vector<MeasurementEntry> entries() const;
    // Every write since the last clear, deletions as typed empty texts.
    const std::vector<MeasurementEntry>& history() const { return m_history; }

private:
    static quint64 key(int row, int column)
    {
        return (quint64(quint32(row)) << 32) | quint32(column);
    }

    std::vector<MeasurementEntry> m_history;
    QHash<quint64, std::size_t> m_current; // cell -> index in m_history
};

// A lane as plans write it: "vertical|horizontal FIRST LAST WIDTH X,Y X,Y ...".
QString laneStripText(const LaneStrip& lane);
// Band boundaries as plans write them: "FROM TO FROM TO ...".
QString bandBoundsText(const std::vector<BandBounds>& bounds);
// "gaussian" or "emg".
QString peakShapeText(PeakShape shape);
// How a lane value was taken, as the tip and the Measurements table show it.
QString laneSourceLabel(const LaneSource& source);
// A band's size and how it was read, as the tip shows it: "1520 bp, Rf 0.420, point-to-point
// fit on 2 ladder lanes".
QString bandSizeSourceLabel(const BandSizeSource& source);
// The plan lines that give a replay the band's size: the ladder lanes and the curve where
// they differ from what the replay has (replayed, which they update), then the band.
QStringList bandSizeLines(const BandSizeSource& size, BandSizeSource& replayed);

// "scan", "typed", "pasted".
QString valueSourceText(ValueSource source);
// "red", "green", "blue".
QString channelText(Channel channel);

// The entry as the cell's tip shows it, one fact a line.
QString measurementTip(const MeasurementEntry& entry);

// The Measurements table: a heading per field, then one row per current entry.
QStringList measurementHeadings();
QList<QStringList> measurementRows(const MeasurementRecord& record);
// The table as a sheet named "Measurements" with the headings as its column headings.
void fillMeasurementSheet(SheetData& sheet, const MeasurementRecord& record);

// The plan that replays the record's history on a fresh session of its picture: every
// value in the order it was written, each scan preceded by the settings it was made with
// (picture and hash, background method, channel, working cell, inversion, background),
// so that replaying it gives the same sheet.
QString measurementPlanText(const MeasurementRecord& record);

// A text as a plan writes it: in double quotes, with \" \\ \t \n \r escapes.
QString quotedPlanText(const QString& text);

} // namespace kesto
