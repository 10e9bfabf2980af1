#include "commands/framemoves.h"

#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::FrameMove)

namespace {

const char* const ToolNames[] = {"mnuTopLeft",     "mnuTopCenter",   "mnuTopRight",
                                 "mnuCenterRight", "mnuBottomRight", "mnuBottomCenter",
                                 "mnuBottomLeft",  "mnuCenterLeft",  "mnuLeft",
                                 "mnuTop",         "mnuRight",       "mnuBottom"};
const FrameMove Moves[] = {FrameMove::TopLeft,     FrameMove::TopCenter,   FrameMove::TopRight,
                           FrameMove::CenterRight, FrameMove::BottomRight, FrameMove::BottomCenter,
                           FrameMove::BottomLeft,  FrameMove::CenterLeft,  FrameMove::Left,
                           FrameMove::Top,         FrameMove::Right,       FrameMove::Bottom};

} // namespace

class TestFrameMoves : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void toolNames();
    void move_data();
    void move();
    void repeatedRightStopsAtTheEdge();
    void handleFollowsTheFrame();
};

void TestFrameMoves::toolNames()
{
    for (int i = 0; i < 12; ++i)
        QCOMPARE(frameMoveForTool(QLatin1String(ToolNames[i])), std::optional<FrameMove>(Moves[i]));
    for (const char* other : {"mnuright", "mnuLeft ", "mnuCenter", "mnuInvert", ""})
        QCOMPARE(frameMoveForTool(QLatin1String(other)), std::optional<FrameMove>());
}

void TestFrameMoves::move_data()
{
    QTest::addColumn<FrameMove>("move");
    QTest::addColumn<QPointF>("areaOrigin"); // the area is 400 x 300 from here
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QPointF>("expected");
    const QPointF zero(0, 0), offset(10, 20);
    QTest::newRow("left from 30 gives 0, not -20")
        << FrameMove::Left << zero << QRectF(30, 10, 50, 300) << QPointF(0, 10);
    QTest::newRow("left by a whole width")
        << FrameMove::Left << zero << QRectF(120, 10, 50, 20) << QPointF(70, 10);
    QTest::newRow("up stops at the top")
        << FrameMove::Top << zero << QRectF(7, 15, 50, 40) << QPointF(7, 0);
    QTest::newRow("down stops on the bottom edge")
        << FrameMove::Bottom << zero << QRectF(5, 250, 50, 40) << QPointF(5, 260);
    QTest::newRow("centre-left, 40 x 100")
        << FrameMove::CenterLeft << zero << QRectF(33, 44, 40, 100) << QPointF(0, 100);
    QTest::newRow("bottom-centre, 40 x 100")
        << FrameMove::BottomCenter << zero << QRectF(33, 44, 40, 100) << QPointF(180, 200);
    QTest::newRow("top-left of an area at (10, 20)")
        << FrameMove::TopLeft << offset << QRectF(33, 44, 40, 100) << QPointF(10, 20);
    QTest::newRow("right stops at an area's right of 410")
        << FrameMove::Right << offset << QRectF(350, 60, 40, 100) << QPointF(370, 60);
    QTest::newRow("up stops at an area's top of 20")
        << FrameMove::Top << offset << QRectF(30, 60, 40, 100) << QPointF(30, 20);
    QTest::newRow("top-right of a frame wider than the area: not clamped")
        << FrameMove::TopRight << zero << QRectF(0, 0, 500, 50) << QPointF(-100, 0);
}

void TestFrameMoves::move()
{
    QFETCH(FrameMove, move);
    QFETCH(QPointF, areaOrigin);
    QFETCH(QRectF, frame);
    QFETCH(QPointF, expected);
    const ScaleArea area{float(areaOrigin.x()), float(areaOrigin.y()), 400, 300};
    const FramePosition moved = moveFrame(move, FramePosition{float(frame.x()), float(frame.y())},
                                          float(frame.width()), float(frame.height()), area);
    QCOMPARE(moved.left, float(expected.x()));
    QCOMPARE(moved.top, float(expected.y()));
}

void TestFrameMoves::repeatedRightStopsAtTheEdge()
{
    // Area 400 x 300, frame 50 x 300 from Left 0: 50, 100, ..., 350, then it stays.
    FramePosition frame{0, 0};
    QList<float> visited;
    for (int press = 0; press < 9; ++press) {
        frame = moveFrame(FrameMove::Right, frame, 50, 300, ScaleArea{0, 0, 400, 300});
        visited << frame.left;
    }
    QCOMPARE(visited, (QList<float>{50, 100, 150, 200, 250, 300, 350, 350, 350}));
    QCOMPARE(frame.top, 0.f);
}

void TestFrameMoves::handleFollowsTheFrame()
{
    for (const FrameMove move : Moves) {
        const FramePosition frame =
            moveFrame(move, FramePosition{100, 120}, 67, 31, ScaleArea{10, 20, 400, 300});
        const FramePosition handle = handlePosition(frame, 67, 31, 4, 4);
        QCOMPARE(handle.left + 4, frame.left + 67);
        QCOMPARE(handle.top + 4, frame.top + 31);
    }
}

QTEST_GUILESS_MAIN(TestFrameMoves)
#include "tst_framemoves.moc"
