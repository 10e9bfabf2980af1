#include "core/measurementrecord.h"

#include "core/deeppicture.h"
#include "core/error.h"
#include "core/measurementplan.h"
#include "core/numbers.h"
#include "core/sheetdata.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kesto {

namespace {

// SHA-256 through OpenSSL's libcrypto, fed piece by piece.
class Sha256
{
public:
    Sha256() : m_context(EVP_MD_CTX_new())
    {
        if (!m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1)
            throw Error(Error::NotAvailableAtRunTime, QStringLiteral("Cannot start a SHA-256"));
    }
    ~Sha256() { EVP_MD_CTX_free(m_context); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const void* data, std::size_t size)
    {
        if (size > 0 && EVP_DigestUpdate(m_context, data, size) != 1)
            throw Error(Error::NotAvailableAtRunTime, QStringLiteral("Cannot take a SHA-256"));
    }
    QByteArray hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context, digest, &length) != 1)
            throw Error(Error::NotAvailableAtRunTime, QStringLiteral("Cannot take a SHA-256"));
        return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
    }

private:
    EVP_MD_CTX* m_context;
};

} // namespace

QByteArray fileSha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Error::FileError, QStringLiteral("Cannot read %1 to take its SHA-256 (%2)")
                                          .arg(path, file.errorString()));
    Sha256 hash;
    std::vector<char> buffer(std::size_t(1) << 20);
    for (;;) {
        const qint64 read = file.read(buffer.data(), qint64(buffer.size()));
        if (read < 0)
            throw Error(Error::FileError,
                        QStringLiteral("Cannot read %1 to take its SHA-256").arg(path));
        if (read == 0)
            break;
        hash.add(buffer.data(), std::size_t(read));
    }
    return hash.hex();
}

QByteArray pixelSha256(const QImage& picture)
{
    Sha256 hash;
    if (picture.format() == QImage::Format_Grayscale8) {
        // Kept gray to be measured, hashed as the working picture it stands for, so that a
        // picture's digest does not depend on how it is held.
        std::vector<std::uint32_t> row(std::size_t(std::max(picture.width(), 0)));
        for (int y = 0; y < picture.height(); ++y) {
            const std::uint8_t* in = picture.constScanLine(y);
            for (std::size_t x = 0; x < row.size(); ++x)
                row[x] = 0xFF000000u | std::uint32_t(in[x]) * 0x010101u;
            hash.add(row.data(), row.size() * sizeof(std::uint32_t));
        }
        return hash.hex();
    }
    const std::size_t bytes = std::size_t(picture.width()) * std::size_t(picture.depth()) / 8;
    for (int y = 0; y < picture.height(); ++y)
        hash.add(picture.constScanLine(y), bytes);
    return hash.hex();
}

PictureIdentity pictureIdentity(const QImage& picture, const QString& path)
{
    PictureIdentity identity;
    identity.path = path;
    identity.sha256 = path.isEmpty() ? pixelSha256(picture) : fileSha256(path);
    identity.width = picture.width();
    identity.height = picture.height();
    identity.bitDepth = isDeepPicture(picture) ? 16 : 8;
    identity.page = picturePage(picture);
    identity.polarity = polarityText(picture);
    QStringList tags;
    for (const char* key : {"Description", "Make", "Model", "Software", "DateTime"}) {
        QString value = picture.text(QLatin1String(key)).simplified();
        if (!value.isEmpty())
            tags << QStringLiteral("%1: %2").arg(QLatin1String(key), value);
    }
    identity.tags = tags.join(QStringLiteral("; "));
    return identity;
}

void MeasurementRecord::add(MeasurementEntry entry)
{
    const quint64 cell = key(entry.cell.row, entry.cell.column);
    // An emptied cell has no value left to explain; the write still replays.
    const bool emptied = entry.text.isEmpty();
    m_history.push_back(std::move(entry));
    if (emptied)
        m_current.remove(cell);
    else
        m_current.insert(cell, m_history.size() - 1);
}

void MeasurementRecord::clear()
{
    m_history.clear();
    m_current.clear();
}

const MeasurementEntry* MeasurementRecord::entryAt(int row, int column) const
{
    const auto found = m_current.constFind(key(row, column));
    return found == m_current.constEnd() ? nullptr : &m_history[*found];
}

std::vector<MeasurementEntry> MeasurementRecord::entries() const
{
    std::vector<MeasurementEntry> current;
    current.reserve(std::size_t(m_current.size()));
    for (std::size_t i = 0; i < m_history.size(); ++i) {
        const MeasurementEntry& entry = m_history[i];
        if (m_current.value(key(entry.cell.row, entry.cell.column), m_history.size()) == i)
            current.push_back(entry);
    }
    return current;
}

QString valueSourceText(ValueSource source)
{
    switch (source) {
    case ValueSource::Scan:
        return QStringLiteral("scan");
    case ValueSource::Typed:
        return QStringLiteral("typed");
    case ValueSource::Pasted:
        return QStringLiteral("pasted");
    }
    return QString();
}

QString channelText(Channel channel)
{
    switch (channel) {
    case Channel::Red:
        return QStringLiteral("red");
    case Channel::Green:
        return QStringLiteral("green");
    case Channel::Blue:
        return QStringLiteral("blue");
    }
    return QString();
}

namespace {

QString cellText(const CellAddress& cell)
{
    return QStringLiteral("R%1C%2").arg(cell.row).arg(cell.column);
}

QString levelsText(const ChannelLevels& levels)
{
    return QStringLiteral("%1,%2,%3").arg(levels.red).arg(levels.green).arg(levels.blue);
}

QString pictureName(const PictureIdentity& picture)
{
    return picture.fromClipboard() ? QStringLiteral("clipboard") : picture.path;
}

QString timeText(const QDateTime& time)
{
    return time.toString(Qt::ISODateWithMs);
}

QString countText(std::uint64_t count)
{
    return QString::number(quint64(count));
}

} // namespace

QString laneStripText(const LaneStrip& lane)
{
    QStringList words{lane.orientation == LaneOrientation::Horizontal ? QStringLiteral("horizontal")
                                                                      : QStringLiteral("vertical"),
                      QString::number(lane.first), QString::number(lane.last),
                      QString::number(lane.width)};
    for (const QPoint& p : lane.path)
        words << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    return words.join(QLatin1Char(' '));
}

QString bandBoundsText(const std::vector<BandBounds>& bounds)
{
    QStringList words;
    for (const BandBounds& b : bounds)
        words << QStringLiteral("%1 %2").arg(b.from).arg(b.to);
    return words.join(QLatin1Char(' '));
}

QString peakShapeText(PeakShape shape)
{
    return shape == PeakShape::Gaussian ? QStringLiteral("gaussian") : QStringLiteral("emg");
}

QString laneSourceLabel(const LaneSource& source)
{
    const QString along = source.lane.orientation == LaneOrientation::Horizontal
                              ? QStringLiteral("columns")
                              : QStringLiteral("rows");
    auto span = [&](const BandBounds& b) { return QStringLiteral("%1-%2").arg(b.from).arg(b.to); };
    QString text;
    if (source.mode == QuantifyMode::Fit) {
        QStringList spans;
        for (const BandBounds& b : source.group)
            spans << span(b);
        text = QStringLiteral("fitted %1 peak %2 of %3 (%4 %5); standard error %6, residual %7")
                   .arg(source.shape == PeakShape::Gaussian
                            ? QStringLiteral("Gaussian")
                            : QStringLiteral("exponentially modified Gaussian"))
                   .arg(source.index + 1)
                   .arg(source.group.size())
                   .arg(along, spans.join(QStringLiteral(", ")), doubleText(source.error),
                        doubleText(source.residual));
    } else {
        text = QStringLiteral("volume between %1 %2")
                   .arg(along, source.group.empty() ? QString() : span(source.group.front()));
    }
    return text + QStringLiteral("; lane baseline %1; %2 bands; lane total %3")
                      .arg(laneBackgroundLabel(source.background),
                           source.darkBands ? QStringLiteral("dark") : QStringLiteral("light"),
                           doubleText(source.total));
}

QString measurementTip(const MeasurementEntry& entry)
{
    QStringList lines;
    lines << QStringLiteral("%1 = %2, %3")
                 .arg(cellText(entry.cell), entry.text, valueSourceText(entry.source));
    if (entry.source == ValueSource::Scan) {
        const PictureIdentity& p = entry.picture;
        lines << QStringLiteral("Picture: %1 (%2 x %3, %4-bit%5%6)")
                     .arg(pictureName(p))
                     .arg(p.width)
                     .arg(p.height)
                     .arg(p.bitDepth)
                     .arg(p.page > 0 ? QStringLiteral(", page %1").arg(p.page) : QString(),
                          p.polarity == QLatin1String("WhiteIsZero")
                              ? QStringLiteral(", WhiteIsZero")
                              : QString());
        if (!p.tags.isEmpty())
            lines << QStringLiteral("File says: %1").arg(p.tags);
        lines << QStringLiteral("SHA-256: %1").arg(QString::fromLatin1(p.sha256));
        lines << QStringLiteral("Channel: %1%2")
                     .arg(channelText(entry.channel),
                          entry.inverted ? QStringLiteral(", inverted") : QString());
        const LaneSource& lane = entry.lane;
        if (!lane.isVolume()) {
            QString background = QStringLiteral("Background: %1").arg(levelsText(entry.background));
            if (entry.picked)
                background += QStringLiteral(" picked at %1, %2")
                                  .arg(singleText(entry.pickX), singleText(entry.pickY));
            lines << background + QStringLiteral(" (%1)").arg(backgroundMethodLabel(entry.method));
            lines << QStringLiteral("Frame: left %1, top %2, width %3, height %4")
                         .arg(singleText(entry.frame.left), singleText(entry.frame.top),
                              singleText(entry.frame.width), singleText(entry.frame.height));
        }
        if (lane.isVolume()) {
            lines << QStringLiteral("Lane: %1").arg(laneStripText(lane.lane));
            lines << QStringLiteral("Quantified: %1").arg(laneSourceLabel(lane));
        } else {
            lines << QStringLiteral("Samples: %1 (%2 at full scale, %3 at 0, %4 off the picture)")
                         .arg(countText(entry.scan.samples), countText(entry.scan.atFullScale),
                              countText(entry.scan.atZero), countText(entry.scan.offPicture));
            if (entry.method.kind == BackgroundMethod::Kind::LaneBaseline)
                lines << (lane.lane.isEmpty()
                              ? QStringLiteral(
                                    "Lane: none; the baseline runs through the frame's own rows")
                              : QStringLiteral("Lane: %1; the baseline runs along the whole lane")
                                    .arg(laneStripText(lane.lane)));
        }
    }
    if (entry.size.any())
        lines << QStringLiteral("Size: %1").arg(bandSizeSourceLabel(entry.size));
    lines << QStringLiteral("Time: %1").arg(timeText(entry.time));
    return lines.join(QLatin1Char('\n'));
}

QStringList measurementHeadings()
{
    return {QStringLiteral("Cell"), QStringLiteral("Value"), QStringLiteral("Source"),
            QStringLiteral("Picture"), QStringLiteral("SHA-256"), QStringLiteral("Picture width"),
            QStringLiteral("Picture height"), QStringLiteral("Bit depth"),
            QStringLiteral("Channel"), QStringLiteral("Inverted"), QStringLiteral("Background"),
            QStringLiteral("Picked at"), QStringLiteral("Background method"),
            QStringLiteral("Frame left"), QStringLiteral("Frame top"),
            QStringLiteral("Frame width"), QStringLiteral("Frame height"),
            QStringLiteral("Samples"), QStringLiteral("At full scale"), QStringLiteral("At 0"),
            QStringLiteral("Off picture"), QStringLiteral("Time"),
            // Added after the first columns, which keep their places.
            QStringLiteral("Page"), QStringLiteral("Polarity"), QStringLiteral("Picture tags"),
            QStringLiteral("Lane"), QStringLiteral("Lane quantity")};
}

QList<QStringList> measurementRows(const MeasurementRecord& record)
{
    QList<QStringList> rows;
    for (const MeasurementEntry& e : record.entries()) {
        QStringList row{cellText(e.cell), e.text, valueSourceText(e.source)};
        if (e.source == ValueSource::Scan) {
            row << pictureName(e.picture) << QString::fromLatin1(e.picture.sha256)
                << QString::number(e.picture.width) << QString::number(e.picture.height)
                << QString::number(e.picture.bitDepth) << channelText(e.channel)
                << (e.inverted ? QStringLiteral("yes") : QStringLiteral("no"))
                << levelsText(e.background)
                << (e.picked ? singleText(e.pickX) + QLatin1Char(',') + singleText(e.pickY)
                             : QString())
                << backgroundMethodText(e.method) << singleText(e.frame.left)
                << singleText(e.frame.top) << singleText(e.frame.width)
                << singleText(e.frame.height) << countText(e.scan.samples)
                << countText(e.scan.atFullScale) << countText(e.scan.atZero)
                << countText(e.scan.offPicture);
        } else {
            for (int i = 0; i < 18; ++i)
                row << QString();
        }
        row << timeText(e.time);
        if (e.source == ValueSource::Scan)
            row << (e.picture.page > 0 ? QString::number(e.picture.page) : QString())
                << e.picture.polarity << e.picture.tags
                << (e.lane.lane.isEmpty() ? QString() : laneStripText(e.lane.lane))
                << (e.lane.isVolume() ? laneSourceLabel(e.lane) : QString());
        else
            row << QString() << QString() << QString() << QString() << QString();
        rows << row;
    }
    return rows;
}

void fillMeasurementSheet(SheetData& sheet, const MeasurementRecord& record)
{
    const QStringList headings = measurementHeadings();
    const QList<QStringList> rows = measurementRows(record);
    sheet.resize(qMax(1, int(rows.size())), int(headings.size()));
    sheet.setSheetName(QStringLiteral("Measurements"));
    for (int c = 1; c <= headings.size(); ++c) {
        sheet.setHeadingText(c, headings.at(c - 1));
        // Wide enough for a file path or a hash to be read without dragging the column.
        const int characters = c == 4 || c == 5 || c >= 25 ? 40 : c == 22 ? 24 : 12;
        sheet.setColumnWidth(c, characters * 256);
    }
    for (int r = 1; r <= rows.size(); ++r) {
        const QStringList& row = rows.at(r - 1);
        for (int c = 1; c <= row.size(); ++c)
            sheet.setText(r, c, row.at(c - 1));
    }
}

QString quotedPlanText(const QString& text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '"':
            quoted += QStringLiteral("\\\"");
            break;
        case '\\':
            quoted += QStringLiteral("\\\\");
            break;
        case '\t':
            quoted += QStringLiteral("\\t");
            break;
        case '\n':
            quoted += QStringLiteral("\\n");
            break;
        case '\r':
            quoted += QStringLiteral("\\r");
            break;
        default:
            quoted += ch;
        }
    }
    return quoted + QLatin1Char('"');
}

QString bandSizeSourceLabel(const BandSizeSource& source)
{
    const BandSize band = bandSizeOf(source);
    // Six figures: finer than any ladder, plain enough to read.
    QString text = band.size ? QStringLiteral("%1 %2").arg(QString::number(*band.size, 'g', 6),
                                                           sizeUnitText(source.unit))
                             : QStringLiteral("none");
    text += QStringLiteral(", Rf %1").arg(source.rf, 0, 'f', 3);
    if (band.ladder)
        return text + QStringLiteral(", a ladder band");
    if (band.extrapolated)
        text +=
            band.size ? QStringLiteral(", extrapolated") : QStringLiteral(", beyond the ladder");
    return text + QStringLiteral(", %1 fit on %2 ladder lane%3")
                      .arg(sizeFitText(source.fit))
                      .arg(source.ladders.size())
                      .arg(source.ladders.size() == 1 ? QString() : QStringLiteral("s"));
}

QStringList bandSizeLines(const BandSizeSource& size, BandSizeSource& replayed)
{
    QStringList lines;
    if (!size.any())
        return lines;
    const auto sameLadders = [](const BandSizeSource& a, const BandSizeSource& b) {
        if (a.ladders.size() != b.ladders.size() || a.unit != b.unit)
            return false;
        for (std::size_t i = 0; i < a.ladders.size(); ++i)
            if (a.ladders[i].across != b.ladders[i].across ||
                a.ladders[i].points != b.ladders[i].points)
                return false;
        return true;
    };
    if (!sameLadders(size, replayed)) {
        if (replayed.any())
            lines << QStringLiteral("no-ladder");
        for (const SizeStandard& standard : size.ladders) {
            QString line = QStringLiteral("ladder-lane %1 %2")
                               .arg(doubleText(standard.across), sizeUnitText(size.unit));
            for (const LadderPoint& p : standard.points)
                line += QStringLiteral(" %1:%2").arg(doubleText(p.rf), doubleText(p.size));
            lines << line;
        }
        replayed.ladders = size.ladders;
        replayed.unit = size.unit;
    }
    if (size.fit != replayed.fit || size.extrapolate != replayed.extrapolate) {
        lines << QStringLiteral("size-fit %1%2")
                     .arg(sizeFitText(size.fit),
                          size.extrapolate ? QStringLiteral(" extrapolate") : QString());
        replayed.fit = size.fit;
        replayed.extrapolate = size.extrapolate;
    }
    QString band =
        QStringLiteral("band-size %1 %2").arg(doubleText(size.across), doubleText(size.rf));
    if (size.ladderSize)
        band += QStringLiteral(" ladder %1").arg(doubleText(*size.ladderSize));
    lines << band;
    return lines;
}

QString measurementPlanText(const MeasurementRecord& record)
{
    QStringList lines{QStringLiteral("# KestoScan measurement plan: replays the results sheet "
                                     "value by value"),
                      QStringLiteral("# kestoscan measure [PICTURE] --plan THIS-FILE")};
    // What a fresh session starts with (MeasurementSession's start).
    QByteArray sha;
    int page = 0;
    BackgroundMethod method;
    Channel channel = Channel::Red;
    CellAddress cell{1, 2};
    bool inverted = false;
    ChannelLevels background;
    bool picked = false;
    float pickX = 0;
    float pickY = 0;
    LaneStrip lane;        // the lane a replay has: none at start
    BandSizeSource sizing; // the ladder lanes and curve a replay has: none at start

    for (const MeasurementEntry& e : record.history()) {
        const QString where = QStringLiteral("%1 %2").arg(e.cell.row).arg(e.cell.column);
        if (e.source != ValueSource::Scan) {
            lines << QStringLiteral("%1 %2 %3")
                         .arg(e.source == ValueSource::Pasted ? QStringLiteral("pasted-value")
                                                              : QStringLiteral("value"),
                              where, quotedPlanText(e.text));
            continue;
        }
        if (e.picture.sha256 != sha || e.picture.page != page) {
            QString line = QStringLiteral("picture %1")
                               .arg(e.picture.fromClipboard() ? QStringLiteral("clipboard")
                                                              : quotedPlanText(e.picture.path));
            if (e.picture.page > 0)
                line += QStringLiteral(" page %1").arg(e.picture.page);
            lines << line;
            lines << QStringLiteral("picture-sha256 %1").arg(QString::fromLatin1(e.picture.sha256));
            sha = e.picture.sha256;
            page = e.picture.page;
            // Opening a picture forgets the pick point and the inversion of the last one.
            inverted = false;
            picked = false;
        }
        const bool volume = e.lane.isVolume();
        if (e.method != method && !volume) {
            lines << QStringLiteral("background-method %1").arg(backgroundMethodText(e.method));
            method = e.method;
        }
        // A lane method's scan takes the baseline of the lane that holds its frame, so the
        // replay must have that lane (and only it), or none.
        if ((volume || e.method.kind == BackgroundMethod::Kind::LaneBaseline) &&
            e.lane.lane != lane) {
            lines << (e.lane.lane.isEmpty() ? QStringLiteral("no-lane")
                                            : QStringLiteral("lane ") + laneStripText(e.lane.lane));
            lane = e.lane.lane;
        }
        if (e.channel != channel) {
            lines << QStringLiteral("channel %1").arg(channelText(e.channel));
            channel = e.channel;
        }
        if (e.cell.row != cell.row || e.cell.column != cell.column) {
            lines << QStringLiteral("cell %1").arg(where);
            cell = e.cell;
        }
        // Inverting rescans the current frame into the working cell; the frame line below
        // scans again, so the cell ends with this entry's value.
        if (e.inverted != inverted) {
            lines << QStringLiteral("invert");
            inverted = e.inverted;
        }
        // The band's size: the ladder lanes (when they differ from the last), then the band,
        // right before the line that writes its value.
        const QStringList sized = bandSizeLines(e.size, sizing);
        if (volume) {
            lines << sized;
            const LaneSource& v = e.lane;
            const QString light = v.darkBands ? QStringLiteral("dark") : QStringLiteral("light");
            if (v.mode == QuantifyMode::Fit)
                lines << QStringLiteral("fit-band %1 %2 %3 %4 %5")
                             .arg(laneBackgroundText(v.background), light, peakShapeText(v.shape))
                             .arg(v.index + 1)
                             .arg(bandBoundsText(v.group));
            else
                lines << QStringLiteral("band-volume %1 %2 %3")
                             .arg(laneBackgroundText(v.background), light, bandBoundsText(v.group));
            continue;
        }
        // picked and the pick point are what the replay has at this line: a pick only
        // after a "background X Y" line, none after "background-color".
        const bool samePick = picked && pickX == e.pickX && pickY == e.pickY;
        if (e.method.kind == BackgroundMethod::Kind::PickedArea && e.picked) {
            // The area's mean is taken where the pick was: pick there again.
            if (!samePick || background != e.background) {
                lines << QStringLiteral("background %1 %2")
                             .arg(singleText(e.pickX), singleText(e.pickY));
                picked = true;
                pickX = e.pickX;
                pickY = e.pickY;
            }
        } else if (background != e.background || (picked && !e.picked)) {
            QString line = QStringLiteral("background-color %1 %2 %3")
                               .arg(e.background.red)
                               .arg(e.background.green)
                               .arg(e.background.blue);
            if (e.picked)
                line += QStringLiteral("  # picked at %1, %2")
                            .arg(singleText(e.pickX), singleText(e.pickY));
            lines << line;
            picked = false;
        }
        background = e.background;
        lines << sized;
        lines << QStringLiteral("frame %1 %2 %3 %4")
                     .arg(singleText(e.frame.left), singleText(e.frame.top),
                          singleText(e.frame.width), singleText(e.frame.height));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace kesto
