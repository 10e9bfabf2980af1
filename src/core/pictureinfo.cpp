#include "core/pictureinfo.h"

#include "core/deeppicture.h"
#include "core/tiffpicture.h"

#include <QFile>
#include <QImageReader>

#include <vector>

namespace kesto {

namespace {

QString kindText(const TiffPageInfo& page)
{
    const QString sample = page.sampleFormat == 3   ? QStringLiteral("floating-point ")
                           : page.sampleFormat == 2 ? QStringLiteral("signed ")
                                                    : QString();
    QString colour;
    switch (page.photometric) {
    case 0:
    case 1:
        colour = QStringLiteral("gray");
        break;
    case 2:
        colour = QStringLiteral("RGB");
        break;
    case 3:
        colour = QStringLiteral("palette");
        break;
    case 5:
        colour = QStringLiteral("CMYK");
        break;
    case 6:
        colour = QStringLiteral("YCbCr");
        break;
    default:
        colour = QStringLiteral("%1 samples a pixel").arg(page.samplesPerPixel);
    }
    if (page.samplesPerPixel > 1 && (page.photometric == 0 || page.photometric == 1))
        colour += QStringLiteral(" with %1 extra samples").arg(page.samplesPerPixel - 1);
    else if (page.photometric == 2 && page.samplesPerPixel > 3)
        colour += QStringLiteral(" with alpha");
    return QStringLiteral("%1-bit %2%3").arg(page.bitsPerSample).arg(sample, colour);
}

QString resolutionText(const TiffPageInfo& page)
{
    if (!(page.xResolution > 0 && page.yResolution > 0))
        return QString();
    const QString unit = page.resolutionUnit == 3   ? QStringLiteral(" pixels per centimetre")
                         : page.resolutionUnit == 1 ? QStringLiteral(" (no unit)")
                                                    : QStringLiteral(" pixels per inch");
    return QStringLiteral("%1 x %2%3")
        .arg(QString::number(page.xResolution, 'g', 6), QString::number(page.yResolution, 'g', 6),
             unit);
}

QString pagesMissing(int count, int page)
{
    return count == 1
               ? QStringLiteral("The file has one page; there is no page %1.").arg(page)
               : QStringLiteral("The file has %1 pages; there is no page %2.").arg(count).arg(page);
}

void addTiffFacts(PictureFacts& facts, const std::vector<TiffPageInfo>& pages, int page)
{
    const TiffPageInfo& p = pages[std::size_t(page - 1)];
    facts << qMakePair(QStringLiteral("Format"), QStringLiteral("TIFF"));
    if (pages.size() > 1)
        facts << qMakePair(QStringLiteral("Page"),
                           QStringLiteral("%1 of %2").arg(page).arg(pages.size()));
    facts << qMakePair(QStringLiteral("Size"),
                       QStringLiteral("%1 x %2 pixels").arg(p.width).arg(p.height));
    facts << qMakePair(QStringLiteral("Depth"), kindText(p));
    if (p.photometric == 0)
        facts << qMakePair(QStringLiteral("Polarity"),
                           QStringLiteral("WhiteIsZero: 0 is white; measured in the stored "
                                          "counts, shown inverted"));
    else if (p.photometric == 1)
        facts << qMakePair(QStringLiteral("Polarity"), QStringLiteral("BlackIsZero: 0 is black"));
    facts << qMakePair(QStringLiteral("Compression"), tiffCompressionName(p.compression));
    facts << qMakePair(QStringLiteral("Layout"),
                       QStringLiteral("%1%2, %3")
                           .arg(p.tiled ? QStringLiteral("tiles") : QStringLiteral("strips"),
                                p.planar ? QStringLiteral(", one plane a channel") : QString(),
                                p.bigEndian ? QStringLiteral("big-endian (MM)")
                                            : QStringLiteral("little-endian (II)")));
    const QString resolution = resolutionText(p);
    if (!resolution.isEmpty())
        facts << qMakePair(QStringLiteral("Resolution"), resolution);
    const QPair<QString, const QString*> texts[] = {{QStringLiteral("Description"), &p.description},
                                                    {QStringLiteral("Make"), &p.make},
                                                    {QStringLiteral("Model"), &p.model},
                                                    {QStringLiteral("Software"), &p.software},
                                                    {QStringLiteral("Date and time"), &p.dateTime}};
    for (const auto& text : texts)
        if (!text.second->isEmpty())
            facts << qMakePair(text.first, *text.second);
}

void addOtherFacts(PictureFacts& facts, QFile& file, int page)
{
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        facts << qMakePair(QStringLiteral("Problem"),
                           QStringLiteral("The file is not a picture in a format this program "
                                          "reads."));
        return;
    }
    facts << qMakePair(QStringLiteral("Format"), QString::fromLatin1(format).toUpper());
    const int count = qMax(1, reader.imageCount());
    if (page > count) {
        facts << qMakePair(QStringLiteral("Problem"), pagesMissing(count, page));
        return;
    }
    if (count > 1)
        facts << qMakePair(QStringLiteral("Page"), QStringLiteral("%1 of %2").arg(page).arg(count));
    if (page > 1)
        reader.jumpToImage(page - 1);
    const QSize size = reader.size();
    if (size.isValid())
        facts << qMakePair(QStringLiteral("Size"),
                           QStringLiteral("%1 x %2 pixels").arg(size.width()).arg(size.height()));
    const QImage::Format decoded = reader.imageFormat();
    if (decoded != QImage::Format_Invalid)
        facts << qMakePair(QStringLiteral("Depth"),
                           isFloatFormat(decoded)  ? QStringLiteral("floating-point channels")
                           : isDeepFormat(decoded) ? QStringLiteral("16 bits per channel")
                                                   : QStringLiteral("8 bits per channel or less"));
    for (const QString& key : reader.textKeys()) {
        const QString value = reader.text(key).trimmed();
        if (!key.isEmpty() && !value.isEmpty())
            facts << qMakePair(key, value.left(2000));
    }
}

} // namespace

PictureFacts pictureFacts(const QString& path, int page)
{
    PictureFacts facts;
    facts << qMakePair(QStringLiteral("File"), path);
    const int wanted = qMax(1, page);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        facts << qMakePair(QStringLiteral("Problem"),
                           QStringLiteral("The file cannot be read: %1.").arg(file.errorString()));
        return facts;
    }
    if (!looksLikeTiff(file.peek(4))) {
        addOtherFacts(facts, file, wanted);
        return facts;
    }
    QString reason;
    const std::vector<TiffPageInfo> pages = readTiffPages(file, &reason);
    if (pages.empty())
        facts << qMakePair(QStringLiteral("Problem"), reason);
    else if (std::size_t(wanted) > pages.size())
        facts << qMakePair(QStringLiteral("Problem"), pagesMissing(int(pages.size()), wanted));
    else
        addTiffFacts(facts, pages, wanted);
    return facts;
}

QString pictureFactsText(const PictureFacts& facts)
{
    QStringList lines;
    for (const auto& fact : facts)
        lines << fact.first + QStringLiteral(": ") + fact.second;
    return lines.join(QLatin1Char('\n'));
}

QStringList picturePageChoices(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !looksLikeTiff(file.peek(4)))
        return {};
    const std::vector<TiffPageInfo> pages = readTiffPages(file);
    if (pages.size() < 2)
        return {};
    QStringList choices;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const TiffPageInfo& p = pages[i];
        QString line = QStringLiteral("Page %1: %2 x %3, %4")
                           .arg(i + 1)
                           .arg(p.width)
                           .arg(p.height)
                           .arg(kindText(p));
        if (p.whiteIsZero())
            line += QStringLiteral(", WhiteIsZero");
        const QString description = p.description.simplified();
        if (!description.isEmpty())
            line += QStringLiteral(" - ") + (description.size() > 60
                                                 ? description.left(57) + QStringLiteral("...")
                                                 : description);
        choices << line;
    }
    return choices;
}

} // namespace kesto
