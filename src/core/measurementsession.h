#pragma once

// The measuring session: the one owner of everything a measurement depends on. The main
// window shows it (its sheet, frame, read-outs and found bands follow the session's
// signals) and the batch mode drives it without a window; scanning, replaying a plan and
// scanning found bands are the same functions in both, so a plan replayed without a
// window gives the window's sheet byte for byte.
//
// What belongs to one picture (its identity and inversion, the pick point, the found
// bands, the last scan) is cleared when another picture is set; the background is kept,
// converted to the new picture's units when its depth differs.

#include "core/backgroundscan.h"
#include "core/foundbands.h"
#include "core/integration.h"
#include "core/lanequant.h"
#include "core/measurementplan.h"
#include "core/measurementrecord.h"
#include "core/results.h"
#include "core/sampletable.h"
#include "core/sessionresults.h"
#include "core/sheetdata.h"
#include "core/sizecalibration.h"
#include "core/standardcurve.h"
#include "core/workingsheet.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kesto {

// The cells of a sheet, texts and notes, to be put back as they were (undo).
struct SheetCells
{
    int rows = 0;
    int columns = 0;
    std::vector<QString> texts; // row-major
    std::vector<QString> notes;

    static SheetCells of(const SheetData& sheet);
    // Writes every cell back, growing or shrinking the sheet to the saved size.
    void restore(SheetData& sheet) const;
    bool operator==(const SheetCells& other) const;
    bool operator!=(const SheetCells& other) const { return !(*this == other); }
};

// Everything a person can change in a session, for undo and for putting a session back
// after a replay that failed half-way. The picture itself is not kept: only whether it is
// inverted.
struct SessionState
{
    SheetCells sheet;
    MeasurementRecord record;
    Channel channel = Channel::Red;
    bool inverted = false;
    ColorValue background = 0;
    ChannelLevels levels;
    BackgroundMethod method;
    BackgroundValues averaged;
    bool picked = false;
    float pickX = 0;
    float pickY = 0;
    FrameGeometry frame;
    CellAddress cell;
    double scanValue = 0;
    BandProposals proposals;
    std::vector<LaneStrip> lanes;
    std::vector<std::vector<BandBounds>> handBounds;
    std::vector<LadderLane> ladderLanes;
    SizeFit sizeFit = SizeFit::PointToPoint;
    bool extrapolateSizes = false;
    bool lanesDark = false;
    LaneBackground laneBackground;
    QuantifyMode quantify = QuantifyMode::Frame;
    PeakShape shape = PeakShape::Gaussian;
    SampleTable samples;
    ResultOptions results;
    StainPicture stain;
    LanePicks picks;
    CurveOptions curve;
};

// The Rf and size of every found band, read against the session's ladder lanes.
struct FoundBandSizes
{
    std::vector<BandSize> bands; // per found band, in the proposals' order
    std::vector<int> lanes;      // per found band: the session's lane holding it, or -1
    std::vector<int> places;     // per found band: its place in its lane, top first, or -1
    std::vector<LadderAssignment> assignments; // per ladder lane: the sizes its bands stand for
    std::vector<SizeCalibration> calibrations; // per lane: the curve its bands were read on
    std::vector<SizeStandard> standards;       // per ladder lane: its place and points
    std::vector<double> across;                // per lane: where it lies across the gel
    QStringList notes; // ladder lanes whose bands and sizes differ, and the like
    bool any() const { return !calibrations.empty(); }
};

class MeasurementSession : public QObject
{
    Q_OBJECT
public:
    // The frame a session starts with: 67 x 31 pixels at the picture's top-left corner.
    static constexpr FrameGeometry StartFrame{0, 0, 67, 31};

    // Starts as the window does: no picture, red channel, background 0, the start frame,
    // working cell R1C2 and an empty sheet "#", "Band", "Int.Ctrl", "% to Ctrl" of the
    // window's start size. With a sheet, the session writes its values there (the window's
    // sheet, which the view shows); without, it keeps its own.
    explicit MeasurementSession(QObject* parent = nullptr);
    explicit MeasurementSession(SheetData& sheet, QObject* parent = nullptr);
    // A session on a picture, as the window is after opening it (the batch mode).
    explicit MeasurementSession(const QImage& picture);
    ~MeasurementSession() override;
    MeasurementSession(const MeasurementSession&) = delete;
    MeasurementSession& operator=(const MeasurementSession&) = delete;

    // --- The picture
    bool hasPicture() const { return !m_picture.isNull(); }
    const QImage& picture() const { return m_picture; }
    // Whether the picture has 16 bits per channel.
    bool isDeep() const;
    // Makes picture (converted to the measuring format) the session's picture; path is its
    // file, empty for the clipboard. Clears what belonged to the old picture: inversion,
    // pick point, found bands, last scan; the frame goes to the top-left corner keeping its
    // size. A background of a picture of another depth is converted to the new one's units
    // and the returned text says so ("" when nothing needed saying). The sheet, the record,
    // the channel and the method stay.
    QString setPicture(const QImage& picture, const QString& path);
    // The picture as the record names it. Taking a hash reads the file or the pixels once;
    // a file that went away since gives its pixels' hash. Nothing is hashed before it is
    // asked for; once asked, the hash is kept until the picture or its path changes. When
    // the hash is being taken in the background, this waits for it.
    const PictureIdentity& pictureIdentity();
    // Starts taking the picture's identity on another thread, so that whoever opens the
    // picture goes on while the file is read; pictureIdentity() gives the same as without.
    void startPictureHash();
    // True while the hash started by startPictureHash is still being taken.
    bool pictureHashPending() const;
    // The hashes started and not yet known to have ended: the picture's own, and those of
    // earlier pictures still running when their picture went. The session waits for every
    // one before it goes.
    std::vector<QFuture<std::optional<PictureIdentity>>> pictureHashTasks() const;
    void setPicturePath(const QString& path);
    // The SHA-256 of the picture's pixels as it was opened, whatever its path.
    QByteArray pixelHash() const;
    bool inverted() const { return m_inverted; }

    // --- Channel and background
    Channel channel() const { return m_channel; }
    void setChannel(Channel channel);
    // The background as a colour (8-bit bytes; on a 16-bit picture its top bytes).
    ColorValue background() const { return m_background; }
    // A background colour given directly: no scan. On a 16-bit picture the colour's bytes
    // are widened (255 becomes 65535).
    void setBackground(ColorValue colour);
    // A background given in the picture's own units (0 to 65535 on a 16-bit picture).
    void setBackgroundLevels(const ChannelLevels& levels);
    // The background in the picture's units, as the scans subtract it.
    ChannelLevels backgroundLevels() const;
    // How the scans find their background; a picked pixel at start. The picked area's mean
    // always follows the pick point, the method's size and the picture as it is now.
    const BackgroundMethod& backgroundMethod() const { return m_method; }
    void setBackgroundMethod(const BackgroundMethod& method);
    const BackgroundValues& areaAverage() const { return m_averaged; }
    // A click outside the frame: the pixel's colour becomes the background. No scan: the
    // release that follows scans.
    void pickBackground(float x, float y);
    bool backgroundPicked() const { return m_picked; }
    QPointF pickPoint() const { return QPointF(m_pickX, m_pickY); }
    // The read-out text of the background in use: "Bkgrnd (RGB)=R,G,B" in the picture's
    // units, or the method's own ("Area 5x5=...", "Border 2 mean=...", "Lane minima").
    QString backgroundReadout() const;

    // --- Frame and working cell
    FrameGeometry frame() const { return m_frame; }
    void setFrame(const FrameGeometry& frame);
    CellAddress workingCell() const { return m_cell; }
    QString cellCaption() const { return workingCellCaption(m_cell.row, m_cell.column); }
    // A click on a sheet cell: only columns 2 and 3 of rows from 1 become the working
    // cell; picking the last row grows the sheet by one row. False for other cells.
    bool pickCell(int row, int column);

    // --- Scanning
    // Inverts the picture and scans the current frame, as the Invert command does.
    void invert();
    // Inverts the picture without scanning.
    void invertPicture();
    // Places the frame and scans it, as a release after dragging does.
    double scanFrame(const FrameGeometry& frame);
    // Calculate: scans the frame with the method, writes the sum into the working cell
    // (when it names column 2 or 3) with a note when any sample was at full scale, at 0 or
    // off the picture, records it and runs the sheet pass. Returns the sum. Throws
    // PlanError, writing nothing, when the method finds no background, and Error when the
    // frame's ends do not fit the counters. Without a picture nothing happens.
    double calculate();
    double scanValue() const { return m_scanValue; }
    const ScanResult& lastScan() const { return m_lastMethodScan.scan; }
    const MethodScan& lastMethodScan() const { return m_lastMethodScan; }

    // --- Sheet and record
    SheetData& sheet() { return *m_sheet; }
    const SheetData& sheet() const { return *m_sheet; }
    const MeasurementRecord& record() const { return m_record; }
    // Recording can be switched off (to measure what it costs).
    void setRecording(bool on) { m_recording = on; }
    // A scan written into the sheet at cell (the found bands' scans): recorded with the
    // session's picture, channel, background and method.
    // With size, the band's size is kept with it.
    void recordScan(const CellAddress& cell, const FrameGeometry& frame, const ScanResult& scan,
                    const LaneSource& lane = {}, const BandSizeSource& size = {});
    // A value typed or pasted into a cell: written as it is, no scan, no sheet pass.
    void setValue(int row, int column, const QString& text, ValueSource source);
    // Cells the sheet's editor already changed (typed, pasted or deleted): recorded as
    // they now read.
    void recordEdits(const SheetRange& range, bool pasted);
    // Clear: empties the sheet's four columns and the record.
    void clearSheet();
    // Whether the sheet holds values not yet saved; saving marks them saved.
    bool hasUnsavedResults() const { return m_unsaved; }
    void markSaved();

    // --- Found bands (their lanes: setLanes)
    BandProposals& proposals() { return m_proposals; }
    const BandProposals& proposals() const { return m_proposals; }
    // After the proposals were changed through proposals().
    void proposalsEdited();

    // --- Lanes
    // The lanes the finder found or the person drew. A lane method's scan of a frame that a
    // lane holds takes the lane's baseline; band volumes are taken on them.
    const std::vector<LaneStrip>& lanes() const { return m_lanes; }
    // Whether the lanes' bands are darker than their background (as the finder saw them);
    // volumes are read so that bands stand high either way.
    bool lanesDark() const { return m_lanesDark; }
    void setLanes(std::vector<LaneStrip> lanes, bool darkBands);
    // A lane drawn by the person, clipped to the picture; false (nothing added) for one
    // that leaves nothing on the picture.
    bool addLane(const LaneStrip& lane);
    void removeLane(int index);
    // The lane holding the frame, the narrowest when several do; -1 for none.
    int laneHolding(const FrameGeometry& frame) const;
    // --- Ladder lanes: band sizes
    // The lanes marked as ladders, by lane index; cleared with the lanes.
    const std::vector<LadderLane>& ladderLanes() const { return m_ladderLanes; }
    // The ladder lane `lane` stands for, or nullptr when it is no ladder lane.
    const LadderLane* ladderOf(int lane) const;
    // Marks lane `lane` as running `ladder`, or unmarks it (nullopt). Its sizes go to its
    // bands top to bottom. False for a lane that is not there.
    bool setLaneLadder(int lane, const std::optional<Ladder>& ladder);
    // A person's choice for a ladder lane's band (its place in the lane, top first): it
    // stands for size `sizeIndex` of the ladder, or for none (LadderAssignment::Skipped).
    // False with a reason, nothing changed, for a lane that is no ladder lane, or a band or
    // size that is not there. The choice holds while the lane keeps as many bands.
    bool reassignLadderBand(int lane, int band, int sizeIndex, QString* error = nullptr);
    SizeFit sizeFit() const { return m_sizeFit; }
    void setSizeFit(SizeFit fit);
    bool extrapolateSizes() const { return m_extrapolate; }
    void setExtrapolateSizes(bool on);
    // Every found band's Rf (from the lane's first position to its last) and size, read at
    // its frame's middle along; empty calibrations when no lane is a ladder lane.
    FoundBandSizes foundBandSizes() const;
    // What found band `index` (in the proposals' order) was sized on, for the record: none
    // when it has no size, or is a ladder band that stands for none.
    BandSizeSource bandSizeSource(const FoundBandSizes& sizes, int index) const;
    // A replay's band-size line: the next value scanned or quantified is that band, and its
    // size is kept with it.
    void setNextBandSize(const BandSizeSource& size) { m_nextSize = size; }

    // The baseline under volumes, and how bands are quantified from the found frames.
    const LaneBackground& laneBackground() const { return m_laneBackground; }
    void setLaneBackground(const LaneBackground& background);
    QuantifyMode quantifyMode() const { return m_quantify; }
    void setQuantifyMode(QuantifyMode mode);
    PeakShape peakShape() const { return m_shape; }
    void setPeakShape(PeakShape shape);
    // The lane's profile and baseline as volumes are taken.
    LaneMeasure laneMeasure(int index) const;
    // The boundaries of the found bands the lane holds, in order along it: as the person
    // set them, while the lane holds as many bands as then, else as found on its profile.
    // With measure (the lane's laneMeasure), the lane is not read again.
    std::vector<BandBounds> laneBands(int index, const LaneMeasure* measure = nullptr) const;
    // A boundary dragged in the lane profile: band's start (or end, with end) to position;
    // see withBoundaryMoved. False when the lane or band is not there.
    bool moveBandBoundary(int lane, int band, bool end, int position);
    // Scans a frame with the method, on the baseline of the lane that holds it when the
    // method is a lane method; lane says which lane (none when the frame's own rows).
    MethodScan scanFrameWithMethod(const FrameGeometry& frame, LaneSource* lane = nullptr) const;
    // The found frames quantified as the quantify mode says: Frame scans each frame with
    // the method; Profile and Fit take the volumes of each lane's bands on its profile.
    // Throws Error naming the band or lane that cannot be quantified; with failures, bands
    // whose fit cannot be made are left out and described there instead.
    std::vector<FoundBandScan> quantifyProposals(QStringList* failures = nullptr) const;
    // A volume written into the working cell and recorded, as a replay takes it: the
    // band's (Fit: the band-th of the bands fitted together) on the lane. Returns it.
    // Throws PlanError when it cannot be taken.
    double quantifyBand(const LaneSource& source);

    // --- What each lane holds (the sample table), for normalized results
    // Cleared with the lanes' picture; kept when lanes are found again, since the lanes
    // are numbered as before.
    const SampleTable& sampleTable() const { return m_samples; }
    void setSampleTable(SampleTable table);
    // A row for its lane and blot: replaces the row there, or adds one.
    void setSampleRow(const SampleRow& row);
    // How results are made from the lanes' bands: target, loading control, reference,
    // flagged lanes left out or not, the spread drawn (see core/sessionresults.h).
    const ResultOptions& resultOptions() const { return m_resultOptions; }
    void setResultOptions(const ResultOptions& options);
    // The stain picture whose lane totals are the control "stain" (see makeStainPicture);
    // cleared with the picture. A null one takes it away.
    const StainPicture& stainPicture() const { return m_stain; }
    void setStainPicture(const StainPicture& stain);
    // The target bands picked in single lanes; an empty list takes the lane's picks away.
    // Cleared with the picture.
    const LanePicks& targetPicks() const { return m_picks; }
    void setTargetPicks(int lane, const std::vector<int>& bands);
    // How the standards' curve is fitted (model, weighting, the linear range's residual
    // limit), for the amounts read off it (see core/standardresults.h).
    const CurveOptions& curveOptions() const { return m_curveOptions; }
    void setCurveOptions(const CurveOptions& options);

    // --- The sheet pass
    // While on (a replay), the pass after each scan passes only the rows changed since the
    // last one, which leaves the sheet as a whole pass would: a long plan costs in
    // proportion to its frames. The first pass after switching on is whole.
    void setPassingChangedRows(bool on);

    // --- Undo
    SessionState state() const;
    // Puts the state back (re-inverting the picture when its inversion differs).
    void restore(const SessionState& state);

Q_SIGNALS:
    // A new picture (also after inverting: the pixels changed).
    void pictureChanged();
    // Channel, background, method or pick point.
    void backgroundChanged();
    void frameChanged();
    void workingCellChanged();
    // A scan was made (its value is scanValue(), its counts lastScan()).
    void scanned();
    void proposalsChanged();
    // The lanes, or how volumes are taken on them.
    void lanesChanged();
    // The sample table.
    void sampleTableChanged();
    // The result options, the stain picture or the lanes' picks.
    void resultOptionsChanged();
    void curveOptionsChanged();
    // Anything undoable changed; the window's undo stack listens through its commands.
    void changed();

private:
    void startSheet();
    void rowsChanged(int first, int last);
    void passSheet();
    void recomputeAverage();
    void resetPictureState();

    QImage m_picture;
    Channel m_channel = Channel::Red;
    ColorValue m_background = 0;
    ChannelLevels m_levels; // the background of a 16-bit picture
    BackgroundMethod m_method;
    BackgroundValues m_averaged; // the picked area's mean
    MethodScan m_lastMethodScan;
    FrameGeometry m_frame = StartFrame;
    CellAddress m_cell{1, 2};
    double m_scanValue = 0;
    std::unique_ptr<SheetData> m_ownSheet;
    SheetData* m_sheet = nullptr;
    MeasurementRecord m_record;
    bool m_recording = true;
    bool m_unsaved = false;
    QString m_picturePath;
    PictureIdentity m_identity;
    // The identity being taken in the background; empty when it could not be taken there.
    QFuture<std::optional<PictureIdentity>> m_pendingIdentity;
    // Hashes of pictures that went while they were taken: cancelled where not begun yet,
    // waited for when the session goes, so that none runs on past it.
    std::vector<QFuture<std::optional<PictureIdentity>>> m_abandonedIdentities;
    void abandonPictureHash();
    bool m_inverted = false;
    bool m_picked = false;
    float m_pickX = 0;
    float m_pickY = 0;
    BandProposals m_proposals;
    std::vector<LaneStrip> m_lanes;
    std::vector<std::vector<BandBounds>> m_handBounds; // per lane; empty: as found
    std::vector<LadderLane> m_ladderLanes;             // by lane index
    SizeFit m_sizeFit = SizeFit::PointToPoint;
    bool m_extrapolate = false;
    bool m_lanesDark = false;
    LaneBackground m_laneBackground;
    QuantifyMode m_quantify = QuantifyMode::Frame;
    PeakShape m_shape = PeakShape::Gaussian;
    SampleTable m_samples;
    ResultOptions m_resultOptions;
    StainPicture m_stain;
    LanePicks m_picks;
    CurveOptions m_curveOptions;
    LaneSource m_lastLane;     // the lane the last scan took its baseline from
    BandSizeSource m_nextSize; // a replay's: the size of the next value written
    bool m_passChangedRows = false;
    bool m_allRowsChanged = true;
    std::vector<int> m_changedRows;
};

// The boundaries with band's start (end) moved to position, within the lane's ends
// [first, last]: a boundary the neighbour shares (a drop line between touching bands) moves
// for both, and no band is left shorter than one position or crosses its neighbour.
std::vector<BandBounds> withBoundaryMoved(std::vector<BandBounds> bounds, int band, bool end,
                                          int position, int first, int last);

// How a plan is replayed.
struct ReplayOptions
{
    // Replay on a picture whose hash is not the plan's.
    bool ignoreHash = false;
    // Opens the picture a plan's picture line names and makes it the session's (through
    // setPicture). Without it the session's picture stands for every picture line, and a
    // plan naming more than one picture is refused.
    std::function<void(const PlanStep& step)> openPicture;
    // Opens the picture a stain line names; without it the file is read as the line
    // names it. Either way the stain picture must be the session's picture's size.
    std::function<QImage(const PlanStep& step)> openStain;
};

// Runs the plan's steps in order. Returns every frame step's scan with its counts.
// Throws PlanError, naming the step, for a background point off the picture (a click
// there is impossible in the window, and would read no colour) or a background colour
// beyond the picture's range, and PictureHashError for a picture-sha256 that is not the
// session's picture's (unless ignoreHash).
std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan,
                                                  const ReplayOptions& options);
std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan,
                                                  bool ignoreHash = false);
// The same, returning the scan values.
std::vector<double> runMeasurementPlan(MeasurementSession& session, const MeasurementPlan& plan,
                                       bool ignoreHash = false);

// The pictures a plan names, in the order they are first named (path "" for a pasted one).
QStringList planPictures(const MeasurementPlan& plan);

// The message of a plan replayed on another picture, naming both hashes.
QString pictureHashMessage(const QString& where, const QByteArray& expected,
                           const QByteArray& found);

} // namespace kesto
