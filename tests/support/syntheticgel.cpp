#include "support/syntheticgel.h"
#include "support/syntheticshapes.h"

#include <QRandomGenerator>
#include <QRgba64>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kesto::test {

namespace {

struct Band
{
    double top;    // first row of the bell
    double length; // rows from one foot of the bell to the other
    double amplitude;
};

} // namespace

SyntheticGel makeSyntheticGel(const SyntheticGelLayout& layout)
{
    QRandomGenerator random(layout.seed);
    const int w = layout.width;
    const int h = layout.height;
    const int pitch = w / layout.lanes;
    const double half = layout.laneWidth / 2.0;

    SyntheticGel gel;
    std::vector<double> signal(std::size_t(w) * std::size_t(h), 0.0);
    for (int lane = 0; lane < layout.lanes; ++lane) {
        const double base = pitch * (lane + 0.5);
        // Outer lanes bow outwards, the middle ones hardly.
        const double bow = layout.curve * (2.0 * lane / std::max(1, layout.lanes - 1) - 1);
        auto centre = [&](double row) {
            const double t = row / h - 0.5;
            return base + layout.tilt * t + bow * 4 * t * t;
        };
        // Bands from top to bottom: mostly clear ones, some faint, now and then a pair
        // that touch.
        std::vector<Band> bands;
        // A smile: the middle lanes run further than the outer ones.
        const double u = (base - w / 2.0) / (w / 2.0);
        double row = 12 + random.bounded(20) + layout.smile * (1 - u * u);
        while (true) {
            const double length = 10 + random.bounded(16);
            if (row + length > h - 12)
                break;
            const int kind = random.bounded(10);
            double amplitude = 0.15 + 0.5 * random.generateDouble();
            if (kind == 0)
                amplitude = layout.noise * (4 + 2 * random.generateDouble());
            bands.push_back({row, length, amplitude});
            row += length + (kind == 1 ? 0 : 6 + random.bounded(40));
        }
        QList<QRect> truth;
        for (const Band& band : bands) {
            const int top = int(std::floor(band.top)) + 1;
            const int bottom = int(std::ceil(band.top + band.length)) - 1;
            double lo = 1e9, hi = -1e9;
            for (int y = top; y <= bottom; ++y) {
                lo = std::min(lo, centre(y));
                hi = std::max(hi, centre(y));
                for (int x = std::max(0, int(centre(y) - half - 3));
                     x <= std::min(w - 1, int(centre(y) + half + 3)); ++x)
                    signal[std::size_t(y) * std::size_t(w) + std::size_t(x)] +=
                        band.amplitude * alongWeight(y, band.top, band.length) *
                        acrossWeight(x + 0.5 - centre(y), half);
            }
            truth << QRect(QPoint(int(std::lround(lo - half)), top),
                           QPoint(int(std::lround(hi + half)) - 1, bottom));
        }
        double lo = 1e9, hi = -1e9;
        for (int y = 0; y < h; ++y) {
            lo = std::min(lo, centre(y));
            hi = std::max(hi, centre(y));
        }
        gel.lanes << QRect(QPoint(int(std::lround(lo - half)), 0),
                           QPoint(int(std::lround(hi + half)) - 1, h - 1));
        gel.bands << truth;
    }

    const bool sixteen = layout.depth != SyntheticGelLayout::Depth::Rgb8;
    const double full = sixteen ? 65535 : 255;
    const QImage::Format format =
        layout.depth == SyntheticGelLayout::Depth::Rgb8     ? QImage::Format_RGB32
        : layout.depth == SyntheticGelLayout::Depth::Gray16 ? QImage::Format_Grayscale16
                                                            : QImage::Format_RGBX64;
    gel.picture = QImage(w, h, format);
    const double phase = random.generateDouble() * 2 * Pi;
    for (int y = 0; y < h; ++y) {
        uchar* line = gel.picture.scanLine(y);
        for (int x = 0; x < w; ++x) {
            // A background that rises across the gel with a slow wave along it.
            const double uneven =
                layout.unevenness * (double(x) / w - 0.5 + 0.5 * std::sin(phase + 3.0 * y / h));
            const double s = signal[std::size_t(y) * std::size_t(w) + std::size_t(x)];
            double level = layout.darkOnLight ? 0.85 - s + uneven : 0.1 + s + uneven;
            level += layout.noise * gaussian(random);
            const double v = std::clamp(level, 0.0, 1.0) * full;
            switch (layout.depth) {
            case SyntheticGelLayout::Depth::Rgb8: {
                const int g = int(std::lround(v));
                reinterpret_cast<QRgb*>(line)[x] = qRgb(g, g, g);
                break;
            }
            case SyntheticGelLayout::Depth::Gray16:
                reinterpret_cast<quint16*>(line)[x] = quint16(std::lround(v));
                break;
            case SyntheticGelLayout::Depth::Rgb16: {
                const quint16 g = quint16(std::lround(v));
                reinterpret_cast<QRgba64*>(line)[x] = QRgba64::fromRgba64(g, g, g, 65535);
                break;
            }
            }
        }
    }
    return gel;
}

namespace {

void setLevel(QImage& picture, SyntheticGelLayout::Depth depth, int x, int y, double level)
{
    uchar* line = picture.scanLine(y);
    const double full = depth == SyntheticGelLayout::Depth::Rgb8 ? 255 : 65535;
    const double v = std::clamp(level, 0.0, 1.0) * full;
    switch (depth) {
    case SyntheticGelLayout::Depth::Rgb8: {
        const int g = int(std::lround(v));
        reinterpret_cast<QRgb*>(line)[x] = qRgb(g, g, g);
        break;
    }
    case SyntheticGelLayout::Depth::Gray16:
        reinterpret_cast<quint16*>(line)[x] = quint16(std::lround(v));
        break;
    case SyntheticGelLayout::Depth::Rgb16: {
        const quint16 g = quint16(std::lround(v));
        reinterpret_cast<QRgba64*>(line)[x] = QRgba64::fromRgba64(g, g, g, 65535);
        break;
    }
    }
}

} // namespace

SyntheticGel makeDilutionGel(const DilutionLayout& layout)
{
    QRandomGenerator random(layout.seed);
    const int pitch = layout.laneWidth * 3 / 2;
    const int w = pitch * int(layout.amounts.size());
    const int top = 20;
    const int h = layout.bandLength + 2 * top;
    const double half = layout.laneWidth / 2.0;
    const QImage::Format format =
        layout.depth == SyntheticGelLayout::Depth::Rgb8     ? QImage::Format_RGB32
        : layout.depth == SyntheticGelLayout::Depth::Gray16 ? QImage::Format_Grayscale16
                                                            : QImage::Format_RGBX64;
    SyntheticGel gel;
    gel.picture = QImage(w, h, format);
    const Band band{double(top), double(layout.bandLength), 0};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int lane = x / pitch;
            const double centre = pitch * (lane + 0.5);
            const double s = layout.heightPerAmount * layout.amounts.at(lane) *
                             alongWeight(y, band.top, band.length) *
                             acrossWeight(x + 0.5 - centre, half);
            // The noise is added before the cut, as a detector's is.
            const double level =
                (layout.darkOnLight ? 0.9 - s : 0.1 + s) + layout.noise * gaussian(random);
            setLevel(gel.picture, layout.depth, x, y, level);
        }
    }
    for (int lane = 0; lane < int(layout.amounts.size()); ++lane) {
        const int left = pitch * lane + (pitch - layout.laneWidth) / 2;
        gel.lanes << QRect(left, 0, layout.laneWidth, h);
        gel.bands << QList<QRect>{QRect(left, top + 1, layout.laneWidth, layout.bandLength - 1)};
    }
    return gel;
}

SyntheticGel rotated(const SyntheticGel& gel, double degrees)
{
    const QTransform turn = QTransform().rotate(degrees);
    const int w = gel.picture.width(), h = gel.picture.height();
    const QTransform exact = QImage::trueMatrix(turn, w, h);
    const QImage turned = gel.picture.transformed(turn, Qt::SmoothTransformation);
    const double s = std::abs(std::sin(degrees * Pi / 180));
    const int mx = int(std::ceil(h * s)) + 2, my = int(std::ceil(w * s)) + 2;
    const QRect keep(mx, my, turned.width() - 2 * mx, turned.height() - 2 * my);
    SyntheticGel out;
    out.picture = turned.copy(keep);
    auto turnedBox = [&](const QRect& r) {
        return exact.mapRect(QRectF(r.left(), r.top(), r.width(), r.height())).toAlignedRect();
    };
    for (int lane = 0; lane < gel.lanes.size(); ++lane) {
        const QRect l = turnedBox(gel.lanes.at(lane)).intersected(keep);
        if (l.width() < gel.lanes.at(lane).width() / 2)
            continue;
        QList<QRect> bands;
        for (const QRect& band : gel.bands.at(lane)) {
            const QRect b = turnedBox(band);
            if (keep.contains(b))
                bands << b.translated(-keep.topLeft());
            else if (b.intersects(keep))
                out.cut << b.intersected(keep).translated(-keep.topLeft());
        }
        out.lanes << l.translated(-keep.topLeft());
        out.bands << bands;
    }
    return out;
}

SyntheticGel transposed(const SyntheticGel& gel)
{
    auto swap = [](const QRect& r) { return QRect(r.top(), r.left(), r.height(), r.width()); };
    SyntheticGel out;
    // A mirror about the diagonal: (x, y) becomes (y, x).
    out.picture = gel.picture.transformed(QTransform(0, 1, 1, 0, 0, 0));
    for (const QRect& lane : gel.lanes)
        out.lanes << swap(lane);
    for (const QList<QRect>& bands : gel.bands) {
        QList<QRect> turned;
        for (const QRect& band : bands)
            turned << swap(band);
        out.bands << turned;
    }
    return out;
}

QString truthText(const SyntheticGel& gel)
{
    QString text = QStringLiteral("LANE\tBAND\tLEFT\tTOP\tWIDTH\tHEIGHT\n");
    for (int lane = 0; lane < gel.bands.size(); ++lane) {
        for (int band = 0; band < gel.bands.at(lane).size(); ++band) {
            const QRect& r = gel.bands.at(lane).at(band);
            text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                        .arg(lane + 1)
                        .arg(band + 1)
                        .arg(r.left())
                        .arg(r.top())
                        .arg(r.width() - 1)
                        .arg(r.height() - 1);
        }
    }
    return text;
}

} // namespace kesto::test
