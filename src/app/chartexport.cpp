#include "app/chartexport.h"

#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>

namespace kesto {

namespace {

// A PNG is drawn at twice the size shown so that it stays sharp in print.
constexpr int PngScale = 2;

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

void drawChart(QChart* chart, QPainter& painter, const QRectF& target)
{
    painter.setRenderHint(QPainter::Antialiasing);
    chart->scene()->render(&painter, target, chart->sceneBoundingRect());
}

} // namespace

QStringList chartFileFilters()
{
    return {QStringLiteral("PNG picture (*.png)"), QStringLiteral("SVG drawing (*.svg)"),
            QStringLiteral("PDF document (*.pdf)")};
}

QString chartFileSuffix(int filter)
{
    switch (filter) {
    case 1:
        return QStringLiteral("svg");
    case 2:
        return QStringLiteral("pdf");
    default:
        return QStringLiteral("png");
    }
}

bool saveChart(QChartView* view, const QString& path, QString* error)
{
    if (!view || !view->chart())
        return fail(error, QStringLiteral("There is no chart to save."));
    return saveChart(view->chart(), path, error);
}

bool saveChart(QChart* chart, const QString& path, QString* error)
{
    if (!chart || !chart->scene())
        return fail(error, QStringLiteral("The chart is not shown, so there is nothing to save."));
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") &&
        suffix != QLatin1String("pdf"))
        return fail(error, QStringLiteral("%1: a chart is saved as .png, .svg or .pdf, not \"%2\".")
                               .arg(path, QFileInfo(path).suffix()));
    const QSizeF size = chart->sceneBoundingRect().size();
    if (size.width() < 1 || size.height() < 1)
        return fail(error,
                    QStringLiteral("The chart has no size yet, so there is nothing to save."));

    // Written beside the target and renamed on success.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
    bool ok = false;
    if (suffix == QLatin1String("png")) {
        QImage image((size * PngScale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            drawChart(chart, painter, QRectF(QPointF(0, 0), size * PngScale));
        }
        ok = image.save(&file, "PNG");
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size.toSize());
        svg.setViewBox(QRectF(QPointF(0, 0), size));
        svg.setTitle(chart->title());
        QPainter painter;
        ok = painter.begin(&svg);
        if (ok) {
            drawChart(chart, painter, QRectF(QPointF(0, 0), size));
            ok = painter.end();
        }
    } else {
        // One page the chart's size, at 96 pixels to the inch as the screen shows it.
        QPdfWriter pdf(&file);
        pdf.setTitle(chart->title());
        pdf.setCreator(QStringLiteral("KestoScan"));
        pdf.setResolution(96);
        const QSizeF points = size * 72.0 / 96.0;
        pdf.setPageLayout(QPageLayout(QPageSize(points, QPageSize::Point), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        ok = painter.begin(&pdf);
        if (ok) {
            drawChart(chart, painter, QRectF(QPointF(0, 0), size));
            ok = painter.end();
        }
    }
    if (!ok) {
        file.cancelWriting();
        return fail(error,
                    QStringLiteral("%1: the chart could not be drawn into the file.").arg(path));
    }
    if (!file.commit())
        return fail(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
    return true;
}

} // namespace kesto
