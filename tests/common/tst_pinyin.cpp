#include <QtTest>

#include "common/pinyin.h"

using namespace tf::pinyin;
using namespace Qt::StringLiterals;

namespace {

QString LetterText(Letters letters) {
    QString text;
    for (char16_t c = u'a'; c <= u'z'; ++c)
        if (letters & LetterBit(c)) text += QChar(c);
    return text;
}

}  // namespace

class TestPinyin : public QObject {
    Q_OBJECT
private slots:
    void initials_data();
    void initials();
    void matches_data();
    void matches();
};

void TestPinyin::initials_data() {
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<QString>("letters");
    // Characters read several ways give every initial, from every reading field.
    QTest::newRow("行 háng xíng") << 0x884Cu << u"hx"_s;
    QTest::newRow("长 cháng zhǎng") << 0x957Fu << u"cz"_s;
    QTest::newRow("重 zhòng chóng tóng") << 0x91CDu << u"ctz"_s;
    QTest::newRow("乐 lè yuè") << 0x4E50u << u"ly"_s;
    QTest::newRow("厦 shà xià") << 0x53A6u << u"sx"_s;
    QTest::newRow("北, one reading") << 0x5317u << u"b"_s;
    // Readings that start with a tone-marked letter.
    QTest::newRow("啊 ā, ē") << 0x554Au << u"ae"_s;
    QTest::newRow("嗯 ń, ňg") << 0x55EFu << u"n"_s;
    // Both ends of both blocks.
    QTest::newRow("U+3400, first of Extension A") << 0x3400u << u"q"_s;
    QTest::newRow("U+4DB5, Extension A") << 0x4DB5u << u"c"_s;
    QTest::newRow("U+4E00 一") << 0x4E00u << u"y"_s;
    QTest::newRow("U+9FEB ào") << 0x9FEBu << u"a"_s;
    QTest::newRow("U+9FED nǐ") << 0x9FEDu << u"n"_s;
    QTest::newRow("U+4DBF, no reading") << 0x4DBFu << QString();
    QTest::newRow("U+20000, Extension B") << 0x20000u << QString();
    QTest::newRow("Latin letter") << uint{'a'} << QString();
    QTest::newRow("full-width letter") << 0xFF41u << QString();
    QTest::newRow("ideographic space") << 0x3000u << QString();
}

void TestPinyin::initials() {
    QFETCH(uint, codePoint);
    QFETCH(QString, letters);
    QCOMPARE(LetterText(InitialsOf(char32_t{codePoint})), letters);
}

void TestPinyin::matches_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("match");
    const QString huaxia = u"北京华夏建设有限公司"_s;
    QTest::newRow("characters at the start") << u"庚方物流有限公司"_s << u"庚方"_s << true;
    QTest::newRow("characters inside") << huaxia << u"华夏"_s << true;
    QTest::newRow("characters not there") << huaxia << u"华南"_s << false;
    QTest::newRow("initials at the start") << huaxia << u"bjhx"_s << true;
    QTest::newRow("initials inside") << huaxia << u"hx"_s << true;
    QTest::newRow("initials run past the end") << huaxia << u"bjhxjsyxgsx"_s << false;
    QTest::newRow("initials must be a run") << huaxia << u"bjx"_s << false;
    QTest::newRow("行 as háng") << u"中国银行"_s << u"zgyh"_s << true;
    QTest::newRow("行 as xíng") << u"中国银行"_s << u"zgyx"_s << true;
    QTest::newRow("one letter per character") << u"行"_s << u"hx"_s << false;
    QTest::newRow("capitals") << huaxia << u"BJHX"_s << true;
    QTest::newRow("full-width letters") << huaxia << u"ｂｊＨＸ"_s << true;
    QTest::newRow("blanks around and inside") << huaxia << u" bj hx "_s << true;
    QTest::newRow("punctuation and digits skipped")
        << u"北京（华夏）第1建设"_s << u"hxdj"_s << true;
    QTest::newRow("Latin letters stand for themselves")
        << u"ABC科技有限公司"_s << u"bckj"_s << true;
    QTest::newRow("Latin text in any case and width") << u"Ｔａｌｌｙ软件"_s << u"tALLy"_s << true;
    QTest::newRow("digits match as characters only") << u"第1建设"_s << u"1j"_s << false;
    QTest::newRow("Extension A") << u"㐀"_s << u"q"_s << true;
    QTest::newRow("nothing typed") << huaxia << u"  "_s << false;
}

void TestPinyin::matches() {
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(bool, match);
    const Query query(typed);
    QCOMPARE(query.Matches(text), match);
    // A matching text has every letter and pair the query requires: the table filters on them.
    const Signature has = SignatureOf(text), needs = query.Required();
    if (match) {
        QCOMPARE(has.letters & needs.letters, needs.letters);
        QCOMPARE(has.pairs & needs.pairs, needs.pairs);
    }
}

QTEST_GUILESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
