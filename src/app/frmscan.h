#pragma once

// frmScan: the start-up window and the only workspace. The gel picture on the left in a
// scrolling viewport with the scan frame over it, the results sheet on the right, the
// command bar across the top. The panels (lane profile, found bands) are dock widgets
// beside the picture or the sheet, or floating; their places are kept between runs.

#include "app/picturebox.h"
#include "components/commondialog.h"
#include "core/backgroundscan.h"
#include "core/channellevels.h"
#include "core/integration.h"
#include "core/measurementplan.h"
#include "core/measurementrecord.h"
#include "core/measurementsession.h"
#include "core/sheetlayout.h"

#include <QMainWindow>
#include <QPointF>
#include <QUndoStack>

#include <cstdint>
#include <memory>
#include <vector>

class QDockWidget;
class QLabel;
class QScrollBar;

namespace kesto {

class CommandBar;
class LaneProfilePanel;
class MeasurementSession;
class PictureTool;
class ScanFrameTool;
class SessionUndo;
class Tool;
class Worksheet;

class frmScan : public QMainWindow
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

    // The measuring session the window shows: picture, channel, background, frame,
    // working cell, sheet values, record and found bands.
    MeasurementSession& session() const { return *m_session; }
    // Edit -> Undo / Redo over every change a person makes to the session.
    QUndoStack* undoStack() const;
    // Makes what changed in the session since the last step one step of the undo stack.
    void commitUndo(const QString& text);
    // A new starting point: the undo stack forgets every step (a new picture or plan).
    void resetUndo();
    // Asks "Save changes?" when the sheet holds unsaved results; false when the person
    // cancels (or saving failed), true when the work may go.
    bool maybeSaveChanges();
    // "KestoScan Version 4.0.1": the title without a picture, and the printed header.
    QString programTitle() const;

    // Pointer tools on the picture: the scan frame's, and those added (found bands), each
    // offered a press before it, the latest first. Not owned.
    ScanFrameTool& scanFrameTool() const { return *m_frameTool; }
    void addPictureTool(PictureTool* tool);

    // Layout state.
    std::vector<double> ColumnRatios;
    // The highlighted working cell; 0 until the first pick.
    int workRow() const { return m_workRow; }
    int workColumn() const { return m_workCol; }

    // Loads a picture file into picImage through the same path as Open: on failure the
    // message "Cannot load image:" and the file name, and nothing else changes.
    bool openPicture(const QString& path);
    // Makes picture the shown picture (converted to the working format) and fits the
    // scroll bars; the frame goes back to the top-left corner.
    // Clears what belonged to the last picture (found bands, notes, origin, zoom, undo
    // steps) and tells when the background was converted to the new picture's units.
    // A pasted picture keeps the frame where it is (frameToCorner false).
    void showPicture(const QImage& picture, bool frameToCorner = true);

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
    // The docks the panels live in, hidden until a panel is first shown; a dock closed by
    // the person unchecks its View command.
    QDockWidget* laneProfileDock() const { return m_laneDock; }
    QDockWidget* foundBandsDock() const { return m_bandsDock; }
    // Where the panels' places are kept (an INI file); empty, the default, keeps nothing.
    // The program sets the user's file; the window reads it when made and writes it when
    // closed.
    static void setLayoutSettingsPath(const QString& path);
    static QString layoutSettingsPath();

    // What the numbers may hide: the last scan's samples at full scale, at 0 or off the
    // picture (lblScanFlag, beside the Scan read-out, in a warning colour, and a note on
    // the cell that got the scan), and a JPEG picture's lossy values (lblLossy, a strip
    // over the picture while it is open).
    QLabel* lblScanFlag = nullptr;
    QLabel* lblLossy = nullptr;

    // How scans find their background (Image -> Background Method...): the picked pixel
    // at start.
    void chooseBackgroundMethod();
    void setBackgroundMethod(const BackgroundMethod& method);
    QString backgroundReadout() const;
    void showScanFlag(const ScanResult& scan);
    void setLossyNotice(bool lossy);
    void pickBackgroundAt(float x, float y);
    QString colorReadout(float x, float y) const;

    // Where every value of the sheet came from: the session's record. A cell's tip shows
    // its entry, and clicking a scanned cell outlines its frame (shpOrigin) until the next
    // pointer event on the picture.
    RectShape shpOrigin{0, 0, -1, -1, rgbValue(0, 200, 0)};
    void recordEdits(int firstRow, int firstColumn, int lastRow, int lastColumn, bool pasted);
    QString cellTip(int row, int column) const;
    void showOrigin(int row, int column);
    void hideOrigin();
    // The Measurements sheet of the record, for the workbook's second sheet.
    void fillMeasurements(SheetData& sheet) const;
    // File -> Save Measurement Plan / Open Measurement Plan.
    void saveMeasurementPlan();
    void openMeasurementPlan();
    // Replays the plan's steps through the session, opening the pictures it names. Throws
    // PlanError (and PictureHashError unless ignoreHash) naming the step; the session is
    // then put back as it was.
    void replayPlan(const MeasurementPlan& plan, bool ignoreHash);
    // Saves the sheet (File -> Save); false when nothing was saved.
    bool saveResults();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Lays the controls out again when the docks change the room left for them.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void layoutControls();
    // The room for the picture and the sheet, in the window's coordinates: below the
    // command bar and between the docked panels.
    QRect workArea() const;
    void createDocks();
    void savePanelPlaces() const;

    void setFrame(const RectShape& frame);
    void createNotices();
    void layoutNotices();

    // Follow the session: frame, read-outs, working cell, picture.
    void syncFrame();
    void syncBackground();
    void syncWorkingCell();
    void syncPicture();

    MeasurementSession* m_session = nullptr;
    std::unique_ptr<ScanFrameTool> m_frameTool;
    std::vector<PictureTool*> m_tools;
    PictureTool* m_activeTool = nullptr;
    SessionUndo* m_undo = nullptr;
    bool m_replaying = false;
    int m_workRow = 0;
    int m_workCol = 0;
    bool m_loaded = false;
    double m_hScrollScale = 1.0;
    double m_vScrollScale = 1.0;
    QString m_openingPath;
    QWidget* m_workspace = nullptr;
    QDockWidget* m_laneDock = nullptr;
    QDockWidget* m_bandsDock = nullptr;
    bool m_layingOut = false;
    // Every method's settings as last typed in the Background Method dialog.
    BackgroundMethod m_typedMethod;
};

} // namespace kesto
