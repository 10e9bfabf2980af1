// Labels of found bands: each beside its band, none over another label or another band.

#include "core/labelplacement.h"

#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(std::vector<QRect>)

class TestLabelPlacement : public QObject
{
    Q_OBJECT
private slots:
    void placed_data();
    void placed();
};

namespace {

const QRect Bounds(0, 0, 200, 100);
const QSize Label(20, 10);

} // namespace

void TestLabelPlacement::placed_data()
{
    QTest::addColumn<std::vector<QRect>>("boxes");
    QTest::addColumn<std::vector<QRect>>("expected"); // null: left out
    // Bands 30 x 12 (a lane's bands) and the labels 20 x 10.
    QTest::newRow("lone band: above its left edge")
        << std::vector<QRect>{{50, 40, 30, 12}} << std::vector<QRect>{{50, 30, 20, 10}};
    QTest::newRow("at the top: inside the corner")
        << std::vector<QRect>{{50, 0, 30, 12}} << std::vector<QRect>{{51, 1, 20, 10}};
    QTest::newRow("at the right edge: beside on the left")
        << std::vector<QRect>{{185, 40, 15, 12}} << std::vector<QRect>{{164, 40, 20, 10}};
    // The lower band's place above lies on the upper band: it goes inside its own.
    QTest::newRow("touching bands in a lane")
        << std::vector<QRect>{{50, 40, 30, 12}, {50, 52, 30, 12}}
        << std::vector<QRect>{{50, 30, 20, 10}, {51, 53, 20, 10}};
    // Side by side with labels wider than the bands: the second is kept off the first.
    QTest::newRow("touching lanes") << std::vector<QRect>{{50, 40, 12, 12}, {62, 40, 12, 12}}
                                    << std::vector<QRect>{{50, 30, 20, 10}, {63, 41, 20, 10}};
    // A small band in the corner of a wide one: the wide one's label goes below it; the
    // small one's every place lies on the wide one.
    QTest::newRow("a band under the corner") << std::vector<QRect>{{0, 0, 200, 80}, {0, 0, 15, 8}}
                                             << std::vector<QRect>{{0, 80, 20, 10}, QRect()};
    // Boxes filling the picture leave no free place: the labels are left out.
    QTest::newRow("no room anywhere") << std::vector<QRect>{{0, 0, 200, 100}, {0, 0, 15, 8}}
                                      << std::vector<QRect>{QRect(), QRect()};
}

void TestLabelPlacement::placed()
{
    QFETCH(std::vector<QRect>, boxes);
    QFETCH(std::vector<QRect>, expected);
    const std::vector<QRect> labels =
        placeLabels(boxes, std::vector<QSize>(boxes.size(), Label), Bounds);
    QCOMPARE(labels, expected);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (labels[i].isNull())
            continue;
        QVERIFY(Bounds.contains(labels[i]));
        for (std::size_t j = 0; j < labels.size(); ++j) {
            if (j == i)
                continue;
            QVERIFY2(!labels[i].intersects(labels[j]), qPrintable(QString::number(i)));
            QVERIFY2(!labels[i].intersects(boxes[j]), qPrintable(QString::number(i)));
        }
    }
}

QTEST_APPLESS_MAIN(TestLabelPlacement)
#include "tst_labelplacement.moc"
