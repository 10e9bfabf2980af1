#include "app/mainbar.h"

#include "app/displaylevelscommand.h"
#include "app/exportcommands.h"
#include "app/foundbands.h"
#include "app/frmscan.h"
#include "app/maincommands.h"
#include "app/pictureinformation.h"
#include "app/resultswindow.h"
#include "components/barlayout.h"
#include "components/module1.h"
#include "report/frmreport.h"

#include <QStringList>

#include <functional>
#include <utility>

namespace kesto {

namespace {

using namespace barlayout;

// A tool whose caption the program rewrites, with the widest text it is expected to show.
ToolSpec readout(ToolSpec tool, const char* widest)
{
    tool.widest = QLatin1String(widest);
    return tool;
}

} // namespace

BarLayout mainBarLayout()
{
    return {
        band("bndMain", "bndMain", BandKind::MenuBar,
             {entry("mnuFile", "&File", "bndFile"), entry("mnuEdit", "&Edit", "bndEdit"),
              entry("mnuImage", "&Move", "bndImage"), entry("mnuPicture", "&Image", "mnuPicture"),
              entry("mnuView", "&View", "bndView"), entry("mnuOptions", "&Report", "bndOptions")}),
        band("bndFile", "&File", BandKind::Popup,
             {button("mnuOpen", "&Open picture file", "", "open"),
              button("mnuSave", "&Save Report", "", "save"),
              button("mnuSavePlan", "Save Measurement &Plan..."),
              button("mnuOpenPlan", "&Open Measurement Plan..."),
              button("mnuExportFigure", "Export &Figure..."),
              button("mnuExportReport", "Export &Report (PDF)..."), separator(1),
              button("mnuExit", "&Exit", "", "exit")}),
        band("bndToolbar", "Toolbar", BandKind::Toolbar,
             {button("mnuOpen", "Open", "Open picture file", "open"),
              button("mnuSave", "&Save", "Save data", "save"),
              button("mnuPrint", "&Print", "Print data", "print"),
              separator(2),
              button("mnuPaste", "&Paste", "Paste picture", "paste"),
              button("mnuCopy", "&Copy", "Copy data", "copy"),
              separator(3),
              button("mnuInvert", "&Invert", "Invert colors", "invert"),
              separator(4),
              check("mnuRed", "", true, "Calculate RED color only", "red"),
              check("mnuGreen", "", false, "Calculate GREEN color only", "green"),
              check("mnuBlue", "", false, "Calculate BLUE color only", "blue"),
              separator(5),
              iconButton("mnuCalc", "Calculate", "calculate"),
              button("mnuClear", "Clear", "Clear table", "clear"),
              separator(6),
              readout(label("txtCell", "Working Cell: R1C2"), "Working Cell: R9999C3"),
              separator(7),
              readout(label("txtScan", "Scan: 0", "Current band scan"), "Scan: -99999999"),
              separator(8),
              button("mnuAbout", "&About", "About", "about"),
              iconButton("mnuExit", "Exit", "exit")}),
        band("bndImage", "Image-Move", BandKind::Popup,
             {button("mnuTopLeft", "Move Top-Left", "", "move-top-left"),
              button("mnuTopCenter", "Move Top-Center", "", "move-top-center"),
              button("mnuTopRight", "Move Top-Right", "", "move-top-right"),
              button("mnuCenterRight", "Move Center-Right", "", "move-center-right"),
              button("mnuBottomRight", "Move Bottom-Right", "", "move-bottom-right"),
              button("mnuBottomCenter", "Move Bottom-Center", "", "move-bottom-center"),
              button("mnuBottomLeft", "Move Bottom-Left", "", "move-bottom-left"),
              button("mnuCenterLeft", "Move Center-Left", "", "move-center-left"), separator(9),
              button("mnuLeft", "Move &Left", "", "step-left"),
              button("mnuTop", "Move &Top", "", "step-up"),
              button("mnuRight", "Move &Right", "", "step-right"),
              button("mnuBottom", "Move &Bottom", "", "step-down")}),
        band("bndOptions", "&Options", BandKind::Popup,
             {button("mnuShowOptions", "&Show"), button("mnuSendRows", "Send Rows to &Report"),
              button("mnuSendFound", "Send &Found Bands to Report")}),
        band("mnuPicture", "Band6", BandKind::Popup,
             {button("mnuInvert", "&Invert Colors", "", "invert"),
              button("mnuBackground", "&Background", "", "background"),
              button("mnuBackgroundMethod", "Background &Method..."), separator(10),
              check("mnuRed", "Calculate &Red", true, "", "red"),
              check("mnuGreen", "Calculate &Green", false, "", "green"),
              check("mnuBlue", "Calculate &Blue", false, "", "blue"),
              button("mnuCalc", "&Calculate Now!", "", "calculate"), separator(11),
              button("mnuFindBands", "&Find Lanes and Bands"),
              button("mnuScanFound", "&Scan Found Bands"),
              button("mnuLaneFromFrame", "Scan Frame as &Lane"),
              button("mnuMarkLadder", "Mar&k as Ladder..."),
              button("mnuLadderBand", "Ladder Ban&d Size..."),
              button("mnuSizeCalibration", "Si&ze Calibration"),
              button("mnuResults", "Res&ults..."), separator(12),
              button("mnuPictureInfo", "Picture &Information...")}),
        band(
            "bndMove", "Move", BandKind::Toolbar,
            {button("mnuTopLeft", "TopLeft", "Move top-left", "move-top-left"),
             button("mnuTopCenter", "TopCenter", "Move top-center", "move-top-center"),
             button("mnuTopRight", "TopRight", "Move top-right", "move-top-right"),
             button("mnuCenterRight", "CenterRight", "Move center-right", "move-center-right"),
             iconButton("mnuBottomRight", "Move bottom-right", "move-bottom-right"),
             iconButton("mnuBottomCenter", "Move bottom-center", "move-bottom-center"),
             iconButton("mnuBottomLeft", "Move bottom-left", "move-bottom-left"),
             iconButton("mnuCenterLeft", "Move center-left", "move-center-left"),
             separator(60),
             iconButton("mnuLeft", "Move left", "step-left"),
             iconButton("mnuTop", "Move up", "step-up"),
             iconButton("mnuRight", "Move right", "step-right"),
             iconButton("mnuBottom", "Move down", "step-down"),
             separator(61),
             readout(button("mnuBackground", "Bkgrnd=0", "Background"), "Bkgrnd (RGB)=255,255,255"),
             separator(62),
             label("Tool65", "", "", "position"),
             readout(label("mnuDisplay", "X=0       Y=0       "), "+X=9999 Y=9999"),
             label("Tool66", "", "", "size"),
             readout(label("mnuSize", "0 x 0"), "9999x9999"),
             separator(67),
             label("Tool68", "RGB:"),
             readout(label("mnuColor", "0,0,0"), "255,255,255")}),
        band("bndEdit", "Edit", BandKind::Popup,
             {button("mnuPaste", "&Paste picture", "", "paste"),
              button("mnuCopy", "&Copy report", "", "copy")}),
        band("bndView", "&View", BandKind::Popup,
             {button("mnuZoomIn", "Zoom &In"), button("mnuZoomOut", "Zoom &Out"),
              button("mnuActualSize", "&Actual Size"), button("mnuFitWindow", "&Fit to Window"),
              button("mnuDisplayLevels", "Display &Levels..."), separator(70),
              check("mnuLaneProfile", "Lane &Profile", false),
              check("mnuHorizontalLanes", "Horizontal &Lanes", false),
              check("mnuShowSizes", "Show Band &Sizes", true)}),
    };
}

namespace {

using Command = void (*)(frmScan&);

struct CommandEntry
{
    const char* name;
    Command run;
};

template <FrameMove move> void moveFrameCommand(frmScan& form)
{
    commands::moveScanFrame(form, move);
}

void chooseRed(frmScan& form)
{
    commands::chooseChannel(form, QStringLiteral("mnuRed"));
}
void chooseGreen(frmScan& form)
{
    commands::chooseChannel(form, QStringLiteral("mnuGreen"));
}
void chooseBlue(frmScan& form)
{
    commands::chooseChannel(form, QStringLiteral("mnuBlue"));
}

// The commands in dispatch order; the first whose name equals the tool's runs.
const CommandEntry Commands[] = {
    {"mnuOpen", [](frmScan& form) { form.LoadImage(); }},
    // Closing the window asks about unsaved results, then ends the program.
    {"mnuExit", [](frmScan& form) { form.close(); }},
    {"mnuTopLeft", moveFrameCommand<FrameMove::TopLeft>},
    {"mnuTopCenter", moveFrameCommand<FrameMove::TopCenter>},
    {"mnuTopRight", moveFrameCommand<FrameMove::TopRight>},
    {"mnuCenterRight", moveFrameCommand<FrameMove::CenterRight>},
    {"mnuBottomRight", moveFrameCommand<FrameMove::BottomRight>},
    {"mnuBottomCenter", moveFrameCommand<FrameMove::BottomCenter>},
    {"mnuBottomLeft", moveFrameCommand<FrameMove::BottomLeft>},
    {"mnuCenterLeft", moveFrameCommand<FrameMove::CenterLeft>},
    {"mnuLeft", moveFrameCommand<FrameMove::Left>},
    {"mnuTop", moveFrameCommand<FrameMove::Top>},
    {"mnuRight", moveFrameCommand<FrameMove::Right>},
    {"mnuBottom", moveFrameCommand<FrameMove::Bottom>},
    {"mnuBackground", commands::showBackground},
    {"mnuInvert", commands::invertColors},
    {"mnuRed", chooseRed},
    {"mnuGreen", chooseGreen},
    {"mnuBlue", chooseBlue},
    {"mnuCalc", [](frmScan& form) { form.Calculate(); }},
    {"mnuPaste", commands::pastePicture},
    {"mnuClear", commands::clearTable},
    {"mnuAbout", commands::showAbout},
    {"mnuSave", [](frmScan& form) { commands::saveReport(form); }},
    {"mnuPrint", commands::printReport},
    {"mnuCopy", commands::copyReport},
    // Report -> Show: the report window, created on first use and kept with its data.
    {"mnuShowOptions", [](frmScan&) { frmReport::showReport(); }},
    {"mnuSendRows", commands::sendRowsToReport},
};

// The commands beyond the classic ones, looked up after them: the View menu's zoom, lane
// profile and lane direction, the background method and the found bands.
const CommandEntry ViewCommands[] = {
    {"mnuZoomIn", [](frmScan& form) { form.zoomIn(); }},
    {"mnuZoomOut", [](frmScan& form) { form.zoomOut(); }},
    {"mnuActualSize", [](frmScan& form) { form.setZoom(1.0); }},
    {"mnuFitWindow", [](frmScan& form) { form.fitToWindow(); }},
    // What is shown of the picture's counts; what is measured stays.
    {"mnuDisplayLevels", chooseDisplayLevels},
    {"mnuLaneProfile", [](frmScan& form) { form.toggleLaneProfile(); }},
    {"mnuBackgroundMethod", [](frmScan& form) { form.chooseBackgroundMethod(); }},
    // Found bands: proposals the person checks, then scans.
    {"mnuFindBands", [](frmScan& form) { FoundBandsTool::of(form).find(); }},
    {"mnuScanFound", [](frmScan& form) { FoundBandsTool::of(form).scanIntoSheet(); }},
    {"mnuSendFound", [](frmScan& form) { FoundBandsTool::of(form).sendToReport(); }},
    {"mnuLaneFromFrame", [](frmScan& form) { FoundBandsTool::of(form).addLaneFromFrame(); }},
    {"mnuMarkLadder", [](frmScan& form) { FoundBandsTool::of(form).markLadder(); }},
    {"mnuLadderBand", [](frmScan& form) { FoundBandsTool::of(form).assignLadderSize(); }},
    {"mnuSizeCalibration", [](frmScan& form) { FoundBandsTool::of(form).showCalibration(); }},
    // Normalized results from the found bands and the sample table.
    {"mnuResults",
     [](frmScan& form) {
         ResultsWindow& results = ResultsWindow::of(form);
         results.refresh();
         results.show();
         results.raise();
         results.activateWindow();
     }},
    {"mnuShowSizes",
     [](frmScan& form) {
         Tool& sizes = form.tool(BandView, QStringLiteral("mnuShowSizes"));
         sizes.setChecked(!sizes.isChecked());
         FoundBandsTool::of(form).refresh();
     }},
    {"mnuHorizontalLanes",
     [](frmScan& form) {
         Tool& horizontal = form.tool(BandView, QStringLiteral("mnuHorizontalLanes"));
         horizontal.setChecked(!horizontal.isChecked());
     }},
};

// The measurement record's commands, looked up last.
const CommandEntry RecordCommands[] = {
    {"mnuSavePlan", [](frmScan& form) { form.saveMeasurementPlan(); }},
    {"mnuOpenPlan", [](frmScan& form) { form.openMeasurementPlan(); }},
    {"mnuPictureInfo", showPictureInformation},
    {"mnuExportFigure", [](frmScan& form) { commands::exportFigure(form); }},
    {"mnuExportReport", [](frmScan& form) { commands::exportReportPdf(form); }},
};

} // namespace

const QStringList& mainCommandNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const CommandEntry& entry : Commands)
            list.append(QLatin1String(entry.name));
        return list;
    }();
    return names;
}

void dispatchMainTool(frmScan& form, const QString& toolName)
{
    for (const CommandEntry& entry : Commands) {
        if (toolName == QLatin1String(entry.name)) {
            entry.run(form);
            return;
        }
    }
    for (const CommandEntry& entry : ViewCommands) {
        if (toolName == QLatin1String(entry.name)) {
            entry.run(form);
            return;
        }
    }
    for (const CommandEntry& entry : RecordCommands) {
        if (toolName == QLatin1String(entry.name)) {
            entry.run(form);
            return;
        }
    }
}

} // namespace kesto
