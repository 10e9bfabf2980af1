#include "core/figure.h"

#include "core/foundbands.h"
#include "core/ladders.h"
#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/sampletable.h"
#include "versioninfo.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kesto {

namespace {

QFont figureFont(int pixels)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

int fullScaleOf(const QImage& picture)
{
    return picture.depth() == 16 || picture.format() == QImage::Format_RGBX64 ||
                   picture.format() == QImage::Format_RGBA64 ||
                   picture.format() == QImage::Format_Grayscale16
               ? 65535
               : 255;
}

bool vertical(const FigureContent& content)
{
    return content.orientation == LaneOrientation::Vertical;
}

// The lanes and ticks that fall inside the region, in the region's along and across.
bool acrossInside(const FigureContent& content, const QRect& region, double across)
{
    return vertical(content) ? across >= region.left() && across <= region.right() + 1
                             : across >= region.top() && across <= region.bottom() + 1;
}
bool alongInside(const FigureContent& content, const QRect& region, double along)
{
    return vertical(content) ? along >= region.top() && along <= region.bottom() + 1
                             : along >= region.left() && along <= region.right() + 1;
}

QString bitDepthText(const QImage& picture)
{
    return fullScaleOf(picture) == 65535 ? QStringLiteral("16-bit") : QStringLiteral("8-bit");
}

} // namespace

QString figureLevelsText(const DisplayLevels& levels)
{
    return QStringLiteral("black %1, white %2, gamma %3")
        .arg(levels.black)
        .arg(levels.white)
        .arg(doubleText(levels.gamma));
}

FigureContent figureContent(MeasurementSession& session, const DisplayLevels& levels,
                            const FigureOptions& options, const SampleTable* samples)
{
    if (!session.hasPicture())
        throw FigureError(QStringLiteral("there is no picture to make a figure of"));
    FigureContent content;
    content.picture = session.picture();
    content.levels = levels.automatic ? autoDisplayLevels(content.picture) : levels;
    content.levels.automatic = false;
    const QRect whole = content.picture.rect();
    if (!options.region.isEmpty() && !whole.contains(options.region))
        throw FigureError(
            QStringLiteral("the region %1,%2 %3 x %4 is not on the picture of %5 x %6 "
                           "pixels")
                .arg(options.region.left())
                .arg(options.region.top())
                .arg(options.region.width())
                .arg(options.region.height())
                .arg(whole.width())
                .arg(whole.height()));
    const QString path = session.pictureIdentity().path;
    content.pictureName = path.isEmpty() ? QString() : QFileInfo(path).fileName();

    const std::vector<LaneStrip>& lanes = session.lanes();
    content.orientation =
        lanes.empty() ? session.proposals().orientation() : lanes.front().orientation;
    if (options.labels == FigureLabels::Samples && samples) {
        const QString fault = sampleTableFault(*samples, {int(lanes.size())});
        if (!fault.isEmpty())
            throw FigureError(QStringLiteral("the sample table does not fit the lanes: ") + fault);
    }
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const LaneStrip& lane = lanes[i];
        const int middle = lane.first + (lane.last - lane.first) / 2;
        content.laneCentres.push_back(lane.centreAt(lane.first <= lane.last ? middle : 0) + 0.5);
        QString label = QString::number(i + 1);
        if (options.labels == FigureLabels::Samples && samples)
            if (const SampleRow* row = samples->rowFor(int(i)); row && !row->sample.isEmpty())
                label = row->sample;
        content.laneLabels << label;
    }

    const std::vector<BandProposal>& items = session.proposals().items();
    for (const BandProposal& item : items)
        content.bands.push_back(
            QRect(item.frame.left, item.frame.top, item.frame.width, item.frame.height));

    // The sizes of the ladder lanes' bands: the first ladder lane's at the near side, the
    // second's at the far side.
    const FoundBandSizes sizes = session.foundBandSizes();
    std::vector<int> ladderOrder;
    for (const LadderLane& ladder : session.ladderLanes())
        ladderOrder.push_back(ladder.lane);
    std::sort(ladderOrder.begin(), ladderOrder.end());
    for (std::size_t i = 0; i < sizes.bands.size() && i < items.size(); ++i) {
        const BandSize& size = sizes.bands[i];
        if (!size.ladder || !size.size || i >= sizes.lanes.size())
            continue;
        const int lane = sizes.lanes[i];
        const LadderLane* ladder = session.ladderOf(lane);
        if (!ladder)
            continue;
        const auto place = std::find(ladderOrder.begin(), ladderOrder.end(), lane);
        const std::ptrdiff_t side = place - ladderOrder.begin();
        if (side > 1 || (side == 1 && !vertical(content)))
            continue;
        const FoundFrame& f = items[i].frame;
        FigureTick tick;
        tick.along =
            vertical(content) ? f.top + (f.height + 1) / 2.0 : f.left + (f.width + 1) / 2.0;
        tick.text = doubleText(*size.size) + QLatin1Char(' ') + sizeUnitText(ladder->ladder.unit);
        tick.farSide = side == 1;
        content.ticks.push_back(tick);
    }
    return content;
}

FigureLayout figureLayout(const FigureContent& content, const FigureOptions& options)
{
    FigureLayout layout;
    layout.region = options.region.isEmpty() ? content.picture.rect() : options.region;
    const int dpi = std::clamp(options.dpi, FigureOptions::MinDpi, FigureOptions::MaxDpi);
    // 8-point text when the figure is printed at its DPI.
    layout.textPixels = std::max(8, int(std::lround(dpi * 8.0 / 72.0)));
    const QFontMetricsF metrics(figureFont(layout.textPixels));
    const int pad = std::max(2, layout.textPixels / 2);
    const int line = int(std::ceil(metrics.height()));
    const int tick = std::max(3, layout.textPixels / 2);
    const QRect& region = layout.region;

    // Lane labels: across the lanes (above vertical ones, left of horizontal ones).
    std::vector<double> centres;
    QStringList labels;
    double widest = 0;
    if (options.labels != FigureLabels::None) {
        for (std::size_t i = 0; i < content.laneCentres.size(); ++i) {
            if (!acrossInside(content, region, content.laneCentres[i]))
                continue;
            centres.push_back(content.laneCentres[i]);
            labels << content.laneLabels.value(int(i));
            widest = std::max(widest, metrics.horizontalAdvance(labels.constLast()));
        }
    }
    double spacing = std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < centres.size(); ++i)
        spacing = std::min(spacing, std::abs(centres[i] - centres[i - 1]));
    layout.labelsTurned = vertical(content) && widest + pad / 2.0 > spacing;

    double tickWidth[2] = {0, 0};
    bool tickSide[2] = {false, false};
    if (options.sizeTicks) {
        for (const FigureTick& t : content.ticks) {
            if (!alongInside(content, region, t.along))
                continue;
            tickSide[t.farSide] = true;
            tickWidth[t.farSide] =
                std::max(tickWidth[t.farSide], metrics.horizontalAdvance(t.text));
        }
    }

    int left = pad, right = pad, top = pad;
    if (vertical(content)) {
        if (!centres.empty())
            top += (layout.labelsTurned ? int(std::ceil(widest)) : line) + pad;
        else if (tickSide[0] || tickSide[1])
            top += line / 2; // room for the top tick's text
        for (int side = 0; side < 2; ++side) {
            if (!tickSide[side])
                continue;
            (side == 0 ? left : right) += int(std::ceil(tickWidth[side])) + tick + pad / 2;
        }
        // A label wider than its lane's place at an edge of the picture gets room there.
        if (!centres.empty() && !layout.labelsTurned) {
            const double half = widest / 2;
            left = std::max(left, pad + int(std::ceil(half - (centres.front() - region.left()))));
            right =
                std::max(right, pad + int(std::ceil(half - (region.right() + 1 - centres.back()))));
        }
    } else {
        if (!centres.empty())
            left += int(std::ceil(widest)) + pad;
        if (tickSide[0])
            top += line + tick;
    }
    layout.pictureArea = QRect(left, top, region.width(), region.height());

    // Under the picture: the levels bar and its legend, then the caption.
    int width = left + region.width() + right;
    // The legend: "0" at the left, the full scale at the right, the levels centred between.
    const double legend =
        options.levelsScale
            ? metrics.horizontalAdvance(figureLevelsText(content.levels)) +
                  2 * metrics.horizontalAdvance(QString::number(fullScaleOf(content.picture))) +
                  2 * layout.textPixels
            : 0;
    int y = layout.pictureArea.bottom() + 1 + pad;
    if (options.levelsScale) {
        // Under the picture, or across the figure when its legend is wider than the picture.
        const int legendWidth = int(std::ceil(legend));
        const int barWidth = std::max(region.width(), legendWidth);
        const int barLeft = left + barWidth + pad <= width ? left : pad;
        width = std::max(width, barLeft + barWidth + pad);
        layout.scaleArea = QRect(barLeft, y, barWidth, std::max(4, layout.textPixels * 2 / 3));
        y = layout.scaleArea.bottom() + 1 + pad / 2 + line + pad / 2;
    }
    if (options.caption) {
        QString shown;
        if (region != content.picture.rect())
            shown = QStringLiteral(" Shown: columns %1 to %2, rows %3 to %4.")
                        .arg(region.left())
                        .arg(region.right())
                        .arg(region.top())
                        .arg(region.bottom());
        layout.caption =
            QStringLiteral("Display levels %1, applied to the whole picture alike; the measured "
                           "counts are unchanged. %2%3 x %4 pixels, %5.%6")
                .arg(figureLevelsText(content.levels),
                     content.pictureName.isEmpty() ? QString()
                                                   : content.pictureName + QStringLiteral(", "))
                .arg(content.picture.width())
                .arg(content.picture.height())
                .arg(bitDepthText(content.picture), shown);
        const QRectF bounds = metrics.boundingRect(
            QRectF(0, 0, width - 2 * pad, 1e6), Qt::TextWordWrap | Qt::AlignLeft, layout.caption);
        layout.captionArea = QRect(pad, y, width - 2 * pad, int(std::ceil(bounds.height())) + 1);
        y = layout.captionArea.bottom() + 1 + pad / 2;
    }
    layout.size = QSize(width, y);
    return layout;
}

QImage figureRendering(const FigureContent& content)
{
    const QImage shown = screenRendering(content.picture, content.levels);
    if (!shown.isNull())
        return shown;
    return content.picture.convertToFormat(QImage::Format_RGB32);
}

void drawFigure(QPainter& painter, const FigureContent& content, const FigureOptions& options)
{
    const FigureLayout layout = figureLayout(content, options);
    const QRect& region = layout.region;
    const QRect& area = layout.pictureArea;
    const QFont font = figureFont(layout.textPixels);
    const QFontMetricsF metrics(font);
    const int pad = std::max(2, layout.textPixels / 2);
    const int tick = std::max(3, layout.textPixels / 2);

    painter.save();
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(QRect(QPoint(0, 0), layout.size), Qt::white);
    painter.drawImage(area.topLeft(), figureRendering(content), region);
    painter.setFont(font);
    painter.setPen(QPen(Qt::black, 1));

    // Found bands' outlines, on the picture (clipped to it), one picture pixel wide over the
    // frames' edge pixels.
    if (options.bandOutlines && !content.bands.empty()) {
        painter.save();
        painter.setClipRect(area);
        painter.translate(area.left() - region.left(), area.top() - region.top());
        painter.setPen(QPen(QColor(255, 140, 0), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        for (const QRect& band : content.bands)
            painter.drawRect(band);
        painter.restore();
    }

    painter.setRenderHint(QPainter::TextAntialiasing);
    // Lane labels.
    if (options.labels != FigureLabels::None) {
        for (std::size_t i = 0; i < content.laneCentres.size(); ++i) {
            const double c = content.laneCentres[i];
            if (!acrossInside(content, region, c))
                continue;
            const QString label = content.laneLabels.value(int(i));
            if (!vertical(content)) {
                const double y = area.top() + c - region.top();
                painter.drawText(QRectF(pad, y - metrics.height() / 2,
                                        area.left() - 2 * pad + pad / 2.0, metrics.height()),
                                 Qt::AlignRight | Qt::AlignVCenter, label);
                continue;
            }
            const double x = area.left() + c - region.left();
            if (layout.labelsTurned) {
                painter.save();
                painter.translate(x + (metrics.ascent() - metrics.descent()) / 2, area.top() - pad);
                painter.rotate(-90);
                painter.drawText(QPointF(0, 0), label);
                painter.restore();
            } else {
                const double w = metrics.horizontalAdvance(label) + 2;
                painter.drawText(
                    QRectF(x - w / 2, area.top() - pad - metrics.height(), w, metrics.height()),
                    Qt::AlignHCenter | Qt::AlignBottom, label);
            }
        }
    }

    // Size ticks at the side.
    if (options.sizeTicks) {
        for (const FigureTick& t : content.ticks) {
            if (!alongInside(content, region, t.along))
                continue;
            const double w = metrics.horizontalAdvance(t.text) + 2;
            if (vertical(content)) {
                const double y = area.top() + t.along - region.top();
                if (!t.farSide) {
                    painter.drawLine(QPointF(area.left() - tick, y), QPointF(area.left() - 1, y));
                    painter.drawText(QRectF(area.left() - tick - pad / 4.0 - w,
                                            y - metrics.height() / 2, w, metrics.height()),
                                     Qt::AlignRight | Qt::AlignVCenter, t.text);
                } else {
                    const double edge = area.right() + 1;
                    painter.drawLine(QPointF(edge, y), QPointF(edge + tick, y));
                    painter.drawText(QRectF(edge + tick + pad / 4.0, y - metrics.height() / 2, w,
                                            metrics.height()),
                                     Qt::AlignLeft | Qt::AlignVCenter, t.text);
                }
            } else {
                const double x = area.left() + t.along - region.left();
                painter.drawLine(QPointF(x, area.top() - tick), QPointF(x, area.top()));
                painter.drawText(
                    QRectF(x - w / 2, area.top() - tick - metrics.height(), w, metrics.height()),
                    Qt::AlignHCenter | Qt::AlignBottom, t.text);
            }
        }
    }

    // The levels bar: counts from 0 to full scale as the figure shows them, with marks at
    // the black and white points.
    if (options.levelsScale && !layout.scaleArea.isEmpty()) {
        const QRect bar = layout.scaleArea;
        const int full = fullScaleOf(content.picture);
        QImage ramp(bar.width(), 1, QImage::Format_Grayscale8);
        for (int x = 0; x < bar.width(); ++x) {
            const int count =
                bar.width() > 1 ? int(std::lround(double(x) * full / (bar.width() - 1))) : 0;
            ramp.scanLine(0)[x] = uchar(screenLevel(count, content.levels));
        }
        painter.drawImage(bar, ramp);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(bar).adjusted(-0.5, -0.5, 0.5, 0.5));
        painter.setPen(QPen(QColor(200, 0, 0), std::max(1, layout.textPixels / 10)));
        for (const int level : {content.levels.black, content.levels.white}) {
            const double x =
                bar.left() + double(std::clamp(level, 0, full)) * (bar.width() - 1) / full + 0.5;
            painter.drawLine(QPointF(x, bar.top() - pad / 3.0),
                             QPointF(x, bar.bottom() + 1 + pad / 3.0));
        }
        painter.setPen(QPen(Qt::black, 1));
        const QRectF legend(bar.left(), bar.bottom() + 1 + pad / 2.0, bar.width(),
                            metrics.height());
        painter.drawText(legend, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("0"));
        painter.drawText(legend, Qt::AlignRight | Qt::AlignVCenter, QString::number(full));
        painter.drawText(legend, Qt::AlignHCenter | Qt::AlignVCenter,
                         figureLevelsText(content.levels));
    }

    if (options.caption && !layout.captionArea.isEmpty())
        painter.drawText(layout.captionArea, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                         layout.caption);
    painter.restore();
}

QImage figureImage(const FigureContent& content, const FigureOptions& options)
{
    const FigureLayout layout = figureLayout(content, options);
    QImage image(layout.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        drawFigure(painter, content, options);
    }
    const int dpi = std::clamp(options.dpi, FigureOptions::MinDpi, FigureOptions::MaxDpi);
    const int perMetre = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
    image.setText(QStringLiteral("Display levels"), figureLevelsText(content.levels));
    image.setText(QStringLiteral("Software"),
                  version::productName() + QLatin1Char(' ') + version::text());
    if (!content.pictureName.isEmpty())
        image.setText(QStringLiteral("Source"), content.pictureName);
    if (!layout.caption.isEmpty())
        image.setText(QStringLiteral("Description"), layout.caption);
    return image;
}

std::optional<FigureFormat> figureFormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return FigureFormat::Png;
    if (suffix == QLatin1String("svg"))
        return FigureFormat::Svg;
    if (suffix == QLatin1String("pdf"))
        return FigureFormat::Pdf;
    return std::nullopt;
}

void writeFigure(const QString& path, const FigureContent& content, const FigureOptions& options)
{
    const std::optional<FigureFormat> format = figureFormatOf(path);
    if (!format)
        throw FigureError(
            QStringLiteral("\"%1\": expected a file name ending in .png, .svg or .pdf").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(Error::FileError,
                    QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString()));
    const FigureLayout layout = figureLayout(content, options);
    const int dpi = std::clamp(options.dpi, FigureOptions::MinDpi, FigureOptions::MaxDpi);
    const QString title =
        QStringLiteral("Figure%1 (display levels %2)")
            .arg(content.pictureName.isEmpty() ? QString()
                                               : QStringLiteral(" of ") + content.pictureName,
                 figureLevelsText(content.levels));
    bool drawn = true;
    switch (*format) {
    case FigureFormat::Png: {
        QImageWriter writer(&file, "png");
        drawn = writer.write(figureImage(content, options));
        break;
    }
    case FigureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(layout.size);
        svg.setViewBox(QRect(QPoint(0, 0), layout.size));
        svg.setResolution(dpi);
        svg.setTitle(title);
        svg.setDescription(layout.caption.isEmpty() ? title : layout.caption);
        QPainter painter;
        drawn = painter.begin(&svg);
        if (drawn) {
            drawFigure(painter, content, options);
            drawn = painter.end();
        }
        break;
    }
    case FigureFormat::Pdf: {
        QPdfWriter pdf(&file);
        pdf.setResolution(dpi);
        pdf.setTitle(title);
        pdf.setCreator(version::productName() + QLatin1Char(' ') + version::text());
        const QSizeF points(layout.size.width() * 72.0 / dpi, layout.size.height() * 72.0 / dpi);
        pdf.setPageSize(QPageSize(QSizeF(std::ceil(points.width()), std::ceil(points.height())),
                                  QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        drawn = painter.begin(&pdf);
        if (drawn) {
            drawFigure(painter, content, options);
            drawn = painter.end();
        }
        break;
    }
    }
    if (!drawn || !file.commit())
        throw Error(Error::FileError,
                    QStringLiteral("Cannot write %1:\n%2").arg(path, file.errorString()));
}

} // namespace kesto
