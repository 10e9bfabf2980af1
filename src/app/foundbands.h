#pragma once

// Found bands on the main window: Image -> Find Lanes and Bands runs the lane finder over
// the picture (or inside the scan frame when the person has sized it larger than it
// starts), shows the proposed frames as numbered outlines over the picture and lists them
// in a panel; the person adjusts them with the pointer (Shift+drag moves a frame or sizes
// it by its lower-right corner, Ctrl+drag draws a new one, Delete removes the chosen one)
// and scans them into the sheet, one row per lane, or into the report window, one row per
// band, with the very integration a hand-placed frame gets.

#include "app/picturetool.h"
#include "core/foundbands.h"
#include "core/ladders.h"

#include <QObject>
#include <QRect>

namespace kesto {

class FoundBandsPanel;
class SizeCalibrationWindow;
class PictureBox;
class frmScan;

class FoundBandsTool : public QObject, public PictureTool
{
    Q_OBJECT
public:
    // The scan frame's start size: a frame sized beyond it in both directions marks the
    // part of the picture to search.
    static constexpr int StartFrameWidth = 67;
    static constexpr int StartFrameHeight = 31;

    // The window's tool, made on first use.
    static FoundBandsTool& of(frmScan& form);

    explicit FoundBandsTool(frmScan& form);

    // Image -> Find Lanes and Bands.
    void find();
    // Image -> Scan Found Bands: asks for the band and the control band and fills one sheet
    // row per lane below the sheet's used rows.
    void scanIntoSheet();
    // Report -> Send Found Bands to Report: asks for the control band and appends every
    // frame to the report window's table.
    void sendToReport();
    // Image -> Scan Frame as Lane: a straight lane where the scan frame is, its width the
    // frame's, running the way lanes run.
    void addLaneFromFrame();
    // Image -> Mark as Ladder: asks which ladder the chosen band's lane runs (or that it
    // runs none), or with no band chosen, first which lane; every found band then shows its
    // Rf and size.
    void markLadder();
    // Image -> Size Calibration: the ladder's points, the curve and its errors.
    void showCalibration();
    // Image -> Ladder Band Size: which ladder size the chosen band of a ladder lane stands
    // for, or none (a band the ladder does not have, or a smear).
    void assignLadderSize();
    // Shows the session's found bands as they now are: frames, lanes, list and sizes.
    void refresh();

    // The part of the picture find() searches: the scan frame's pixels when it is larger
    // than its start size, else an empty rectangle for the whole picture.
    QRect searchRegion() const;

    const BandProposals& proposals() const { return m_proposals; }
    int selected() const { return m_selected; }
    void select(int index);
    void removeSelected();
    void clear();
    // Shows the last search's proposals that reach the sensitivity (0 to 100), as the
    // panel's slider does: the picture is not searched again, and frames the person
    // changed are proposed afresh.
    void setSensitivity(double sensitivity);
    double sensitivity() const { return m_sensitivity; }
    // The panel; nullptr until the first find.
    FoundBandsPanel* panel() const { return m_panel; }

    // Shift+drag moves or sizes a frame, Ctrl+drag draws one, while there are proposals or
    // the panel shows.
    bool press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y) override;
    void move(float x, float y) override;
    void release(Qt::MouseButton button, float x, float y) override;

protected:
    // Delete on the picture removes the chosen frame.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Drag { None, Move, Size, Draw };

    bool editing() const;
    bool pointerPressed(Qt::KeyboardModifiers modifiers, float x, float y);
    void pointerMoved(float x, float y);
    void pointerReleased(float x, float y);
    // The frame the current drag makes, within the picture.
    FoundFrame draggedFrame(float x, float y) const;
    void showPanel();
    // Per scan, its band's size for the report's description; none without a ladder lane.
    QStringList reportSizes(const std::vector<FoundBandScan>& scans) const;
    // The found band a scan was made of (its index in the proposals), or -1.
    int proposalOf(const FoundBandScan& scan) const;
    // Scans every frame; false (after saying why) when a scan cannot be made.
    bool scanAll(std::vector<FoundBandScan>& scans);
    // Tells the person; false when there is nothing to scan.
    bool haveProposals();
    QString alongWord() const;

    frmScan& m_form;
    PictureBox* m_box = nullptr;
    BandProposals& m_proposals; // the session's
    FoundBandsPanel* m_panel = nullptr;
    int m_selected = -1;
    Drag m_drag = Drag::None;
    FoundFrame m_start; // the frame as the drag found it
    float m_grabX = 0;
    float m_grabY = 0;
    QString m_searched; // what the last find searched, for the panel
    QString m_region;   // where the last find searched
    LaneFinding m_all;  // the last find's proposals at the highest sensitivity
    LaneOrientation m_orientation = LaneOrientation::Vertical;
    double m_sensitivity = LaneFinderOptions::DefaultSensitivity;
    SizeCalibrationWindow* m_calibration = nullptr;
};

} // namespace kesto
