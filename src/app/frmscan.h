#pragma once

// frmScan: the start-up window and the only workspace. The gel picture on the left in a
// scrolling viewport with the scan frame over it, the results sheet on the right, the
// command bar across the top.

#include "app/picturebox.h"
#include "components/commondialog.h"
#include "core/channellevels.h"
#include "core/integration.h"
#include "core/backgroundscan.h"
#include "core/measurementplan.h"
#include "core/measurementrecord.h"
#include "core/sheetlayout.h"

#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QScrollBar;

namespace kesto {

class CommandBar;
class LaneProfilePanel;
class Tool;
class Worksheet;

class frmScan : public QWidget
{
    Q_OBJECT
public:
    // The sheet's starting size and column widths.
    static constexpr int StartRows = MainSheet::StartRows;
    static constexpr int Columns = MainSheet::Columns;
    static constexpr const int (&StartColumnWidths)[Columns] = MainSheet::StartColumnWidths;
    // The smallest outer size in twips.
    static constexpr int MinimumWidthTwips = 9200;
    static constexpr int MinimumHeightTwips = 5700;

    explicit frmScan(QWidget* parent = nullptr);
    ~frmScan() override;

    // Public methods, called by the command handlers and the pointer handlers.
    void Calculate();
    void CopyImage();
    void ResizePicture();
    void LoadImage();

    // Controls, in their creation order.
    QScrollBar* HScroll = nullptr;
    QScrollBar* VScroll = nullptr;
    QWidget* picContainer = nullptr;
    PictureBox* picImage = nullptr;
    RectShape shpPoint;
    RectShape shpPointer;
    QLabel* lblTitle = nullptr;
    CommandBar* tbrMain = nullptr;
    CommonDialog dlgDialog;
    Worksheet* f1Report = nullptr;

    // State fields.
    ColorValue BackgroundColor = 0;
    double ScanValue = 0;
    std::vector<double> ColumnRatios;
    bool Moving = false;
    bool Sizing = false;
    float GrabX = 0;
    float GrabY = 0;
    std::int32_t WorkRow = 0;
    std::int32_t WorkCol = 0;

    // Loads a picture file into picImage through the same path as Open: on failure the
    // message "Cannot load image:" and the file name, and nothing else changes.
    bool openPicture(const QString& path);
    // Makes picture the shown picture (converted to the working format) and fits the
    // scroll bars; the frame goes back to the top-left corner.
    void showPicture(const QImage& picture);

    // Tool lookups the handlers use; the band's own copy of the tool.
    Tool& tool(int band, const QString& name) const;
    void setReadout(int band, const QString& name, const QString& text);

    // Pointer handlers of picImage; X and Y in picture pixels.
    void picImage_MouseDown(float x, float y);
    void picImage_MouseMove(float x, float y);
    void picImage_MouseUp(float x, float y);
    // Cell-pick and sheet-focus handlers of f1Report.
    void f1Report_Click(int row, int column);
    void f1Report_MouseDown();
    void HScroll_Change();
    void VScroll_Change();

    // Moves the frame (and the handle with it) to left, top.
    void moveFrameTo(float left, float top);

    // View zoom, widget pixels per picture pixel from 1/16 to 16; commands and pointer
    // handlers keep working in picture pixels at every zoom. anchor (in picContainer's
    // coordinates) keeps the picture point under it in place; the default is the centre.
    static constexpr double MinZoom = 1.0 / 16.0;
    static constexpr double MaxZoom = 16.0;
    double zoom() const;
    void setZoom(double zoom);
    void setZoom(double zoom, const QPointF& anchor);
    void zoomIn();
    void zoomOut();
    // The largest zoom that shows the whole picture in the viewport.
    void fitToWindow();
    // Fits the scroll ranges to the viewport and the zoomed picture, keeping the part of
    // the picture in view that is in view now, where the new ranges allow.
    void refitScrollBars();
    // View -> Lane Profile: shows or hides the profile panel, which follows every scan.
    void toggleLaneProfile();
    void updateLaneProfile();
    LaneProfilePanel* lanePanel = nullptr;

    // What the numbers may hide: the last scan's samples at full scale, at 0 or off the
    // picture (lblScanFlag, beside the Scan read-out, in a warning colour, and a note on
    // the cell that got the scan), and a JPEG picture's lossy values (lblLossy, a strip
    // over the picture while it is open). BackgroundLevels is the background of a 16-bit
    // picture in its units; on 8-bit pictures BackgroundColor alone counts.
    QLabel* lblScanFlag = nullptr;
    QLabel* lblLossy = nullptr;
    ChannelLevels BackgroundLevels;

    // How scans find their background (Image -> Background Method...): the picked pixel
    // at start. BackgroundAverage is the picked area's mean, taken at every pick;
    // LastMethodScan the background the last scan used, for the read-out and the profile.
    BackgroundMethod ScanBackgroundMethod;
    BackgroundValues BackgroundAverage;
    MethodScan LastMethodScan;
    QPointF LastPick{-1, -1};
    void chooseBackgroundMethod();
    void setBackgroundMethod(const BackgroundMethod& method);
    QString backgroundReadout() const;
    ScanResult LastScan;
    // Whether the person has picked a background; the lane finder detects it otherwise.
    bool BackgroundPicked = false;
    void showScanFlag(const ScanResult& scan);
    void setLossyNotice(bool lossy);
    void pickBackgroundAt(float x, float y);
    QString colorReadout(float x, float y) const;

    // Where every value of the sheet came from. Scans record the picture (PictureId, its
    // hash taken when it is opened or pasted), the channel, PictureInverted, the
    // background and where it was picked, and the frame; typed and pasted texts record
    // themselves. Clear empties the record with the sheet. A cell's tip shows its entry,
    // and clicking a scanned cell outlines its frame (shpOrigin) until the next pointer
    // event on the picture.
    MeasurementRecord Record;
    PictureIdentity PictureId;
    bool PictureInverted = false;
    float PickX = 0;
    float PickY = 0;
    RectShape shpOrigin{0, 0, -1, -1, rgbValue(0, 200, 0)};
    // A new picture: its identity (path "" for the clipboard) and no inversion.
    void rememberPicture(const QString& path);
    void recordScan(const CellAddress& cell, const FrameGeometry& frame, Channel channel,
                    const ScanResult& scan);
    void recordEdits(int firstRow, int firstColumn, int lastRow, int lastColumn, bool pasted);
    QString cellTip(int row, int column) const;
    void showOrigin(int row, int column);
    void hideOrigin();
    // The Measurements sheet of the record, for the workbook's second sheet.
    void fillMeasurements(SheetData& sheet) const;
    // File -> Save Measurement Plan / Open Measurement Plan.
    void saveMeasurementPlan();
    void openMeasurementPlan();
    // Replays the plan's steps through the window's own commands. Throws PlanError (and
    // PictureHashError unless ignoreHash) naming the step.
    void replayPlan(const MeasurementPlan& plan, bool ignoreHash);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void layoutControls();

    void setFrame(const RectShape& frame);
    void createNotices();
    void layoutNotices();

    bool m_loaded = false;
    double m_hScrollScale = 1.0;
    double m_vScrollScale = 1.0;
    QString m_openingPath;
};

} // namespace kesto
