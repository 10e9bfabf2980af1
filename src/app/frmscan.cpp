#include "app/frmscan.h"

#include "app/displaylevelscommand.h"
#include "app/laneprofilepanel.h"
#include "app/mainbar.h"
#include "app/maincommands.h"
#include "app/pictureinformation.h"
#include "app/scanframetool.h"
#include "components/commandbar.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/columnratios.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/gelimage.h"
#include "core/integration.h"
#include "core/laneprofile.h"
#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/scrollsetup.h"
#include "core/sessionundo.h"
#include "core/sheetdata.h"
#include "core/workingsheet.h"
#include "versioninfo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>

#include <cmath>
#include <cstdlib>

namespace kesto {

namespace {

// The window's size as laid out before the first resize; the sheet's start column widths
// hold at this size and scale with the sheet afterwards.
constexpr int DesignWidth = 1000;
constexpr int DesignHeight = 660;

int px(float value)
{
    return toInt32(double(value));
}

// The INI file that keeps the panels' places; empty keeps nothing.
QString& layoutSettingsFile()
{
    static QString path;
    return path;
}
const char* const PanelPlacesKey = "window/panels";
constexpr int PanelPlacesVersion = 1;

// The first entry is the classic one; the others let users reach PNG and TIFF scans.
const char* const PictureFilter =
    "All picture files (*.bmp,*.jpg,*.ico)|*.bmp;*.jpg;*.ico"
    "|More gel scans (*.png,*.tif,*.tiff,*.jpeg)|*.png;*.tif;*.tiff;*.jpeg"
    "|All files|*";

void fitCommandBar(frmScan& form)
{
    // Start wide enough to show every tool of the command bar where the screen has room,
    // so that no read-out hides behind a toolbar's extension button. The sheet's columns
    // keep the proportions taken at load.
    const QScreen* screen = form.screen();
    if (!screen)
        return;
    const int frame = form.frameGeometry().width() - form.width();
    const int room = screen->availableGeometry().width() - frame;
    const int wanted = qMin(form.tbrMain->fullWidth(), room);
    if (wanted <= form.width())
        return;
    form.resize(wanted, form.height());
    Module1::CenterForm(&form);
}

void fitScaledScreen(frmScan& form)
{
    // On a scaled screen (a device pixel ratio above 1) the window starts within the room
    // the screen has, never below its minimum size; the design size holds on others.
    const QScreen* screen = form.screen();
    if (!screen || screen->devicePixelRatio() <= 1.0)
        return;
    const QSize frame = form.frameGeometry().size() - form.size();
    const QSize wanted = form.size().boundedTo(screen->availableGeometry().size() - frame);
    if (wanted == form.size())
        return;
    form.resize(wanted);
    Module1::CenterForm(&form);
}

// The zoom steps; commands move to the next one in their direction.
constexpr double ZoomSteps[] = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3,
                                1.0 / 2,  2.0 / 3,  1.0,     1.5,     2.0,     3.0,
                                4.0,      6.0,      8.0,     12.0,    16.0};

double nextZoomStep(double zoom, int direction)
{
    constexpr double Tolerance = 1e-9;
    if (direction > 0) {
        for (const double step : ZoomSteps)
            if (step > zoom + Tolerance)
                return step;
        return frmScan::MaxZoom;
    }
    double previous = frmScan::MinZoom;
    for (const double step : ZoomSteps) {
        if (step >= zoom - Tolerance)
            break;
        previous = step;
    }
    return previous;
}

void wheelZoom(frmScan& form, int steps, const QPointF& anchor)
{
    double zoom = form.zoom();
    for (int i = 0; i < std::abs(steps); ++i)
        zoom = nextZoomStep(zoom, steps);
    form.setZoom(zoom, anchor);
}

// The View tools' keys work from anywhere in the window, not only with the menu open.
void addZoomShortcuts(frmScan& form)
{
    const struct
    {
        const char* tool;
        QKeySequence keys;
    } shortcuts[] = {
        {"mnuZoomIn", QKeySequence(QKeySequence::ZoomIn)},
        {"mnuZoomOut", QKeySequence(QKeySequence::ZoomOut)},
        {"mnuActualSize", QKeySequence(Qt::CTRL | Qt::Key_1)},
        {"mnuFitWindow", QKeySequence(Qt::CTRL | Qt::Key_0)},
    };
    for (const auto& shortcut : shortcuts) {
        QAction* action = form.tool(BandView, QLatin1String(shortcut.tool)).action();
        QList<QKeySequence> keys{shortcut.keys};
        // Ctrl+= is Ctrl++ without Shift on most keyboards.
        if (shortcut.keys == QKeySequence(QKeySequence::ZoomIn))
            keys.append(QKeySequence(Qt::CTRL | Qt::Key_Equal));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        form.addAction(action);
    }
}

// Edit -> Undo and Redo: window-wide keys, and tools in the Edit menu.
void addUndoActions(frmScan& form)
{
    QUndoStack* stack = form.undoStack();
    QAction* undo = stack->createUndoAction(&form, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcuts({QKeySequence(QKeySequence::Undo)});
    QAction* redo = stack->createRedoAction(&form, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("actionRedo"));
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {undo, redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        form.addAction(action);
    }
}

} // namespace

frmScan::frmScan(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmScan"));
    setWindowTitle(QStringLiteral("KestoScan Version 4.0"));
    // The main window's central area is only the room the docks leave: the controls are
    // the window's own children, placed in that room (layoutControls), so that without a
    // docked panel they sit exactly where they always have. Made first, it stays below them.
    m_workspace = new QWidget;
    m_workspace->setObjectName(QStringLiteral("wrkControls"));
    m_workspace->setAttribute(Qt::WA_TransparentForMouseEvents);
    setCentralWidget(m_workspace);
    m_workspace->installEventFilter(this);

    HScroll = new QScrollBar(Qt::Horizontal, this);
    HScroll->setObjectName(QStringLiteral("HScroll"));
    HScroll->resize(HScroll->sizeHint());
    VScroll = new QScrollBar(Qt::Vertical, this);
    VScroll->setObjectName(QStringLiteral("VScroll"));
    VScroll->resize(VScroll->sizeHint());
    picContainer = new QWidget(this);
    picContainer->setObjectName(QStringLiteral("picContainer"));
    picContainer->setAutoFillBackground(true);
    picContainer->setBackgroundRole(QPalette::Dark);
    picImage = new PictureBox(picContainer);
    picImage->resize(0, 0);
    // Frame 1005 x 465 twips and handle 60 x 60 twips at 15 twips per pixel.
    shpPoint = RectShape{63, 27, 4, 4, rgbValue(255, 0, 0)};
    shpPointer = RectShape{0, 0, 67, 31, rgbValue(255, 0, 0)};
    picImage->setShapes(&shpPointer, &shpPoint);
    picImage->setOriginShape(&shpOrigin);
    // Each press goes to the first tool that takes it; that tool gets the drag.
    m_frameTool = std::make_unique<ScanFrameTool>(*this);
    connect(picImage, &PictureBox::pointerPressed, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y) {
                if (m_activeTool && m_activeTool != m_frameTool.get())
                    return; // another tool's drag is under way
                for (auto tool = m_tools.rbegin(); tool != m_tools.rend(); ++tool) {
                    if ((*tool)->press(button, modifiers, x, y)) {
                        m_activeTool = *tool;
                        return;
                    }
                }
                m_activeTool = m_frameTool.get();
                m_frameTool->press(button, modifiers, x, y);
            });
    connect(picImage, &PictureBox::pointerMoved, this,
            [this](Qt::MouseButtons, Qt::KeyboardModifiers, float x, float y) {
                (m_activeTool ? m_activeTool : m_frameTool.get())->move(x, y);
            });
    connect(picImage, &PictureBox::pointerReleased, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, float x, float y) {
                PictureTool* tool = m_activeTool ? m_activeTool : m_frameTool.get();
                // Another tool's drag ends with the button that started it.
                if (tool == m_frameTool.get() || button == Qt::LeftButton)
                    m_activeTool = nullptr;
                tool->release(button, x, y);
            });
    connect(picImage, &PictureBox::levelsChanged, this, [this] { showLevelsInTitle(*this); });
    connect(picImage, &PictureBox::zoomRequested, this, [this](int steps, const QPointF& at) {
        wheelZoom(*this, steps, picImage->mapTo(picContainer, at));
    });
    // The picture moves when a scroll value changes, not while the thumb is dragged.
    HScroll->setTracking(false);
    VScroll->setTracking(false);
    HScroll->hide();
    VScroll->hide();
    connect(HScroll, &QScrollBar::valueChanged, this, &frmScan::HScroll_Change);
    connect(VScroll, &QScrollBar::valueChanged, this, &frmScan::VScroll_Change);
    lblTitle = new QLabel(QStringLiteral("Expression"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->resize(lblTitle->sizeHint());
    tbrMain = new CommandBar(this, mainBarLayout());
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setAutoSize(2);
    f1Report = new Worksheet(this);
    f1Report->setObjectName(QStringLiteral("f1Report"));
    f1Report->setColumnCount(Columns);
    f1Report->setRowCount(StartRows);
    const QString headings[Columns] = {QStringLiteral("#"), QStringLiteral("Band"),
                                       QStringLiteral("Int.Ctrl"), QStringLiteral("% to Ctrl")};
    for (int c = 1; c <= Columns; ++c) {
        f1Report->setHeadingText(c, headings[c - 1]);
        f1Report->setColumnWidth(c, StartColumnWidths[c - 1]);
    }

    m_session = new MeasurementSession(f1Report->data(), this);
    m_undo = new SessionUndo(*m_session);
    connect(m_session, &MeasurementSession::frameChanged, this, &frmScan::syncFrame);
    connect(m_session, &MeasurementSession::backgroundChanged, this, &frmScan::syncBackground);
    connect(m_session, &MeasurementSession::workingCellChanged, this, &frmScan::syncWorkingCell);
    connect(m_session, &MeasurementSession::pictureChanged, this, &frmScan::syncPicture);
    connect(m_session, &MeasurementSession::lanesChanged, this, &frmScan::updateLaneProfile);
    addUndoActions(*this);

    dlgDialog = CommonDialog(this);
    connect(f1Report, &Worksheet::cellClicked, this, &frmScan::f1Report_Click);
    connect(f1Report, &Worksheet::cellClicked, this, &frmScan::showOrigin);
    connect(f1Report, &Worksheet::cellsEdited, this, &frmScan::recordEdits);
    f1Report->setCellTipSource([this](int row, int column) { return cellTip(row, column); });
    // Any pointer event on the picture takes a shown origin frame away.
    connect(picImage, &PictureBox::pointerPressed, this, &frmScan::hideOrigin);
    connect(picImage, &PictureBox::pointerMoved, this, &frmScan::hideOrigin);
    connect(picImage, &PictureBox::pointerReleased, this, &frmScan::hideOrigin);
    connect(f1Report, &Worksheet::sheetMouseDown, this, [this] { f1Report_MouseDown(); });
    setAcceptDrops(true);
    applyPictureAllocationLimit();

    connect(tbrMain, &CommandBar::toolClicked, this,
            [this](const QString& name) { dispatchMainTool(*this, name); });
    addZoomShortcuts(*this);

    createNotices();
    createDocks();
    resize(DesignWidth, DesignHeight);
    layoutControls();
    Form_Load();
    fitCommandBar(*this);
    // The window's frame is known once it is shown: the fit to a scaled screen waits.
    installEventFilter(this);
}

frmScan::~frmScan()
{
    // The tools go first: children still to be destroyed must not reach them.
    m_tools.clear();
    m_activeTool = nullptr;
    // Docks hidden while the window goes must not reach it.
    m_laneDock->toggleViewAction()->disconnect(this);
    m_workspace->removeEventFilter(this);
    delete m_undo;
}

void frmScan::addPictureTool(PictureTool* tool)
{
    m_tools.push_back(tool);
}

QUndoStack* frmScan::undoStack() const
{
    return &m_undo->stack();
}

void frmScan::commitUndo(const QString& text)
{
    m_undo->commit(text);
}

void frmScan::resetUndo()
{
    m_undo->reset();
}

void frmScan::Form_Load()
{
    Module1::CenterForm(this);
    setWindowTitle(programTitle());
    const int n = f1Report->columnCount();
    ColumnRatios.assign(std::size_t(n), 0.0);
    for (int i = 1; i <= n; ++i) {
        const std::int16_t width = clampedInt16(f1Report->columnWidth(i));
        const float controlWidth = float(f1Report->width());
        ColumnRatios[std::size_t(i - 1)] = double(width) / double(controlWidth);
    }
    m_loaded = true;
}

void frmScan::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

bool frmScan::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::Show) {
        removeEventFilter(this);
        fitScaledScreen(*this);
    }
    if (watched == m_workspace && !m_layingOut && m_loaded && !isMinimized() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        layoutControls();
        refitScrollBars();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmScan::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmScan::Form_Resize()
{
    if (!m_loaded || isMinimized())
        return;
    const double tx = twipsPerPixelX(this);
    const double ty = twipsPerPixelY(this);
    const QSize outer = frameGeometry().size();
    const QSize frameExtra = outer - size();
    QSize wanted = size();
    if (double(outer.width()) * tx < MinimumWidthTwips)
        wanted.setWidth(int(std::ceil(MinimumWidthTwips / tx)) - frameExtra.width());
    if (double(outer.height()) * ty < MinimumHeightTwips)
        wanted.setHeight(int(std::ceil(MinimumHeightTwips / ty)) - frameExtra.height());
    if (wanted != size())
        resize(wanted);
    layoutControls();
    refitScrollBars();
}

QRect frmScan::workArea() const
{
    return m_workspace->geometry();
}

void frmScan::layoutControls()
{
    // The docks start below the command bar.
    if (contentsMargins().top() != tbrMain->height() && !m_layingOut) {
        m_layingOut = true;
        setContentsMargins(0, tbrMain->height(), 0, 0);
        layout()->activate();
        m_layingOut = false;
    }
    const QRect area = workArea();
    const float scaleWidth = float(area.width());
    const float scaleHeight = float(area.height());

    const float pcLeft = float(area.x()) + 10.0f;
    const float pcWidth = scaleWidth / 2.0f - 20.0f;
    const float pcTop = float(area.y()) + 10.0f;
    const float pcHeight = scaleHeight - 20.0f - float(HScroll->height());
    picContainer->setGeometry(px(pcLeft), px(pcTop), px(pcWidth), px(pcHeight));

    VScroll->setGeometry(px(pcLeft + pcWidth), px(pcTop), VScroll->width(), px(pcHeight));
    const float vsWidth = float(VScroll->width());
    HScroll->setGeometry(px(pcLeft), px(pcTop + pcHeight), px(pcWidth + vsWidth),
                         HScroll->height());
    const float hsHeight = float(HScroll->height());

    const float titleHeight = float(lblTitle->height());
    const float sheetLeft = pcWidth + pcLeft + vsWidth + 10.0f;
    const float sheetTop = titleHeight + pcTop;
    const float sheetWidth = scaleWidth - pcWidth - vsWidth - 30.0f;
    const float sheetHeight = hsHeight + pcHeight - titleHeight;
    f1Report->setGeometry(px(sheetLeft), px(sheetTop), px(sheetWidth), px(sheetHeight));

    lblTitle->setGeometry(f1Report->x(), f1Report->y() - lblTitle->height(), f1Report->width(),
                          lblTitle->height());
    layoutNotices();

    if (!m_loaded)
        return;
    const int n = f1Report->columnCount();
    for (int i = 1; i <= n && i <= int(ColumnRatios.size()); ++i) {
        f1Report->setColumnWidth(
            i, clampedInt16(double(float(f1Report->width())) * ColumnRatios[std::size_t(i - 1)]));
    }
}

void frmScan::closeEvent(QCloseEvent* event)
{
    // Unsaved results are asked about before they go.
    if (!maybeSaveChanges()) {
        event->ignore();
        return;
    }
    event->accept();
    savePanelPlaces();
    Module1::EndProgram();
}

void frmScan::setLayoutSettingsPath(const QString& path)
{
    layoutSettingsFile() = path;
}

QString frmScan::layoutSettingsPath()
{
    return layoutSettingsFile();
}

void frmScan::createDocks()
{
    const auto makeDock = [this](const char* name, const QString& title) {
        auto* dock = new QDockWidget(title, this);
        dock->setObjectName(QLatin1String(name));
        addDockWidget(Qt::RightDockWidgetArea, dock);
        dock->hide();
        return dock;
    };
    m_laneDock = makeDock("dckLaneProfile", QStringLiteral("Lane Profile"));
    m_bandsDock = makeDock("dckFoundBands", QStringLiteral("Found Bands"));
    // A dock closed with its own button unchecks the View command that shows it.
    connect(m_laneDock->toggleViewAction(), &QAction::toggled, this, [this](bool on) {
        tool(BandView, QStringLiteral("mnuLaneProfile")).setChecked(on);
        if (on)
            updateLaneProfile();
    });
    if (layoutSettingsFile().isEmpty())
        return;
    const QSettings settings(layoutSettingsFile(), QSettings::IniFormat);
    const QByteArray places = settings.value(QLatin1String(PanelPlacesKey)).toByteArray();
    if (places.isEmpty() || !restoreState(places, PanelPlacesVersion))
        return;
    // Places come back; the panels open on their commands, as on the first run.
    m_laneDock->hide();
    m_bandsDock->hide();
}

void frmScan::savePanelPlaces() const
{
    if (layoutSettingsFile().isEmpty())
        return;
    QSettings settings(layoutSettingsFile(), QSettings::IniFormat);
    settings.setValue(QLatin1String(PanelPlacesKey), saveState(PanelPlacesVersion));
}

QString frmScan::programTitle() const
{
    return version::productName() + QStringLiteral(" Version ") + QString::number(version::major) +
           QLatin1Char('.') + QString::number(version::minor) + QLatin1Char('.') +
           QString::number(version::revision);
}

bool frmScan::saveResults()
{
    return commands::saveReport(*this);
}

bool frmScan::maybeSaveChanges()
{
    if (!m_session->hasUnsavedResults())
        return true;
    bool results = false;
    const SheetData& sheet = m_session->sheet();
    for (int r = 1; r <= sheet.rowCount() && !results; ++r)
        results = !sheet.text(r, 2).isEmpty() || !sheet.text(r, 3).isEmpty();
    if (!results)
        return true;
    const MessageAnswer answer = Prompts::current().message(
        this, QStringLiteral("The sheet holds results that are not saved.\r\nSave changes?"),
        appTitle(), MessageButtons::YesNoCancel, MessageIcon::Warning);
    if (answer == MessageAnswer::Cancel)
        return false;
    if (answer == MessageAnswer::Yes)
        return saveResults();
    return true;
}

Tool& frmScan::tool(int band, const QString& name) const
{
    return tbrMain->band(band).tool(name);
}

void frmScan::setReadout(int band, const QString& name, const QString& text)
{
    tool(band, name).setCaption(text);
}

void frmScan::LoadImage()
{
    dlgDialog.setFileName(QString());
    dlgDialog.setFilter(QLatin1String(PictureFilter));
    dlgDialog.ShowOpen();
    const QString path = dlgDialog.fileName();
    if (path.isEmpty())
        return;
    openPicture(path);
}

bool frmScan::openPicture(const QString& path)
{
    const std::optional<int> page = askPicturePage(this, path);
    if (!page)
        return false;
    GelImageLoad load = loadMeasurementPicture(path, *page);
    if (!load.ok()) {
        Prompts::current().message(this,
                                   QStringLiteral("Cannot load image:\r\n") + path +
                                       QStringLiteral("\r\n") + load.reason,
                                   appTitle(), MessageButtons::Ok, MessageIcon::None);
        return false;
    }
    m_openingPath = path;
    showPicture(load.image);
    m_openingPath.clear();
    setLossyNotice(load.lossy);
    return true;
}

void frmScan::showPicture(const QImage& picture, bool frameToCorner)
{
    const FrameGeometry frame =
        m_session->hasPicture() ? m_session->frame() : MeasurementSession::StartFrame;
    // What belonged to the last picture goes with it: the session clears its own part
    // (pick point, inversion, found bands); the window its notes, origin and profile.
    hideOrigin();
    picImage->forgetLevels(); // a new picture opens at its own default levels
    const QString notice = m_session->setPicture(picture, m_openingPath);
    // A pasted picture keeps the frame where it was.
    if (!frameToCorner)
        m_session->setFrame(frame);
    // The hash is taken now, of the file as it was opened, on another thread: the picture
    // shows at once, and a record or plan waits for the hash only when it is written.
    m_session->startPictureHash();
    showScanFlag(ScanResult{});
    setLossyNotice(false);
    // The title names the picture's file; a pasted picture has none to name.
    setWindowTitle(m_openingPath.isEmpty() ? programTitle()
                                           : programTitle() + QStringLiteral(" - ") +
                                                 QFileInfo(m_openingPath).fileName());
    showLevelsInTitle(*this);
    // Every picture opens at actual size, with scroll bars when larger than its pane.
    picImage->setZoom(1.0);
    ResizePicture();
    syncFrame();
    updateLaneProfile();
    resetUndo();
    if (!notice.isEmpty() && !m_replaying)
        Prompts::current().message(this, notice, appTitle(), MessageButtons::Ok,
                                   MessageIcon::Information);
}

void frmScan::syncPicture()
{
    picImage->setPicture(m_session->picture());
}

void frmScan::syncFrame()
{
    const FrameGeometry f = m_session->frame();
    const QRectF frameBefore = shpPointer.rect();
    const QRectF handleBefore = shpPoint.rect();
    shpPointer.left = f.left;
    shpPointer.top = f.top;
    shpPointer.width = f.width;
    shpPointer.height = f.height;
    // The handle sits in the frame's inner lower-right corner.
    shpPoint.left = shpPointer.width + shpPointer.left - shpPoint.width;
    shpPoint.top = shpPointer.height + shpPointer.top - shpPoint.height;
    picImage->shapeMoved(frameBefore, shpPointer.rect());
    picImage->shapeMoved(handleBefore, shpPoint.rect());
}

void frmScan::syncBackground()
{
    setReadout(BandMove, QStringLiteral("mnuBackground"), m_session->backgroundReadout());
    // The channel tools show the session's channel.
    const Channel channel = m_session->channel();
    const QString name = channel == Channel::Red     ? QStringLiteral("mnuRed")
                         : channel == Channel::Green ? QStringLiteral("mnuGreen")
                                                     : QStringLiteral("mnuBlue");
    if (!tool(BandToolbar, name).isChecked())
        commands::showChannel(*this, name);
    tbrMain->redraw();
}

void frmScan::syncWorkingCell()
{
    const CellAddress cell = m_session->workingCell();
    if (m_workRow != 0 && m_workCol != 0) {
        f1Report->selectRange(m_workRow, m_workCol, m_workRow, m_workCol);
        f1Report->setSelectionPattern(0, Module1::SystemColorToRGB(SystemWindowBackground),
                                      rgbValue(0, 0, 0));
        f1Report->setSelectionTextColor(rgbValue(0, 0, 0));
        f1Report->redraw();
    }
    // The first pick is highlighted at once too, so the user sees where the next scan goes.
    f1Report->selectRange(cell.row, cell.column, cell.row, cell.column);
    const ColorValue selection = Module1::SystemColorToRGB(SystemHighlight);
    f1Report->setSelectionPattern(1, selection, selection);
    f1Report->setSelectionTextColor(rgbValue(255, 255, 255));
    setReadout(BandToolbar, QStringLiteral("txtCell"), workingCellCaption(cell.row, cell.column));
    tbrMain->redraw();
    m_workRow = cell.row;
    m_workCol = cell.column;
}

void frmScan::moveFrameTo(float left, float top)
{
    RectShape frame = shpPointer;
    frame.left = left;
    frame.top = top;
    setFrame(frame);
}

void frmScan::setFrame(const RectShape& frame)
{
    m_session->setFrame(FrameGeometry{frame.left, frame.top, frame.width, frame.height});
}

void frmScan::ResizePicture()
{
    const float dv = float(picImage->height()) - float(picContainer->height());
    const ScrollSetup vertical = verticalScrollSetup(dv);
    if (vertical.visible) {
        VScroll->setVisible(true);
        VScroll->setMaximum(vertical.maximum);
        VScroll->setMinimum(0);
        VScroll->setSingleStep(vertical.smallStep);
        VScroll->setPageStep(vertical.largeStep);
        m_vScrollScale = vertical.pixelsPerUnit;
        VScroll->setValue(0);
    } else {
        VScroll->setVisible(false);
    }
    const float dh = float(picImage->width()) - float(picContainer->width());
    const ScrollSetup horizontal = horizontalScrollSetup(dh);
    if (horizontal.visible) {
        HScroll->setVisible(true);
        HScroll->setMaximum(horizontal.maximum);
        HScroll->setMinimum(0);
        HScroll->setSingleStep(horizontal.smallStep);
        HScroll->setPageStep(horizontal.largeStep);
        m_hScrollScale = horizontal.pixelsPerUnit;
        HScroll->setValue(0);
    } else {
        HScroll->setVisible(false);
    }
    // A picture that no longer needs a bar goes back to the viewport's corner.
    if (!vertical.visible)
        picImage->move(picImage->x(), 0);
    if (!horizontal.visible)
        picImage->move(0, picImage->y());
}

void frmScan::HScroll_Change()
{
    picImage->move(-int(std::lround(HScroll->value() * m_hScrollScale)), picImage->y());
}

void frmScan::VScroll_Change()
{
    picImage->move(picImage->x(), -int(std::lround(VScroll->value() * m_vScrollScale)));
}

void frmScan::picImage_MouseDown(float x, float y)
{
    m_frameTool->press(Qt::LeftButton, Qt::NoModifier, x, y);
}

void frmScan::picImage_MouseMove(float x, float y)
{
    m_frameTool->move(x, y);
}

void frmScan::picImage_MouseUp(float x, float y)
{
    m_frameTool->release(Qt::LeftButton, x, y);
}

void frmScan::Calculate()
{
    // Without a picture there is nothing to measure: the sheet stays as it is.
    if (!m_session->hasPicture())
        return;
    try {
        m_session->calculate();
    } catch (const Error& e) {
        // The method found no background (a border wholly off the picture), or the frame's
        // ends do not fit the sample counters: say so, write nothing.
        Prompts::current().message(this, e.message(), appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return;
    }
    const ScanResult& scan = m_session->lastScan();
    if (m_session->backgroundMethod().kind != BackgroundMethod::Kind::PickedPixel)
        setReadout(BandMove, QStringLiteral("mnuBackground"), backgroundReadout());
    setReadout(BandToolbar, QStringLiteral("txtScan"),
               QStringLiteral("Scan: ") + doubleText(m_session->scanValue()));
    showScanFlag(scan);
    tbrMain->redraw();
    f1Report->updateSheet();
    updateLaneProfile();
}

void frmScan::CopyImage()
{
    Calculate();
}

void frmScan::f1Report_Click(int row, int column)
{
    if (row < 1 || column < 2 || column > 3)
        return;
    // The pick becomes part of the next step: undoing a scan puts its cell back too.
    m_session->pickCell(row, column);
}

void frmScan::f1Report_MouseDown()
{
    f1Report->setFocus();
}

void frmScan::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().constFirst().isLocalFile())
        event->acceptProposedAction();
}

void frmScan::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    event->acceptProposedAction();
    openPicture(urls.constFirst().toLocalFile());
}

double frmScan::zoom() const
{
    return picImage->zoom();
}

void frmScan::setZoom(double zoom)
{
    setZoom(zoom, QPointF(picContainer->width() / 2.0, picContainer->height() / 2.0));
}

void frmScan::setZoom(double zoom, const QPointF& anchor)
{
    if (!(zoom > 0.0))
        return;
    zoom = qBound(MinZoom, zoom, MaxZoom);
    const double before = picImage->zoom();
    if (zoom == before)
        return;
    // The picture point under the anchor, so that it can be put back there.
    const QPointF point = (anchor - QPointF(picImage->pos())) / before;
    picImage->setZoom(zoom);
    picImage->move(-(point * zoom - anchor).toPoint());
    refitScrollBars();
}

void frmScan::zoomIn()
{
    setZoom(nextZoomStep(zoom(), +1));
}

void frmScan::zoomOut()
{
    setZoom(nextZoomStep(zoom(), -1));
}

void frmScan::fitToWindow()
{
    const QImage& picture = picImage->picture();
    if (picture.isNull())
        return;
    const double fit = qMin(double(picContainer->width()) / picture.width(),
                            double(picContainer->height()) / picture.height());
    setZoom(fit, QPointF(0, 0));
}

void frmScan::refitScrollBars()
{
    // The box's place stands for the view: its offsets are kept as far as the new ranges
    // allow.
    const QPoint offset = -picImage->pos();
    const auto fit = [](QScrollBar* bar, const ScrollSetup& setup, double kept, double& scale) {
        bar->setVisible(setup.visible);
        if (!setup.visible)
            return;
        bar->blockSignals(true);
        bar->setMinimum(0);
        bar->setMaximum(setup.maximum);
        bar->setSingleStep(setup.smallStep);
        bar->setPageStep(setup.largeStep);
        scale = setup.pixelsPerUnit;
        const double units = std::nearbyint(kept / setup.pixelsPerUnit);
        bar->setValue(int(qBound(0.0, units, double(setup.maximum))));
        bar->blockSignals(false);
    };
    try {
        const ScrollSetup vertical =
            verticalScrollSetup(float(picImage->height()) - float(picContainer->height()));
        const ScrollSetup horizontal =
            horizontalScrollSetup(float(picImage->width()) - float(picContainer->width()));
        fit(VScroll, vertical, offset.y(), m_vScrollScale);
        fit(HScroll, horizontal, offset.x(), m_hScrollScale);
        picImage->move(horizontal.visible ? -scrollOffset(horizontal, HScroll->value()) : 0,
                       vertical.visible ? -scrollOffset(vertical, VScroll->value()) : 0);
    } catch (const Error&) {
        // Widget extents always fit single precision; nothing to refit otherwise.
    }
}

void frmScan::toggleLaneProfile()
{
    Tool& toggle = tool(BandView, QStringLiteral("mnuLaneProfile"));
    if (!lanePanel) {
        lanePanel = new LaneProfilePanel(m_laneDock);
        m_laneDock->setWidget(lanePanel);
        connect(lanePanel, &LaneProfilePanel::directionChanged, this, &frmScan::updateLaneProfile);
        connect(lanePanel, &LaneProfilePanel::boundaryDragged, this,
                [this](int band, bool end, int position) {
                    const int lane = m_session->laneHolding(m_session->frame());
                    if (m_session->moveBandBoundary(lane, band, end, position)) {
                        commitUndo(QStringLiteral("Move Band Boundary"));
                        updateLaneProfile();
                    }
                });
    }
    const bool show = m_laneDock->isHidden();
    toggle.setChecked(show);
    if (show) {
        m_laneDock->show();
        m_laneDock->raise();
        updateLaneProfile();
    } else {
        m_laneDock->hide();
    }
}

void frmScan::updateLaneProfile()
{
    if (!lanePanel || !lanePanel->isVisibleTo(this))
        return;
    const Channel channel = m_session->channel();
    const FrameGeometry frame = m_session->frame();
    const QImage& picture = m_session->picture();
    try {
        // A frame in a lane: the whole lane, with its bands' boundaries.
        const int lane = m_session->laneHolding(frame);
        if (lane >= 0) {
            const LaneMeasure measure = m_session->laneMeasure(lane);
            lanePanel->setLane(measure, m_session->laneBands(lane, &measure),
                               QStringLiteral("Lane %1").arg(lane + 1));
            return;
        }
        LaneProfile profile = laneProfile(picture, frame, channel, m_session->backgroundLevels(),
                                          lanePanel->direction());
        // The background the last scan used: a level, or the lane's baseline along its rows.
        const BackgroundMethod& method = m_session->backgroundMethod();
        const MethodScan& last = m_session->lastMethodScan();
        if (method.kind != BackgroundMethod::Kind::PickedPixel) {
            if (method.kind == BackgroundMethod::Kind::LaneBaseline) {
                if (lanePanel->direction() == ProfileDirection::AlongRows &&
                    last.baseline.size() == profile.means.size())
                    profile.baseline = last.baseline;
            } else {
                profile.background = last.level;
            }
        }
        lanePanel->setProfile(profile);
    } catch (const Error& e) {
        lanePanel->showMessage(e.message());
    }
}

} // namespace kesto
