#include "core/error.h"
#include "core/numbers.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace kesto;

class TestNumbers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void toInt16_data();
    void toInt16();
    void toInt16Overflow_data();
    void toInt16Overflow();
    void toInt32_data();
    void toInt32();
    void parse_data();
    void parse();
    void singleText_data();
    void singleText();
    void doubleText_data();
    void doubleText();
    void fixedText_data();
    void fixedText();
};

void TestNumbers::toInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5 to even 2") << 2.5 << 2;
    QTest::newRow("3.5 to even 4") << 3.5 << 4;
    QTest::newRow("-2.5 to even -2") << -2.5 << -2;
    QTest::newRow("2.4999 down") << 2.4999 << 2;
    QTest::newRow("2.5001 up") << 2.5001 << 3;
    QTest::newRow("largest") << 32767.0 << 32767;
    QTest::newRow("32767.4 rounds into range") << 32767.4 << 32767;
    QTest::newRow("smallest") << -32768.0 << -32768;
    QTest::newRow("-32768.5 to even -32768") << -32768.5 << -32768;
    QTest::newRow("vertical step for d=250") << 250.0 / 100.0 + 1 << 4;
    QTest::newRow("large step for d=250") << 250.0 / 3.0 + 1 << 84;
}

void TestNumbers::toInt16()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(kesto::toInt16(value)), expected);
}

void TestNumbers::toInt16Overflow_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("32767.5 rounds to 32768") << 32767.5;
    QTest::newRow("32768") << 32768.0;
    QTest::newRow("-32769") << -32769.0;
    QTest::newRow("huge") << 1e300;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
}

void TestNumbers::toInt16Overflow()
{
    QFETCH(double, value);
    try {
        kesto::toInt16(value);
        QFAIL("no overflow error");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(Error::Overflow));
        QVERIFY(e.message().contains(QStringLiteral("Overflow")));
    }
}

void TestNumbers::toInt32_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected"); // sentinel 1 << 40 means overflow
    const qint64 overflow = qint64(1) << 40;
    QTest::newRow("0.5 to even 0") << 0.5 << qint64(0);
    QTest::newRow("1.5 to even 2") << 1.5 << qint64(2);
    QTest::newRow("-1.5 to even -2") << -1.5 << qint64(-2);
    QTest::newRow("max") << 2147483647.0 << qint64(2147483647);
    QTest::newRow("min") << -2147483648.0 << qint64(-2147483648LL);
    QTest::newRow("max + 0.5 overflows") << 2147483647.5 << overflow;
    QTest::newRow("min - 1 overflows") << -2147483649.0 << overflow;
}

void TestNumbers::toInt32()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    if (expected == (qint64(1) << 40)) {
        QVERIFY_THROWS_EXCEPTION(Error, kesto::toInt32(value));
        return;
    }
    QCOMPARE(qint64(kesto::toInt32(value)), expected);
}

void TestNumbers::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << QStringLiteral("12") << true << 12.0;
    QTest::newRow("negative decimal") << QStringLiteral("-5321.25") << true << -5321.25;
    QTest::newRow("plus sign and blanks") << QStringLiteral("  +3 ") << true << 3.0;
    QTest::newRow("exponent") << QStringLiteral("1.5E+3") << true << 1500.0;
    QTest::newRow("leading point") << QStringLiteral(".5") << true << 0.5;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("word") << QStringLiteral("abc") << false << 0.0;
    QTest::newRow("comma decimal") << QStringLiteral("1,5") << false << 0.0;
    QTest::newRow("trailing letters") << QStringLiteral("12C3") << false << 0.0;
    QTest::newRow("inf is no number") << QStringLiteral("inf") << false << 0.0;
    QTest::newRow("hex is no number") << QStringLiteral("0x10") << false << 0.0;
}

void TestNumbers::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    QCOMPARE(kesto::isNumber(text), isNumber);
    if (isNumber) {
        QCOMPARE(parseDouble(text), value);
    } else {
        try {
            parseDouble(text);
            QFAIL("no type-mismatch error");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(Error::TypeMismatch));
        }
    }
}

void TestNumbers::singleText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 67.0f << QStringLiteral("67");
    QTest::newRow("zero") << 0.0f << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0f << QStringLiteral("0");
    QTest::newRow("negative whole") << -20.0f << QStringLiteral("-20");
    QTest::newRow("tenth") << 0.1f << QStringLiteral("0.1");
    QTest::newRow("2.4") << 2.4f << QStringLiteral("2.4");
    QTest::newRow("third has 7 digits") << 1.0f / 3.0f << QStringLiteral("0.3333333");
    QTest::newRow("seven digits") << 1234567.0f << QStringLiteral("1234567");
    QTest::newRow("half") << 12.5f << QStringLiteral("12.5");
}

void TestNumbers::singleText()
{
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(kesto::singleText(value), expected);
}

void TestNumbers::doubleText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("negative whole sum") << -5321.0 << QStringLiteral("-5321");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("twelve digits") << 123456789012.0 << QStringLiteral("123456789012");
    QTest::newRow("shortest tenth") << 0.1 << QStringLiteral("0.1");
    QTest::newRow("third keeps all digits") << 1.0 / 3.0 << QStringLiteral("0.3333333333333333");
    QTest::newRow("12.5") << 12.5 << QStringLiteral("12.5");
    QTest::newRow("round hundred thousand stays plain") << -100000.0 << QStringLiteral("-100000");
    QTest::newRow("a million stays plain") << 1e6 << QStringLiteral("1000000");
    QTest::newRow("largest plain") << 999999999999999.0 << QStringLiteral("999999999999999");
    QTest::newRow("small fraction stays plain") << 0.00012 << QStringLiteral("0.00012");
    QTest::newRow("huge uses an exponent") << 1e20 << QStringLiteral("1e+20");
    QTest::newRow("tiny uses an exponent") << 1e-7 << QStringLiteral("1e-07");
}

void TestNumbers::doubleText()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(kesto::doubleText(value), expected);
}

void TestNumbers::fixedText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("25 percent") << 250.0 * 100 / 1000 << 1 << QStringLiteral("25.0");
    QTest::newRow("below one keeps a leading zero") << 0.04 << 1 << QStringLiteral("0.0");
    QTest::newRow("no grouping") << 123456.78 << 1 << QStringLiteral("123456.8");
    QTest::newRow("exact tie rounds away from zero") << 6.25 << 1 << QStringLiteral("6.3");
    QTest::newRow("negative tie away from zero") << -6.25 << 1 << QStringLiteral("-6.3");
    QTest::newRow("0.75 up") << 0.75 << 1 << QStringLiteral("0.8");
    QTest::newRow("0.35 rounds as it reads") << 0.35 << 1 << QStringLiteral("0.4");
    QTest::newRow("decimal tie of a quotient")
        << 202167.0 * 100 / 6000 << 1 << QStringLiteral("3369.5");
    QTest::newRow("carry into a new digit") << 999.96 << 1 << QStringLiteral("1000.0");
    QTest::newRow("negative carry") << -9.96 << 1 << QStringLiteral("-10.0");
    QTest::newRow("zero") << 0.0 << 1 << QStringLiteral("0.0");
    QTest::newRow("small rounds up to a tenth") << 0.05 << 1 << QStringLiteral("0.1");
    QTest::newRow("small below half a tenth") << 0.0499 << 1 << QStringLiteral("0.0");
    QTest::newRow("far below the cut") << 1e-9 << 2 << QStringLiteral("0.00");
    QTest::newRow("large beyond 15 digits")
        << 1e20 << 1 << QStringLiteral("100000000000000000000.0");
    QTest::newRow("tiny negative shows unsigned") << -0.01 << 1 << QStringLiteral("0.0");
    QTest::newRow("negative") << -12.34 << 1 << QStringLiteral("-12.3");
    QTest::newRow("one third, two decimals") << 100.0 / 3.0 << 2 << QStringLiteral("33.33");
    QTest::newRow("two thirds, two decimals") << 200.0 / 3.0 << 2 << QStringLiteral("66.67");
    QTest::newRow("0.125 tie") << 0.125 << 2 << QStringLiteral("0.13");
    QTest::newRow("whole with two decimals") << 50.0 << 2 << QStringLiteral("50.00");
}

void TestNumbers::fixedText()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(kesto::fixedText(value, decimals), expected);
}

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
