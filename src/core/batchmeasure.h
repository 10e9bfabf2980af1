#pragma once

// Measuring without the window: the main window's measuring state (picture, channel,
// background, scan frame, working-cell read-out and results sheet) as a plain object.
// Every step calls the same functions as frmScan does (integrateFrame, doubleText,
// parseWorkingCell, runWorkingSheetPass, invertPicture, pixelAt), so a replayed plan
// gives the numbers a person gets in the window.

#include "core/backgroundscan.h"
#include "core/integration.h"
#include "core/measurementplan.h"
#include "core/measurementrecord.h"
#include "core/sheetdata.h"

#include <QImage>
#include <QString>

#include <vector>

namespace kesto {

class MeasurementSession
{
public:
    // The frame the window starts with: 67 x 31 pixels at the picture's top-left corner.
    static constexpr FrameGeometry StartFrame{0, 0, 67, 31};

    // Starts as the window does after opening the picture: red channel, background 0,
    // the start frame, working cell R1C2 and an empty sheet "#", "Band", "Int.Ctrl",
    // "% to Ctrl" of the window's start size. The picture is converted to the working
    // format once.
    explicit MeasurementSession(const QImage& picture);
    MeasurementSession(const MeasurementSession&) = delete;
    MeasurementSession& operator=(const MeasurementSession&) = delete;

    const QImage& picture() const { return m_picture; }
    Channel channel() const { return m_channel; }
    ColorValue background() const { return m_background; }
    FrameGeometry frame() const { return m_frame; }
    QString cellCaption() const { return m_cellCaption; }
    double scanValue() const { return m_scanValue; }
    SheetData& sheet() { return m_sheet; }
    const SheetData& sheet() const { return m_sheet; }

    // The channel tools: no scan.
    void setChannel(Channel channel) { m_channel = channel; }
    // A background colour given directly: no scan. On a 16-bit picture the colour's bytes
    // are widened (255 becomes 65535).
    void setBackground(ColorValue colour);
    // A background given in the picture's own units (0 to 65535 on a 16-bit picture).
    void setBackgroundLevels(const ChannelLevels& levels);
    // The background in the picture's units, as the scans subtract it.
    ChannelLevels backgroundLevels() const;
    // How the scans find their background; a picked pixel at start. A pick takes the
    // area's mean too, for the picked-area method.
    const BackgroundMethod& backgroundMethod() const { return m_method; }
    void setBackgroundMethod(const BackgroundMethod& method) { m_method = method; }
    // The last scan with its counts.
    const ScanResult& lastScan() const { return m_lastScan; }
    // A click outside the frame: the pixel's colour becomes the background, and the
    // release that follows scans the current frame.
    void pickBackground(float x, float y);
    // The Invert command: inverts the picture and scans the current frame.
    void invert();
    // A click on a sheet cell: only columns 2 and 3 of rows from 1 become the working
    // cell; picking the last row grows the sheet by one row.
    void pickCell(int row, int column);
    // Places the frame and scans it, as a release after dragging does.
    double scanFrame(const FrameGeometry& frame);
    // The window's Calculate: sums the frame, writes the sum into the working cell (when
    // it names column 2 or 3), notes the counts there when any sample was at full scale,
    // at 0 or off the picture, and runs the sheet pass. Returns the sum. Throws PlanError,
    // writing nothing, when the background method finds no background.
    double calculate();

    // The record of every value written into the sheet, filled as the window fills its own.
    // Recording can be switched off (to measure what it costs).
    const MeasurementRecord& record() const { return m_record; }
    void setRecording(bool on) { m_recording = on; }
    // The picture as the record names it: its file (whose hash the plan's picture-sha256
    // is checked against) or, with no path, the clipboard (its pixels' hash). Taking a
    // hash reads the file or the pixels once.
    void setPicturePath(const QString& path);
    const PictureIdentity& pictureIdentity();
    // The SHA-256 of the picture's pixels as it was opened, whatever its path.
    QByteArray pixelHash() const;
    // Whether the picture is inverted now.
    bool inverted() const { return m_inverted; }
    // A value typed or pasted into a cell: written as it is, no scan, no sheet pass, as
    // the window's sheet editor does.
    void setValue(int row, int column, const QString& text, ValueSource source);

private:
    QImage m_picture;
    Channel m_channel = Channel::Red;
    ColorValue m_background = 0;
    ChannelLevels m_levels; // the background of a 16-bit picture
    BackgroundMethod m_method;
    BackgroundValues m_averaged; // the picked area's mean
    ScanResult m_lastScan;
    FrameGeometry m_frame = StartFrame;
    QString m_cellCaption;
    double m_scanValue = 0;
    SheetData m_sheet;
    MeasurementRecord m_record;
    bool m_recording = true;
    QString m_picturePath;
    PictureIdentity m_identity;
    bool m_inverted = false;
    bool m_picked = false;
    float m_pickX = 0;
    float m_pickY = 0;
};

// Runs the plan's steps in order. Returns the scan value of every frame step, in order.
// Throws PlanError, naming the step, for a background point off the picture (a click
// there is impossible in the window, and would read no colour), and PictureHashError for
// a picture-sha256 that is not the session's picture's (unless ignoreHash).
std::vector<double> runMeasurementPlan(MeasurementSession& session, const MeasurementPlan& plan,
                                       bool ignoreHash = false);
// The same, returning every frame step's scan with its counts.
std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan,
                                                  bool ignoreHash = false);

// The message of a plan replayed on another picture, naming both hashes.
QString pictureHashMessage(const QString& where, const QByteArray& expected,
                           const QByteArray& found);

} // namespace kesto
