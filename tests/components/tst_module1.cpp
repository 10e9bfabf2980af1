#include "components/module1.h"
#include "core/error.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace kesto;

class TestModule1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splitColor_data();
    void splitColor();
    void systemColorFollowsPalette_data();
    void systemColorFollowsPalette();
    void systemColorUnknownIndexFails();
    void explicitColorsPassThroughToQColor();
    void centerForm();
    void endProgramClosesEveryWindow();
};

void TestModule1::splitColor_data()
{
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::newRow("0x00123456") << 0x00123456u << 0x56 << 0x34 << 0x12;
    QTest::newRow("top byte ignored") << 0xFF000000u << 0 << 0 << 0;
    QTest::newRow("-1 outside the picture") << 0xFFFFFFFFu << 255 << 255 << 255;
    QTest::newRow("white") << 0x00FFFFFFu << 255 << 255 << 255;
    QTest::newRow("pure blue") << 0x00FF0000u << 0 << 0 << 255;
    QTest::newRow("system colour bits") << 0x8000000Du << 0x0D << 0 << 0;
}

void TestModule1::splitColor()
{
    QFETCH(quint32, colour);
    std::int16_t r = -1, g = -1, b = -1;
    Module1::SplitColor(r, g, b, ColorValue(colour));
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    QCOMPARE(int(r), red);
    QCOMPARE(int(g), green);
    QCOMPARE(int(b), blue);
}

void TestModule1::systemColorFollowsPalette_data()
{
    QTest::addColumn<quint32>("constant");
    QTest::addColumn<int>("role");
    QTest::newRow("5 window background") << 0x80000005u << int(QPalette::Base);
    QTest::newRow("13 selection highlight") << 0x8000000Du << int(QPalette::Highlight);
    QTest::newRow("15 button face") << 0x8000000Fu << int(QPalette::Button);
    QTest::newRow("16 button shadow") << 0x80000010u << int(QPalette::Dark);
    QTest::newRow("18 button text") << 0x80000012u << int(QPalette::ButtonText);
    QTest::newRow("20 3-D highlight") << 0x80000014u << int(QPalette::Light);
}

void TestModule1::systemColorFollowsPalette()
{
    QFETCH(quint32, constant);
    QFETCH(int, role);
    const QPalette original = QGuiApplication::palette();
    QPalette palette = original;
    palette.setColor(QPalette::ColorRole(role), QColor(0x12, 0x34, 0x56));
    QApplication::setPalette(palette);
    QCOMPARE(quint32(Module1::SystemColorToRGB(ColorValue(constant))), 0x00563412u);
    palette.setColor(QPalette::ColorRole(role), QColor(0xAB, 0xCD, 0xEF));
    QApplication::setPalette(palette);
    QCOMPARE(quint32(Module1::SystemColorToRGB(ColorValue(constant))), 0x00EFCDABu);
    QApplication::setPalette(original);
}

void TestModule1::systemColorUnknownIndexFails()
{
    QVERIFY_THROWS_EXCEPTION(Error, Module1::SystemColorToRGB(ColorValue(0x80000063u)));
}

void TestModule1::explicitColorsPassThroughToQColor()
{
    QCOMPARE(toQColor(rgbValue(10, 200, 37)), QColor(10, 200, 37));
    QCOMPARE(fromQColor(QColor(10, 200, 37)), rgbValue(10, 200, 37));
    QCOMPARE(quint32(rgbValue(0x56, 0x34, 0x12)), 0x00123456u);
}

void TestModule1::centerForm()
{
    QWidget window;
    window.resize(300, 200);
    Module1::CenterForm(&window);
    const QRect screen = window.screen()->geometry();
    QCOMPARE(window.frameGeometry().left() - screen.x(), (screen.width() - 300) / 2);
    QCOMPARE(window.frameGeometry().top() - screen.y(), (screen.height() - 200) / 2);
    QCOMPARE(window.size(), QSize(300, 200));
}

void TestModule1::endProgramClosesEveryWindow()
{
    auto* first = new QWidget;
    auto* second = new QWidget;
    first->setAttribute(Qt::WA_DeleteOnClose);
    first->show();
    second->show();
    QVERIFY(QTest::qWaitForWindowExposed(second));
    QPointer<QWidget> firstGuard(first);
    Module1::EndProgram();
    QVERIFY(!second->isVisible());
    QTRY_VERIFY(firstGuard.isNull());
    delete second;
}

QTEST_MAIN(TestModule1)
#include "tst_module1.moc"
