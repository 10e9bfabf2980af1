#include "app/frmscan.h"

#include "app/numbers.h"
#include "commands/mainbar.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "versioninfo.h"

#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>

#include <cmath>

namespace kesto {

namespace {

// The window's size as laid out before the first resize; the sheet's start column widths
// hold at this size and scale with the sheet afterwards.
constexpr int DesignWidth = 1000;
constexpr int DesignHeight = 660;

int px(float value) { return toInt32(double(value)); }

} // namespace

frmScan::frmScan(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmScan"));
    setWindowTitle(QStringLiteral("KestoScan Version 4.0"));

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

    connect(tbrMain, &CommandBar::toolClicked, this,
            [this](const QString& name) { dispatchMainTool(*this, name); });

    resize(DesignWidth, DesignHeight);
    layoutControls();
    Form_Load();
}

frmScan::~frmScan() = default;

void frmScan::Form_Load()
{
    Module1::CenterForm(this);
    setWindowTitle(version::productName() + QStringLiteral(" Version ") +
                   QString::number(version::major) + QLatin1Char('.') +
                   QString::number(version::minor) + QLatin1Char('.') +
                   QString::number(version::revision));
    const int n = f1Report->columnCount();
    ColumnRatios.assign(std::size_t(n), 0.0);
    for (int i = 1; i <= n; ++i) {
        const std::int16_t width = toInt16(f1Report->columnWidth(i));
        const float controlWidth = float(f1Report->width());
        ColumnRatios[std::size_t(i - 1)] = double(width) / double(controlWidth);
    }
    m_loaded = true;
}

void frmScan::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmScan::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
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
}

void frmScan::layoutControls()
{
    const float scaleWidth = float(width());
    const float scaleHeight = float(height());
    const float barTop = float(tbrMain->y());
    const float barHeight = float(tbrMain->height());

    const float pcLeft = 10.0f;
    const float pcWidth = scaleWidth / 2.0f - 20.0f;
    const float pcTop = barTop + barHeight + 10.0f;
    const float pcHeight = scaleHeight - barHeight - 20.0f - float(HScroll->height());
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

    if (!m_loaded)
        return;
    const int n = f1Report->columnCount();
    for (int i = 1; i <= n && i <= int(ColumnRatios.size()); ++i) {
        f1Report->setColumnWidth(
            i, toInt16(double(float(f1Report->width())) * ColumnRatios[std::size_t(i - 1)]));
    }
}

void frmScan::closeEvent(QCloseEvent* event)
{
    event->accept();
    Module1::EndProgram();
}

void frmScan::Calculate() {}
void frmScan::CopyImage() { Calculate(); }
void frmScan::ResizePicture() {}
void frmScan::LoadImage() {}

} // namespace kesto
