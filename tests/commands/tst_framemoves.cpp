#include "commands/framemoves.h"

#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::FrameMove)

class TestFrameMoves : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void toolNames_data();
    void toolNames();
    void move_data();
    void move();
    void repeatedRightStopsAtTheEdge();
    void handleFollowsTheFrame_data();
    void handleFollowsTheFrame();
};

void TestFrameMoves::toolNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");
    QTest::addColumn<FrameMove>("move");
    const auto row = [](const char* name, FrameMove move) {
        QTest::newRow(name) << QString::fromLatin1(name) << true << move;
    };
    row("mnuTopLeft", FrameMove::TopLeft);
    row("mnuTopCenter", FrameMove::TopCenter);
    row("mnuTopRight", FrameMove::TopRight);
    row("mnuCenterRight", FrameMove::CenterRight);
    row("mnuBottomRight", FrameMove::BottomRight);
    row("mnuBottomCenter", FrameMove::BottomCenter);
    row("mnuBottomLeft", FrameMove::BottomLeft);
    row("mnuCenterLeft", FrameMove::CenterLeft);
    row("mnuLeft", FrameMove::Left);
    row("mnuTop", FrameMove::Top);
    row("mnuRight", FrameMove::Right);
    row("mnuBottom", FrameMove::Bottom);
    QTest::newRow("lower case is another name") << QStringLiteral("mnuright") << false << FrameMove::Right;
    QTest::newRow("trailing blank") << QStringLiteral("mnuLeft ") << false << FrameMove::Left;
    QTest::newRow("no centre-of-picture command") << QStringLiteral("mnuCenter") << false << FrameMove::Left;
    QTest::newRow("another command") << QStringLiteral("mnuInvert") << false << FrameMove::Left;
    QTest::newRow("empty") << QString() << false << FrameMove::Left;
}

void TestFrameMoves::toolNames()
{
    QFETCH(QString, name);
    QFETCH(bool, known);
    QFETCH(FrameMove, move);
    const std::optional<FrameMove> found = frameMoveForTool(name);
    QCOMPARE(found.has_value(), known);
    if (known)
        QCOMPARE(*found, move);
}

void TestFrameMoves::move_data()
{
    QTest::addColumn<FrameMove>("move");
    QTest::addColumn<float>("areaLeft");
    QTest::addColumn<float>("areaTop");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("newLeft");
    QTest::addColumn<float>("newTop");

    // Area 400 x 300 at (areaLeft, areaTop) in every row.
    QTest::newRow("left from 30 stops at 0, not -20")
        << FrameMove::Left << 0.f << 0.f << 30.f << 10.f << 50.f << 300.f << 0.f << 10.f;
    QTest::newRow("left by a whole width")
        << FrameMove::Left << 0.f << 0.f << 120.f << 10.f << 50.f << 20.f << 70.f << 10.f;
    QTest::newRow("left at the edge stays")
        << FrameMove::Left << 0.f << 0.f << 0.f << 10.f << 50.f << 20.f << 0.f << 10.f;
    QTest::newRow("up from 15 with height 40 stops at 0")
        << FrameMove::Top << 0.f << 0.f << 7.f << 15.f << 50.f << 40.f << 7.f << 0.f;
    QTest::newRow("up by a whole height")
        << FrameMove::Top << 0.f << 0.f << 7.f << 150.f << 50.f << 40.f << 7.f << 110.f;
    QTest::newRow("right stops with the frame on the right edge")
        << FrameMove::Right << 0.f << 0.f << 330.f << 5.f << 50.f << 40.f << 350.f << 5.f;
    QTest::newRow("down stops with the frame on the bottom edge")
        << FrameMove::Bottom << 0.f << 0.f << 5.f << 250.f << 50.f << 40.f << 5.f << 260.f;
    QTest::newRow("centre-left, 40 x 100") << FrameMove::CenterLeft << 0.f << 0.f << 33.f << 44.f
                                           << 40.f << 100.f << 0.f << 100.f;
    QTest::newRow("bottom-centre, 40 x 100") << FrameMove::BottomCenter << 0.f << 0.f << 33.f << 44.f
                                             << 40.f << 100.f << 180.f << 200.f;
    QTest::newRow("top-centre, 40 x 100") << FrameMove::TopCenter << 0.f << 0.f << 33.f << 44.f
                                          << 40.f << 100.f << 180.f << 0.f;
    QTest::newRow("top-right, 40 x 100") << FrameMove::TopRight << 0.f << 0.f << 33.f << 44.f << 40.f
                                         << 100.f << 360.f << 0.f;
    QTest::newRow("centre-right, 40 x 100") << FrameMove::CenterRight << 0.f << 0.f << 33.f << 44.f
                                            << 40.f << 100.f << 360.f << 100.f;
    QTest::newRow("bottom-right, 40 x 100") << FrameMove::BottomRight << 0.f << 0.f << 33.f << 44.f
                                            << 40.f << 100.f << 360.f << 200.f;
    QTest::newRow("bottom-left, 40 x 100") << FrameMove::BottomLeft << 0.f << 0.f << 33.f << 44.f
                                           << 40.f << 100.f << 0.f << 200.f;
    QTest::newRow("top-left of an area at (10, 20)") << FrameMove::TopLeft << 10.f << 20.f << 33.f
                                                     << 44.f << 40.f << 100.f << 10.f << 20.f;
    QTest::newRow("bottom-centre of an area at (10, 20)")
        << FrameMove::BottomCenter << 10.f << 20.f << 33.f << 44.f << 40.f << 100.f << 190.f << 220.f;
    QTest::newRow("left stops at an area's left of 10")
        << FrameMove::Left << 10.f << 20.f << 30.f << 44.f << 40.f << 100.f << 10.f << 44.f;
    QTest::newRow("up stops at an area's top of 20")
        << FrameMove::Top << 10.f << 20.f << 30.f << 60.f << 40.f << 100.f << 30.f << 20.f;
    QTest::newRow("right stops at an area's right of 410")
        << FrameMove::Right << 10.f << 20.f << 350.f << 60.f << 40.f << 100.f << 370.f << 60.f;
    QTest::newRow("down stops at an area's bottom of 320")
        << FrameMove::Bottom << 10.f << 20.f << 30.f << 200.f << 40.f << 100.f << 30.f << 220.f;
    QTest::newRow("top-right of a frame wider than the area is not clamped")
        << FrameMove::TopRight << 0.f << 0.f << 0.f << 0.f << 500.f << 50.f << -100.f << 0.f;
    QTest::newRow("centre-left of a frame taller than the area is not clamped")
        << FrameMove::CenterLeft << 0.f << 0.f << 0.f << 0.f << 50.f << 400.f << 0.f << -50.f;
    QTest::newRow("centre of an odd difference keeps the half")
        << FrameMove::TopCenter << 0.f << 0.f << 0.f << 0.f << 45.f << 10.f << 177.5f << 0.f;
}

void TestFrameMoves::move()
{
    QFETCH(FrameMove, move);
    QFETCH(float, areaLeft);
    QFETCH(float, areaTop);
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(float, newLeft);
    QFETCH(float, newTop);
    const ScaleArea area{areaLeft, areaTop, 400, 300};
    const FramePosition moved = moveFrame(move, FramePosition{left, top}, width, height, area);
    QCOMPARE(moved.left, newLeft);
    QCOMPARE(moved.top, newTop);
}

void TestFrameMoves::repeatedRightStopsAtTheEdge()
{
    // Area 400 x 300, frame 50 x 300 from Left 0: 50, 100, ..., 350, then it stays.
    const ScaleArea area{0, 0, 400, 300};
    FramePosition frame{0, 0};
    QList<float> visited;
    for (int press = 0; press < 9; ++press) {
        frame = moveFrame(FrameMove::Right, frame, 50, 300, area);
        visited << frame.left;
        QCOMPARE(frame.top, 0.f);
    }
    QCOMPARE(visited, (QList<float>{50, 100, 150, 200, 250, 300, 350, 350, 350}));
}

void TestFrameMoves::handleFollowsTheFrame_data()
{
    QTest::addColumn<FrameMove>("move");
    const char* const names[] = {"mnuTopLeft",     "mnuTopCenter",    "mnuTopRight",
                                 "mnuCenterRight", "mnuBottomRight",  "mnuBottomCenter",
                                 "mnuBottomLeft",  "mnuCenterLeft",   "mnuLeft",
                                 "mnuTop",         "mnuRight",        "mnuBottom"};
    const FrameMove moves[] = {FrameMove::TopLeft,     FrameMove::TopCenter,    FrameMove::TopRight,
                               FrameMove::CenterRight, FrameMove::BottomRight,  FrameMove::BottomCenter,
                               FrameMove::BottomLeft,  FrameMove::CenterLeft,   FrameMove::Left,
                               FrameMove::Top,         FrameMove::Right,        FrameMove::Bottom};
    for (int i = 0; i < 12; ++i)
        QTest::newRow(names[i]) << moves[i];
}

void TestFrameMoves::handleFollowsTheFrame()
{
    QFETCH(FrameMove, move);
    const float width = 67, height = 31, handleSize = 4;
    const FramePosition frame =
        moveFrame(move, FramePosition{100, 120}, width, height, ScaleArea{10, 20, 400, 300});
    const FramePosition handle = handlePosition(frame, width, height, handleSize, handleSize);
    QCOMPARE(handle.left + handleSize, frame.left + width);
    QCOMPARE(handle.top + handleSize, frame.top + height);
}

QTEST_GUILESS_MAIN(TestFrameMoves)
#include "tst_framemoves.moc"
