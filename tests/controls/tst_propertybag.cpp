#include "components/module1.h"
#include "controls/propertybag.h"
#include "core/error.h"

#include <QTest>

using namespace kesto;

class TestPropertyBag : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaultsAreNotWritten();
    void convertsStoredTypes_data();
    void convertsStoredTypes();
    void unconvertibleValueNamesKey_data();
    void unconvertibleValueNamesKey();
    void textFormRoundTrips();
    void badTextIsRefused_data();
    void badTextIsRefused();
};

void TestPropertyBag::defaultsAreNotWritten()
{
    PropertyBag bag;
    bag.writeInt16(QStringLiteral("Delta"), 45, 45);
    bag.writeString(QStringLiteral("Caption"), QStringLiteral("KestoButton"),
                    QStringLiteral("KestoButton"));
    bag.writeBool(QStringLiteral("Value"), false, false);
    bag.writePicture(QStringLiteral("Picture"), QPixmap());
    bag.writeFont(QStringLiteral("Font"), QFont(QStringLiteral("DejaVu Sans"), 9),
                  QFont(QStringLiteral("DejaVu Sans"), 9));
    QVERIFY(bag.isEmpty());
    // Writing a default again removes an earlier value.
    bag.writeInt16(QStringLiteral("Delta"), 60, 45);
    bag.writeInt16(QStringLiteral("Delta"), 45, 45);
    QVERIFY(bag.isEmpty());
}

void TestPropertyBag::convertsStoredTypes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("text 45 as 16-bit") << QByteArray(R"({"v": "45"})") << "int16" << QVariant(45);
    QTest::newRow("45.5 rounds to even") << QByteArray(R"({"v": 45.5})") << "int16" << QVariant(46);
    QTest::newRow("true as 16-bit is -1")
        << QByteArray(R"({"v": true})") << "int16" << QVariant(-1);
    QTest::newRow("hex colour text")
        << QByteArray(R"({"v": "&H8000000F&"})") << "int32" << QVariant(int(0x8000000F));
    QTest::newRow("0x colour text") << QByteArray(R"({"v": "0xFF"})") << "int32" << QVariant(255);
    QTest::newRow("unsigned colour number")
        << QByteArray(R"({"v": 2147483663})") << "int32" << QVariant(int(0x8000000F));
    QTest::newRow("negative colour number")
        << QByteArray(R"({"v": -2147483633})") << "int32" << QVariant(int(0x8000000F));
    QTest::newRow("-1 as boolean") << QByteArray(R"({"v": -1})") << "bool" << QVariant(true);
    QTest::newRow("0 as boolean") << QByteArray(R"({"v": 0})") << "bool" << QVariant(false);
    QTest::newRow("text True as boolean")
        << QByteArray(R"({"v": "True"})") << "bool" << QVariant(true);
    QTest::newRow("number as text")
        << QByteArray(R"({"v": 12.5})") << "string" << QVariant(QStringLiteral("12.5"));
    QTest::newRow("boolean as text")
        << QByteArray(R"({"v": false})") << "string" << QVariant(QStringLiteral("False"));
}

void TestPropertyBag::convertsStoredTypes()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, kind);
    QFETCH(QVariant, expected);
    const PropertyBag bag = PropertyBag::fromJson(json);
    const QString key = QStringLiteral("v");
    QVariant actual;
    if (kind == QLatin1String("int16"))
        actual = int(bag.readInt16(key, 0));
    else if (kind == QLatin1String("int32"))
        actual = int(bag.readInt32(key, 0));
    else if (kind == QLatin1String("bool"))
        actual = bag.readBool(key, false);
    else
        actual = bag.readString(key, QString());
    QCOMPARE(actual, expected);
}

void TestPropertyBag::unconvertibleValueNamesKey_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("kind");
    QTest::newRow("word as 16-bit") << QByteArray(R"({"Delta": "wide"})") << "int16";
    QTest::newRow("16-bit overflow") << QByteArray(R"({"Delta": 40000})") << "int16";
    QTest::newRow("32-bit overflow") << QByteArray(R"({"Delta": 5000000000})") << "int32";
    QTest::newRow("list as boolean") << QByteArray(R"({"Delta": [1]})") << "bool";
    QTest::newRow("object as text") << QByteArray(R"({"Delta": {}})") << "string";
    QTest::newRow("number as font") << QByteArray(R"({"Delta": 9})") << "font";
    QTest::newRow("missing picture file")
        << QByteArray(R"({"Delta": "/nonexistent/x.png"})") << "picture";
}

void TestPropertyBag::unconvertibleValueNamesKey()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, kind);
    const PropertyBag bag = PropertyBag::fromJson(json);
    const QString key = QStringLiteral("Delta");
    try {
        if (kind == QLatin1String("int16"))
            bag.readInt16(key, 0);
        else if (kind == QLatin1String("int32"))
            bag.readInt32(key, 0);
        else if (kind == QLatin1String("bool"))
            bag.readBool(key, false);
        else if (kind == QLatin1String("string"))
            bag.readString(key, QString());
        else if (kind == QLatin1String("font"))
            bag.readFont(key, QFont());
        else
            bag.readPicture(key);
        QFAIL("the value was accepted");
    } catch (const Error& error) {
        QVERIFY2(error.message().contains(QLatin1String("\"Delta\"")), qPrintable(error.message()));
    }
}

void TestPropertyBag::textFormRoundTrips()
{
    QPixmap picture(4, 3);
    picture.fill(Qt::blue);
    const QFont font(QStringLiteral("DejaVu Serif"), 12, QFont::Bold);
    PropertyBag bag;
    bag.writeString(QStringLiteral("Caption"), QStringLiteral("\"Quoted\" & more"), QString());
    bag.writeInt32(QStringLiteral("BackColor"), ColorValue(0x8000000D), 0);
    bag.writeFont(QStringLiteral("Font"), font, QFont());
    bag.writePicture(QStringLiteral("Picture"), picture);

    const PropertyBag read = PropertyBag::fromJson(bag.toJson());
    QCOMPARE(read.readString(QStringLiteral("Caption"), QString()),
             QStringLiteral("\"Quoted\" & more"));
    QCOMPARE(read.readInt32(QStringLiteral("BackColor"), 0), ColorValue(0x8000000D));
    QCOMPARE(read.readFont(QStringLiteral("Font"), QFont()), font);
    const QImage image = read.readPicture(QStringLiteral("Picture")).toImage();
    QCOMPARE(image.size(), QSize(4, 3));
    QCOMPARE(image.pixelColor(3, 2), QColor(Qt::blue));
}

void TestPropertyBag::badTextIsRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("not JSON") << QByteArray("Caption = OK");
    QTest::newRow("a list") << QByteArray("[1, 2]");
    QTest::newRow("cut short") << QByteArray(R"({"Caption": "OK")");
}

void TestPropertyBag::badTextIsRefused()
{
    QFETCH(QByteArray, json);
    QVERIFY_THROWS_EXCEPTION(Error, PropertyBag::fromJson(json));
}

QTEST_MAIN(TestPropertyBag)
#include "tst_propertybag.moc"
