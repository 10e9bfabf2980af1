// kestoscan figure and kestoscan report-pdf as a script runs them: a figure labelled from a
// sample table, a report of a plan over two pictures, and clear refusals that write nothing.

#include "core/measurementrecord.h"
#include "support/gelpictures.h"
#include "support/runprogram.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;
using kesto::test::runKestoscan;

namespace {

QString lanesPicture()
{
    return qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/lanes.png");
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return file.fileName();
}

} // namespace

class TestFigureBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void labelledFigure()
    {
        QTemporaryDir dir;
        const QString labels =
            write(dir, QStringLiteral("samples.tsv"),
                  "LANE\tGROUP\tSAMPLE\n1\tx\tmarker\n2\tx\twild type\n3\ty\tknock-out\n");
        const QString output = dir.filePath(QStringLiteral("figure.svg"));
        const auto run =
            runKestoscan({QStringLiteral("figure"), lanesPicture(), QStringLiteral("--labels"),
                          labels, QStringLiteral("--levels"), QStringLiteral("10,240,1.2"),
                          QStringLiteral("--output"), output});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString svg = QString::fromUtf8(file.readAll());
        for (const char* word :
             {"marker", "wild type", "knock-out", "black 10, white 240, gamma 1.2"})
            QVERIFY2(svg.contains(QLatin1String(word)), word);
    }

    void reportOfAPlan()
    {
        QTemporaryDir dir;
        const QString a = kesto::test::savePicture(
            dir, QStringLiteral("a.png"),
            kesto::test::gelPicture(60, 40, 20, 200, {QRect(5, 5, 20, 8)}));
        const QString b = kesto::test::savePicture(
            dir, QStringLiteral("b.png"),
            kesto::test::gelPicture(50, 50, 10, 100, {QRect(5, 20, 20, 8)}));
        const QString plan = write(dir, QStringLiteral("two.plan"),
                                   "picture \"a.png\"\ncell 1 2\nframe 5 5 20 8\n"
                                   "picture \"b.png\"\ncell 1 3\nframe 5 20 20 8\n");
        const QString output = dir.filePath(QStringLiteral("report.pdf"));
        const auto run = runKestoscan({QStringLiteral("report-pdf"), QStringLiteral("--plan"), plan,
                                       QStringLiteral("--output"), output});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {output, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(words.contains(QString::fromLatin1(fileSha256(a))));
        QVERIFY(words.contains(QString::fromLatin1(fileSha256(b))));
    }

    void refusals_data()
    {
        // The arguments separated by '|'; GEL is the sample picture, OUT the test's folder.
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown ending") << "figure|GEL|--output|OUT/f.gif" << 2
                                        << "expected a file name ending in .png, .svg or .pdf";
        QTest::newRow("no output") << "figure|GEL" << 2 << "expected --output FILE";
        QTest::newRow("picture not there")
            << "figure|OUT/none.png|--output|OUT/f.png" << 1 << "Cannot load image";
        QTest::newRow("labels not there")
            << "figure|GEL|--labels|OUT/none.tsv|--output|OUT/f.png" << 1 << "Cannot read";
        QTest::newRow("labels naming a missing lane")
            << "figure|GEL|--labels|OUT/far.tsv|--output|OUT/f.png" << 2
            << "names lane 40, but the picture has";
        QTest::newRow("labels without LANE")
            << "figure|GEL|--labels|OUT/bad.tsv|--output|OUT/f.png" << 2 << "--labels:";
        QTest::newRow("bad levels")
            << "figure|GEL|--levels|200,100|--output|OUT/f.png" << 2 << "--levels \"200,100\"";
        QTest::newRow("report without plan")
            << "report-pdf|--output|OUT/r.pdf" << 2 << "expected --plan FILE";
        QTest::newRow("report to png") << "report-pdf|--plan|OUT/far.tsv|--output|OUT/r.png" << 2
                                       << "expected a file name ending in .pdf";
    }
    void refusals()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        write(dir, QStringLiteral("far.tsv"), "LANE\tSAMPLE\n1\ta\n40\tb\n");
        write(dir, QStringLiteral("bad.tsv"), "SAMPLE\na\n");
        arguments.replace(QLatin1String("GEL"), lanesPicture())
            .replace(QLatin1String("OUT"), dir.path());
        const auto run = runKestoscan(arguments.split(QLatin1Char('|')));
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // nothing written
    }
};

QTEST_GUILESS_MAIN(TestFigureBatch)
#include "tst_figure.moc"
