#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <limits>

#include "amount/amount.h"
#include "amount/number.h"

using namespace tf::amount;
using namespace Qt::StringLiterals;

namespace {

const QString kYuan = QStringLiteral("￥");
const QString kDollar = QStringLiteral("$");

// Capital form of figures made with the sign now in the currency box.
QString Capital(const QString& figures, const QString& sign) {
    return CapitalAmount(figures, sign, sign, sign);
}

}  // namespace

class TestAmount : public QObject {
    Q_OBJECT

private slots:
    void workedResults_data();
    void workedResults();
    void normaliseEdgeCases_data();
    void normaliseEdgeCases();
    void highDigitsCut_data();
    void highDigitsCut();
    void neverAnExponent_data();
    void neverAnExponent();
    void rewriteNumber_data();
    void rewriteNumber();
    void capitalEdgeCases_data();
    void capitalEdgeCases();
    void otherSigns_data();
    void otherSigns();
    void signIsRemovedAsItsPrefix_data();
    void signIsRemovedAsItsPrefix();
    void toCapitalDigits_data();
    void toCapitalDigits();
    void lenientNumber_data();
    void lenientNumber();
    void numberText_data();
    void numberText();
    void numberTextReadsBack_data();
    void numberTextReadsBack();
};

void TestAmount::workedResults_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("figures");
    QTest::addColumn<QString>("capital");

    QTest::newRow("zero") << u"0"_s << kYuan << u"￥0.00"_s << u"零元整"_s;
    QTest::newRow("no digits") << u"abc"_s << kYuan << u"￥0.00"_s << u"零元整"_s;
    QTest::newRow("fen only") << u"0.05"_s << kYuan << u"￥0.05"_s << u"伍分"_s;
    QTest::newRow("bare point half") << u".5"_s << kYuan << u"￥0.50"_s << u"伍角整"_s;
    QTest::newRow("one yuan") << u"1"_s << kYuan << u"￥1.00"_s << u"壹元整"_s;
    QTest::newRow("yuan zero jiao fen") << u"1.05"_s << kYuan << u"￥1.05"_s << u"壹元零伍分"_s;
    QTest::newRow("ten") << u"10"_s << kYuan << u"￥10.00"_s << u"壹拾元整"_s;
    QTest::newRow("ten and fen") << u"10.05"_s << kYuan << u"￥10.05"_s << u"壹拾元零伍分"_s;
    QTest::newRow("ten and jiao") << u"10.5"_s << kYuan << u"￥10.50"_s << u"壹拾元伍角整"_s;
    QTest::newRow("inner zero") << u"101"_s << kYuan << u"￥101.00"_s << u"壹佰零壹元整"_s;
    QTest::newRow("thousand and jiao")
        << u"1000.5"_s << kYuan << u"￥1000.50"_s << u"壹仟元伍角整"_s;
    QTest::newRow("zeros in both parts")
        << u"1001.01"_s << kYuan << u"￥1001.01"_s << u"壹仟零壹元零壹分"_s;
    QTest::newRow("thousands separator")
        << u"1,234.50"_s << kYuan << u"￥1234.50"_s << u"壹仟贰佰叁拾肆元伍角整"_s;
    QTest::newRow("all places") << u"1234.56"_s << kYuan << u"￥1234.56"_s
                                << u"壹仟贰佰叁拾肆元伍角陆分"_s;
    QTest::newRow("ten thousand") << u"10000"_s << kYuan << u"￥10000.00"_s << u"壹万元整"_s;
    QTest::newRow("zero after wan")
        << u"10010"_s << kYuan << u"￥10010.00"_s << u"壹万零壹拾元整"_s;
    QTest::newRow("shi wan and fen")
        << u"100000.05"_s << kYuan << u"￥100000.05"_s << u"壹拾万元零伍分"_s;
    QTest::newRow("shi wan and one")
        << u"100001"_s << kYuan << u"￥100001.00"_s << u"壹拾万零壹元整"_s;
    QTest::newRow("alternating zeros")
        << u"1010101.01"_s << kYuan << u"￥1010101.01"_s << u"壹佰零壹万零壹佰零壹元零壹分"_s;
    QTest::newRow("qian wan and one")
        << u"10000001"_s << kYuan << u"￥10000001.00"_s << u"壹仟万零壹元整"_s;
    QTest::newRow("qian ling yi wan")
        << u"10010000"_s << kYuan << u"￥10010000.00"_s << u"壹仟零壹万元整"_s;
    QTest::newRow("qian wan and fen")
        << u"20000000.02"_s << kYuan << u"￥20000000.02"_s << u"贰仟万元零贰分"_s;
    QTest::newRow("largest amount") << u"99999999.99"_s << kYuan << u"￥99999999.99"_s
                                    << u"玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"_s;
    QTest::newRow("nine integer digits") << u"123456789.12"_s << kYuan << u"￥23456789.12"_s
                                         << u"贰仟叁佰肆拾伍万陆仟柒佰捌拾玖元壹角贰分"_s;
    QTest::newRow("extra decimals cut")
        << u"12.345"_s << kYuan << u"￥12.34"_s << u"壹拾贰元叁角肆分"_s;
    QTest::newRow("second point ends the number")
        << u"1.2.3"_s << kYuan << u"￥1.20"_s << u"壹元贰角整"_s;
    QTest::newRow("minus dropped") << u"-56.7"_s << kYuan << u"￥56.70"_s << u"伍拾陆元柒角整"_s;
    QTest::newRow("leading and trailing zeros")
        << u"00012.30"_s << kYuan << u"￥12.30"_s << u"壹拾贰元叁角整"_s;
    QTest::newRow("dollar with fen") << u"1.23"_s << kDollar << u"$1.23"_s << u"壹元贰角叁美分"_s;
    QTest::newRow("dollar whole") << u"20"_s << kDollar << u"$20.00"_s << u"贰拾元整"_s;
}

void TestAmount::workedResults() {
    QFETCH(QString, typed);
    QFETCH(QString, sign);
    QFETCH(QString, figures);
    QFETCH(QString, capital);

    QCOMPARE(NormaliseAmount(typed, sign), figures);
    QCOMPARE(Capital(figures, sign), capital);
    // Leaving the field again must not change what is already normalised.
    QCOMPARE(NormaliseAmount(figures, sign), figures);
}

void TestAmount::normaliseEdgeCases_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("figures");

    QTest::newRow("empty sign, one decimal") << u"5.5"_s << QString() << u"5.50"_s;
    QTest::newRow("empty sign, bare point") << u".5"_s << QString() << u"0.50"_s;
    QTest::newRow("empty sign, high digit cut")
        << u"123456789.5"_s << QString() << u"23456789.50"_s;
    QTest::newRow("truncated, not rounded") << u"0.999"_s << kYuan << u"￥0.99"_s;
    QTest::newRow("trailing point") << u"7."_s << kYuan << u"￥7.00"_s;
    QTest::newRow("earlier sign replaced") << u"$12"_s << kYuan << u"￥12.00"_s;
    QTest::newRow("blanks around") << u"  12 "_s << kYuan << u"￥12.00"_s;
    QTest::newRow("point only") << u"."_s << kYuan << u"￥0.00"_s;
    QTest::newRow("sign holding a point") << u"5"_s << u"Rs."_s << u"Rs.5.00"_s;
    // Zeros that the cut brings to the front are dropped.
    QTest::newRow("cut leaves only zeros") << u"100000000"_s << kYuan << u"￥0.00"_s;
    QTest::newRow("cut leaves a leading zero") << u"1012345678.9"_s << kYuan << u"￥12345678.90"_s;
    QTest::newRow("cut leaves several zeros") << u"1000045678"_s << kYuan << u"￥45678.00"_s;

    QTest::newRow("full-width digits and point") << u"１２３４．５"_s << kYuan << u"￥1234.50"_s;
    QTest::newRow("full-width fen") << u"０．０５"_s << kYuan << u"￥0.05"_s;
    QTest::newRow("full-width mixed with ascii") << u"１2３.4５6"_s << kYuan << u"￥123.45"_s;
    QTest::newRow("full-width with separators")
        << u"￥１，２３４．５６"_s << kYuan << u"￥1234.56"_s;

    // Fifteen significant digits are kept; the sixteenth rounds before the decimals are cut.
    QTest::newRow("15 nines kept") << u"0.999999999999999"_s << kYuan << u"￥0.99"_s;
    QTest::newRow("16th digit 4 rounds down") << u"0.9999999999999994"_s << kYuan << u"￥0.99"_s;
    QTest::newRow("16th digit 5 rounds up") << u"0.9999999999999995"_s << kYuan << u"￥1.00"_s;
    QTest::newRow("18 nines round to one") << u"0.999999999999999999"_s << kYuan << u"￥1.00"_s;
    QTest::newRow("round up carries into yuan")
        << u"12345678.99999999"_s << kYuan << u"￥12345679.00"_s;
    QTest::newRow("15 digits with 8 integer")
        << u"12345678.9999999"_s << kYuan << u"￥12345678.99"_s;

    QTest::newRow("20-digit integer") << u"12345678901234567890.5"_s << kYuan << u"￥34600000.00"_s;
    QTest::newRow("16-digit integer") << u"1234567890123456"_s << kYuan << u"￥90123460.00"_s;
    QTest::newRow("fraction far below a fen") << u"0.000000001"_s << kYuan << u"￥0.00"_s;
    QTest::newRow("amount with a trace below a fen")
        << u"5.000000000000000000001"_s << kYuan << u"￥5.00"_s;
}

void TestAmount::normaliseEdgeCases() {
    QFETCH(QString, typed);
    QFETCH(QString, sign);
    QFETCH(QString, figures);

    QCOMPARE(NormaliseAmount(typed, sign), figures);
}

void TestAmount::highDigitsCut_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cut");

    QTest::newRow("eight integer digits") << u"12345678.99"_s << false;
    QTest::newRow("nine integer digits") << u"123456789"_s << true;
    QTest::newRow("leading zeros do not count") << u"000012345678"_s << false;
    QTest::newRow("long fraction does not count") << u"1.234567890123"_s << false;
    QTest::newRow("twenty integer digits") << u"12345678901234567890"_s << true;
    QTest::newRow("rounding up to nine digits") << u"99999999.99999999"_s << true;
    QTest::newRow("nothing typed") << QString() << false;
}

void TestAmount::highDigitsCut() {
    QFETCH(QString, typed);
    QFETCH(bool, cut);

    for (const bool before : {false, true}) {
        bool flag = before;
        NormaliseAmount(typed, kYuan, &flag);
        QCOMPARE(flag, cut);
    }
    // The flag is optional.
    QCOMPARE(NormaliseAmount(typed, kYuan, nullptr), NormaliseAmount(typed, kYuan));
}

void TestAmount::neverAnExponent_data() {
    QTest::addColumn<QString>("typed");

    QTest::newRow("30-digit integer") << QString(u'1' + QString(30, u'0'));
    QTest::newRow("400 nines") << QString(400, u'9');
    QTest::newRow("one over 10^40") << QString(u"0."_s + QString(39, u'0') + u'1');
    QTest::newRow("tiny with many digits") << QString(u"0."_s + QString(30, u'0') +
                                                      u"123456789"
                                                      u"0123456789"_s);
    QTest::newRow("exponent typed") << u"1.5e300"_s;
}

void TestAmount::neverAnExponent() {
    QFETCH(QString, typed);

    static const QRegularExpression normalised(u"^￥\\d{1,8}\\.\\d\\d$"_s);
    const QString figures = NormaliseAmount(typed, kYuan);
    QVERIFY2(normalised.match(figures).hasMatch(), qPrintable(figures));

    static const QRegularExpression plain(u"^(\\d+|\\d*\\.\\d+)$"_s);
    const QString rewritten = RewriteNumber(typed);
    QVERIFY2(plain.match(rewritten).hasMatch(), qPrintable(rewritten));

    const QString capital = Capital(figures, kYuan);
    QVERIFY(capital.endsWith(u'整') || capital.endsWith(u'分'));
}

void TestAmount::rewriteNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rewritten");

    QTest::newRow("empty") << QString() << u"0"_s;
    QTest::newRow("point only") << u"."_s << u"0"_s;
    QTest::newRow("no leading digit") << u"abc12"_s << u"0"_s;
    QTest::newRow("half without zero") << u"0.5"_s << u".5"_s;
    QTest::newRow("zeros trimmed") << u"00012.30"_s << u"12.3"_s;
    QTest::newRow("stops at second point") << u"1.2.3"_s << u"1.2"_s;
    QTest::newRow("stops at letter") << u"12a3"_s << u"12"_s;
    QTest::newRow("15 significant digits kept") << u"123456789012345"_s << u"123456789012345"_s;
    QTest::newRow("16th digit rounds integer")
        << u"1234567890123456789"_s << u"1234567890123460000"_s;
    QTest::newRow("16th digit drops fraction") << u"123456789012345.4"_s << u"123456789012345"_s;
    QTest::newRow("carry through nines") << u"129999999999999.96"_s << u"130000000000000"_s;
    QTest::newRow("carry adds a digit") << u"999999999999999.5"_s << u"1000000000000000"_s;
    QTest::newRow("carry out of fraction") << u"1.99999999999999999"_s << u"2"_s;
    QTest::newRow("rounding within fraction") << u"123.4567890123456"_s << u"123.456789012346"_s;
    QTest::newRow("leading fraction zeros not significant")
        << u"0.0000000000000000000012345678901234567"_s
        << u".00000000000000000000123456789012346"_s;
    QTest::newRow("tiny fraction positional") << u"0.000000001"_s << u".000000001"_s;
}

void TestAmount::rewriteNumber() {
    QFETCH(QString, text);
    QFETCH(QString, rewritten);

    QCOMPARE(RewriteNumber(text), rewritten);
}

void TestAmount::capitalEdgeCases_data() {
    QTest::addColumn<QString>("figures");
    QTest::addColumn<QString>("capital");

    QTest::newRow("truncated jiao and fen") << u"￥0.99"_s << u"玖角玖分"_s;
    QTest::newRow("jiao only") << u"￥0.10"_s << u"壹角整"_s;
    QTest::newRow("wan with zero below") << u"￥100100.00"_s << u"壹拾万零壹佰元整"_s;
    QTest::newRow("qian wan and jiao") << u"￥10000000.10"_s << u"壹仟万元壹角整"_s;
    QTest::newRow("qian wan whole") << u"￥60000000.00"_s << u"陆仟万元整"_s;
    QTest::newRow("cut figures with zeros") << u"￥00000000.00"_s << u"零元整"_s;
    QTest::newRow("cut figures with leading zero")
        << u"￥03456789.10"_s << u"叁佰肆拾伍万陆仟柒佰捌拾玖元壹角整"_s;
}

void TestAmount::capitalEdgeCases() {
    QFETCH(QString, figures);
    QFETCH(QString, capital);

    QCOMPARE(Capital(figures, kYuan), capital);
}

void TestAmount::otherSigns_data() {
    QTest::addColumn<QString>("figures");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("previousBoxText");
    QTest::addColumn<QString>("currentBoxText");
    QTest::addColumn<QString>("capital");

    const QString yuanForm = u"壹元贰角叁分"_s;
    QTest::newRow("yuan") << u"￥1.23"_s << kYuan << kYuan << kYuan << yuanForm;
    QTest::newRow("euro") << u"€1.23"_s << u"€"_s << kYuan << u"€"_s << yuanForm;
    QTest::newRow("HK$ now in the box")
        << u"HK$1.23"_s << u"HK$"_s << kYuan << u"HK$"_s << yuanForm;
    QTest::newRow("HK$ before the box changed")
        << u"HK$1.23"_s << kYuan << u"HK$"_s << kYuan << yuanForm;
    QTest::newRow("US$ is not the dollar sign")
        << u"US$1.23"_s << u"US$"_s << u"US$"_s << u"US$"_s << yuanForm;
    QTest::newRow("empty sign") << u"1.23"_s << QString() << QString() << QString() << yuanForm;
    QTest::newRow("dollar figures, yuan sign now")
        << u"$1.23"_s << kYuan << kDollar << kYuan << yuanForm;
    QTest::newRow("dollar fen only") << u"$0.05"_s << kDollar << kDollar << kDollar << u"伍美分"_s;
}

void TestAmount::otherSigns() {
    QFETCH(QString, figures);
    QFETCH(QString, sign);
    QFETCH(QString, previousBoxText);
    QFETCH(QString, currentBoxText);
    QFETCH(QString, capital);

    QCOMPARE(CapitalAmount(figures, sign, previousBoxText, currentBoxText), capital);
}

void TestAmount::signIsRemovedAsItsPrefix_data() {
    // What the amount field holds when it is left, the currency box's text when it got the
    // focus and its text now.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("previousBoxText");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("figures");
    QTest::addColumn<QString>("capital");
    const QString amount = u"壹仟贰佰叁拾肆元伍角整"_s;
    QTest::newRow("HK$") << u"1234.5"_s << kYuan << u"HK$"_s << u"HK$1234.50"_s << amount;
    QTest::newRow("US$ after $") << u"1234.5"_s << kDollar << u"US$"_s << u"US$1234.50"_s << amount;
    QTest::newRow("RMB￥ after ￥")
        << u"1234.5"_s << kYuan << u"RMB￥"_s << u"RMB￥1234.50"_s << amount;
    QTest::newRow("Rs. typed with the amount")
        << u"Rs.1234.5"_s << kYuan << u"Rs."_s << u"Rs.1234.50"_s << amount;
    QTest::newRow("Rs. figures after the box went back to ￥")
        << u"Rs.1234.50"_s << u"Rs."_s << kYuan << u"￥1234.50"_s << amount;
    QTest::newRow("Rs. figures at a start with ￥ in the box")
        << u"Rs.1234.50"_s << kYuan << kYuan << u"￥1234.50"_s << amount;
    QTest::newRow("ideographic full stop as the point")
        << u"1234。5"_s << kYuan << kYuan << u"￥1234.50"_s << amount;
    QTest::newRow("full-width point") << u"1234．5"_s << kYuan << kYuan << u"￥1234.50"_s << amount;
}

void TestAmount::signIsRemovedAsItsPrefix() {
    QFETCH(QString, typed);
    QFETCH(QString, previousBoxText);
    QFETCH(QString, sign);
    QFETCH(QString, figures);
    QFETCH(QString, capital);
    QCOMPARE(NormaliseAmount(typed, sign), figures);
    QCOMPARE(CapitalAmount(figures, sign, previousBoxText, sign), capital);
    QCOMPARE(NormaliseAmount(figures, sign), figures);
}

void TestAmount::toCapitalDigits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("capital");

    QTest::newRow("all digits") << u"0123456789"_s << u"零壹贰叁肆伍陆柒捌玖"_s;
    QTest::newRow("others kept") << u"￥1.5a "_s << u"￥壹.伍a "_s;
    QTest::newRow("full-width untouched") << u"１２"_s << u"１２"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestAmount::toCapitalDigits() {
    QFETCH(QString, text);
    QFETCH(QString, capital);

    QCOMPARE(ToCapitalDigits(text), capital);
}

void TestAmount::lenientNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("unit after") << u"85mm"_s << 85.0;
    QTest::newRow("blank before") << u" 30"_s << 30.0;
    QTest::newRow("tab and blanks") << u"\t 7.25"_s << 7.25;
    QTest::newRow("negative with tail") << u"-2.5x"_s << -2.5;
    QTest::newRow("plus") << u"+4"_s << 4.0;
    QTest::newRow("no digits") << u"abc"_s << 0.0;
    QTest::newRow("point only") << u"."_s << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("sign only") << u"-"_s << 0.0;
    QTest::newRow("minus zero is zero") << u"-0.00"_s << 0.0;
    QTest::newRow("blank after sign") << u"- 5"_s << 0.0;
    QTest::newRow("second point") << u"1.2.3"_s << 1.2;
    QTest::newRow("bare fraction") << u"-.5"_s << -0.5;
    QTest::newRow("trailing point") << u"5."_s << 5.0;
    QTest::newRow("twenty digits") << u"12345678901234567890"_s << 12345678901234567890.0;
    QTest::newRow("too large") << QString(u'1' + QString(400, u'0'))
                               << std::numeric_limits<double>::infinity();
    QTest::newRow("too small") << QString(u"0."_s + QString(400, u'0') + u'1') << 0.0;
}

void TestAmount::lenientNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);

    const double read = tf::LenientNumber(text);
    // Exact: the reading must be the correctly rounded double, not merely close to it.
    QVERIFY2(read == value, qPrintable(QString::number(read, 'g', 17)));
    QVERIFY2(!std::signbit(read) || read < 0, "negative zero");
}

void TestAmount::numberText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("whole") << 220.0 << u"220"_s;
    QTest::newRow("half step") << 85.5 << u"85.5"_s;
    QTest::newRow("tenth") << 0.1 << u"0.1"_s;
    QTest::newRow("negative") << -0.5 << u"-0.5"_s;
    QTest::newRow("zero") << 0.0 << u"0"_s;
    QTest::newRow("negative zero") << -0.0 << u"0"_s;
    QTest::newRow("sum with binary error") << 0.1 + 0.2 << u"0.30000000000000004"_s;
    QTest::newRow("third") << 1.0 / 3.0 << u"0.3333333333333333"_s;
    QTest::newRow("large whole") << 1e21 << u"1000000000000000000000"_s;
    QTest::newRow("large whole, inexact") << 1e23 << u"100000000000000000000000"_s;
    QTest::newRow("small fraction") << 1e-7 << u"0.0000001"_s;
    QTest::newRow("beyond 15 digits") << 123456789012345678.0 << u"123456789012345680"_s;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << u"0"_s;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << u"0"_s;
}

void TestAmount::numberText() {
    QFETCH(double, value);
    QFETCH(QString, text);

    QCOMPARE(tf::NumberText(value), text);
}

void TestAmount::numberTextReadsBack_data() {
    QTest::addColumn<double>("value");

    QTest::newRow("tenth") << 0.1;
    QTest::newRow("negative fraction") << -1234.5678;
    QTest::newRow("max double") << std::numeric_limits<double>::max();
    QTest::newRow("smallest normal") << std::numeric_limits<double>::min();
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("2^53 + 2") << 9007199254740994.0;
}

void TestAmount::numberTextReadsBack() {
    QFETCH(double, value);

    const QString text = tf::NumberText(value);
    QVERIFY2(!text.contains(u'e') && !text.contains(u'E'), qPrintable(text));
    QVERIFY2(tf::LenientNumber(text) == value, qPrintable(text));

    // Shortest: with one significant digit fewer the value no longer reads back.
    QString digits = text;
    digits.remove(u'-').remove(u'.');
    while (digits.startsWith(u'0')) digits.remove(0, 1);
    while (digits.endsWith(u'0')) digits.chop(1);
    if (digits.size() > 1) {
        QVERIFY(QString::number(value, 'g', int(digits.size()) - 1).toDouble() != value);
    }
}

QTEST_APPLESS_MAIN(TestAmount)
#include "tst_amount.moc"
