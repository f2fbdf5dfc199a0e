#include <QtTest>

#include "common/rounding.h"
#include "print/page.h"
#include "print/print_job.h"
#include "store/default_format.h"
#include "store/settings.h"
#include "support/recording_printer.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::print;
using tf::test::RecordingPrinter;
using tf::test::TestEnv;
using namespace Qt::StringLiterals;

namespace {

// A distinct first character per field, so each field's runs can be found again.
QString Mark(int field) {
    return QString(QChar(char16_t(0x4E00 + field)));
}

FieldTexts MarkedTexts() {
    FieldTexts t;
    for (int i = kFirstField; i <= kLastField; ++i) t[i] = Mark(i) + QStringLiteral("文");
    t[12] = QStringLiteral("￥1234.50");
    t[28] = QStringLiteral("￥1234.50");
    return t;
}

const RecordingPrinter::Run* RunOf(const RecordingPrinter& rec, const QString& text) {
    for (const auto& r : rec.runs)
        if (r.text == text) return &r;
    return nullptr;
}

void SetMargins(const AppContext& ctx, const QString& x, const QString& y) {
    if (!x.isNull())
        QVERIFY(WriteSetting(ctx, SettingsApp(), CollateSection(), QStringLiteral("X"), x));
    if (!y.isNull())
        QVERIFY(WriteSetting(ctx, SettingsApp(), CollateSection(), QStringLiteral("Y"), y));
}

void SetSpacing(const AppContext& ctx, int field, double mm) {
    QVERIFY(test::Exec(
        ctx, QStringLiteral("INSERT INTO 字距 (Name, CID, Sp) VALUES ('默认格式', %1, %2)")
                 .arg(field)
                 .arg(mm)));
}

bool Near(double a, double b, double tolerance = 1e-6) {
    return std::abs(a - b) <= tolerance;
}

}  // namespace

class TestPage : public QObject {
    Q_OBJECT
private slots:
    void mmToTwips();
    void roundHalfEven_data();
    void roundHalfEven();
    void fieldPositions_data();
    void fieldPositions();
    void amountInBoxes_data();
    void amountInBoxes();
    void amountInFiguresUsesBoxes_data();
    void amountInFiguresUsesBoxes();
    void wrapping_data();
    void wrapping();
    void spacingAddsAfterEachCharacter();
    void stubHiddenPrintsVoucherFieldsOnly();
    void emptyFieldPrintsNothing();
    void fontsFollowFields();
    void printerFailures_data();
    void printerFailures();
    void cancelledDialogPrintsNothingAndKeepsChange();
    void recordQuestionOncePerChange();
    void recordDeclinedStoresNothing();
    void recordNotKeptIsOfferedAgain();
    void calibration_data();
    void calibration();
};

void TestPage::mmToTwips() {
    // 0.03937 in/mm, not 1/25.4: 56.6928 twips per mm.
    QCOMPARE(MmToTwips(1), 56.6928);
    QCOMPARE(MmToTwips(10), 566.928);
    QCOMPARE(MmToTwips(0), 0.0);
}

void TestPage::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("84.5 down to even") << 84.5 << 84.0;
    QTest::newRow("85.5 up to even") << 85.5 << 86.0;
    QTest::newRow("just above half") << 84.5000001 << 85.0;
    QTest::newRow("below half") << 219.4 << 219.0;
    QTest::newRow("negative half") << -2.5 << -2.0;
    QTest::newRow("whole") << 65.0 << 65.0;
}

void TestPage::roundHalfEven() {
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(RoundHalfEven(value), rounded);
}

void TestPage::fieldPositions_data() {
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<bool>("stubShown");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<QString>("marginX");  // null: nothing stored
    QTest::addColumn<QString>("marginY");
    QTest::addColumn<double>("dxMm");  // page position − format position
    QTest::addColumn<double>("dyMm");
    QTest::addColumn<int>("paper");
    QTest::addColumn<QString>("height");  // the form height box, mm

    const QString none;
    QTest::newRow("default layout, portrait, stub, no offsets: 3 mm left and up")
        << false << true << false << none << none << -3.0 << -3.0 << 8 << u"85"_s;
    QTest::newRow("empty stored texts count as nothing stored")
        << false << true << false << QString(u""_s) << QString(u""_s) << -3.0 << -3.0 << 8
        << u"85"_s;
    QTest::newRow("offsets 10/10 print at the format position")
        << false << true << false << QStringLiteral("10") << QStringLiteral("10") << 0.0 << 0.0 << 8
        << u"85"_s;
    QTest::newRow("X 12.5 portrait moves 2.5 mm left")
        << false << true << false << QStringLiteral("12.5") << QStringLiteral("10") << -2.5 << 0.0
        << 8 << u"85"_s;
    QTest::newRow("X 12.5 landscape moves 2.5 mm up")
        << true << true << false << QStringLiteral("12.5") << QStringLiteral("10") << 0.0 << 122.5
        << 9 << u"85"_s;
    QTest::newRow("Y 12 landscape moves 2 mm left")
        << true << true << false << QStringLiteral("10") << QStringLiteral("12") << -2.0 << 125.0
        << 9 << u"85"_s;
    QTest::newRow("landscape H 85: 125 mm down")
        << true << true << false << QStringLiteral("10") << QStringLiteral("10") << 0.0 << 125.0
        << 9 << u"85"_s;
    QTest::newRow("landscape H 90: 120 mm down")
        << true << true << false << QStringLiteral("10") << QStringLiteral("10") << 0.0 << 120.0
        << 9 << u"90"_s;
    QTest::newRow("landscape H 84.5 reads as 84 (half to even): 126 mm down")
        << true << true << false << QStringLiteral("10") << QStringLiteral("10") << 0.0 << 126.0
        << 9 << u"84.5"_s;
    QTest::newRow("landscape H 85 centred: 62.5 mm down")
        << true << true << true << QStringLiteral("10") << QStringLiteral("10") << 0.0 << 62.5 << 9
        << u"85"_s;
    QTest::newRow("portrait, stub, centred on 210 mm: 5 mm left")
        << false << true << true << QStringLiteral("10") << QStringLiteral("10") << -5.0 << 0.0 << 8
        << u"85"_s;
    QTest::newRow("portrait, stub hidden, centred, W 220 S 65: 27.5 mm right")
        << false << false << true << QStringLiteral("10") << QStringLiteral("10") << 27.5 << 0.0
        << 9 << u"85"_s;
    QTest::newRow("portrait, stub hidden, not centred")
        << false << false << false << QStringLiteral("10") << QStringLiteral("10") << 0.0 << 0.0
        << 9 << u"85"_s;
    QTest::newRow("negative margin -2 moves 12 mm right")
        << false << true << false << QStringLiteral("-2") << QStringLiteral("10") << 12.0 << 0.0
        << 8 << u"85"_s;
    QTest::newRow("non-numeric margin reads as 0: offset -10")
        << false << true << false << QStringLiteral("abc") << QStringLiteral("13mm") << 10.0 << -3.0
        << 8 << u"85"_s;
}

void TestPage::fieldPositions() {
    QFETCH(bool, landscape);
    QFETCH(bool, stubShown);
    QFETCH(bool, centred);
    QFETCH(QString, marginX);
    QFETCH(QString, marginY);
    QFETCH(double, dxMm);
    QFETCH(double, dyMm);
    QFETCH(int, paper);
    QFETCH(QString, height);

    TestEnv env;
    env.CreateDatabase();
    SetMargins(env.ctx, marginX, marginY);
    store::VoucherSettings s = store::DesignSettings();
    s.layout.printStub = stubShown;
    s.layout.centreOnFeeder = centred;
    s.layout.portrait = !landscape;
    s.layout.landscape = landscape;
    s.layout.formHeightMm = height.toDouble();
    const VoucherPage page = PageOf(s, MarkedTexts());
    // Printing takes the height as whole millimetres, and the fields scale with it: positions
    // stretch by rounded ÷ stored.
    const double kBack = std::nearbyint(height.toDouble()) / height.toDouble();

    RecordingPrinter rec;
    QCOMPARE(PrintVoucher(env.ctx, page, rec), PageResult::Printed);
    QCOMPARE(int(rec.paper), paper);
    QCOMPARE(rec.orientation, landscape ? Orientation::Landscape : Orientation::Portrait);
    QCOMPARE(rec.endDocs, 1);
    QVERIFY(env.prompt.Messages().isEmpty());

    // With the stub hidden the screen starts at the voucher part, S mm to the right.
    const double shiftMm = stubShown ? 0 : 65;
    const int last = stubShown ? kLastField : kLastVoucherField;
    for (int i = kFirstField; i <= last; ++i) {
        if (i == 12 || i == 28) continue;  // boxes, see amountInBoxes
        const auto* run = RunOf(rec, Mark(i));
        QVERIFY2(run, qPrintable(QStringLiteral("field %1 not printed").arg(i)));
        const FieldFormat& f = s.fieldFormats[i];
        const double x = MmToTwips((f.X - shiftMm) * kBack + dxMm);
        const double y = MmToTwips(f.Y * kBack + dyMm);
        QVERIFY2(
            Near(run->x, x),
            qPrintable(QStringLiteral("field %1: x %2, expected %3").arg(i).arg(run->x).arg(x)));
        QVERIFY2(
            Near(run->y, y),
            qPrintable(QStringLiteral("field %1: y %2, expected %3").arg(i).arg(run->y).arg(y)));
    }
}

void TestPage::amountInBoxes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fromRight");  // box 1 is the rightmost
    QTest::newRow("￥8.00: digits in the last three boxes, ￥ in the fourth")
        << QStringLiteral("￥8.00") << QStringList{u"0"_s, u"0"_s, u"8"_s, u"￥"_s};
    QTest::newRow("normalised amount: seven characters")
        << QStringLiteral("￥1234.50")
        << QStringList{u"0"_s, u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s, u"￥"_s};
    QTest::newRow("commas are left out")
        << QStringLiteral("1,234.5") << QStringList{u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s};
    QTest::newRow("more than 11 characters run on to the left")
        << QStringLiteral("1234567890123")
        << QStringList{u"3"_s, u"2"_s, u"1"_s, u"0"_s, u"9"_s, u"8"_s, u"7"_s,
                       u"6"_s, u"5"_s, u"4"_s, u"3"_s, u"2"_s, u"1"_s};
    QTest::newRow("empty amount prints nothing") << QString() << QStringList{};
}

void TestPage::amountInBoxes() {
    QFETCH(QString, text);
    QFETCH(QStringList, fromRight);

    TestEnv env;
    env.CreateDatabase();
    SetMargins(env.ctx, QStringLiteral("10"), QStringLiteral("10"));
    store::VoucherSettings s = store::DesignSettings();
    FieldTexts texts;
    texts[12] = text;
    const VoucherPage page = PageOf(s, texts);
    RecordingPrinter rec;
    QCOMPARE(PrintVoucher(env.ctx, page, rec), PageResult::Printed);

    QCOMPARE(rec.runs.size(), fromRight.size());
    const FieldFormat& f = s.fieldFormats[12];
    const double right = MmToTwips(f.X) + MmToTwips(f.W);
    const double box = MmToTwips(f.W / 11);
    for (int n = 0; n < fromRight.size(); ++n) {
        const auto& run = rec.runs[n];  // printed from the last character to the first
        QCOMPARE(run.text, fromRight[n]);
        // Centred in its box; the box's left edge is rounded to a whole twip.
        const double centre = run.x + RecordingPrinter::CharWidth(run.text.at(0), 9) / 2;
        const double boxCentre = right - (n + 0.5) * box;
        QVERIFY2(Near(centre, boxCentre, 0.5),
                 qPrintable(QStringLiteral("box %1: centre %2, expected %3")
                                .arg(n + 1)
                                .arg(centre)
                                .arg(boxCentre)));
        QCOMPARE(run.y, std::nearbyint(MmToTwips(f.Y)));
    }
}

void TestPage::amountInFiguresUsesBoxes_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<bool>("boxes");
    QTest::newRow("amount in figures") << 12 << true;
    QTest::newRow("the stub's amount in figures") << 28 << true;
    QTest::newRow("amount in capitals") << 11 << false;
    QTest::newRow("kind of bill") << 13 << false;
}

void TestPage::amountInFiguresUsesBoxes() {
    // The field's role decides: only the amount in figures and its stub copy get boxes.
    QFETCH(int, field);
    QFETCH(bool, boxes);
    TestEnv env;
    env.CreateDatabase();
    store::VoucherSettings s = store::DesignSettings();
    FieldTexts texts;
    texts[field] = QStringLiteral("12");
    RecordingPrinter rec;
    QCOMPARE(PrintVoucher(env.ctx, PageOf(s, texts), rec), PageResult::Printed);
    QCOMPARE(rec.runs.size(), 2);
    if (boxes) {
        QCOMPARE(rec.runs[0].text, QStringLiteral("2"));
        // Neighbouring boxes, one box width apart (box edges are rounded to whole twips).
        QVERIFY(Near(rec.runs[0].x - rec.runs[1].x, MmToTwips(s.fieldFormats[field].W / 11), 1));
    } else {
        QCOMPARE(rec.runs[0].text, QStringLiteral("1"));
        QVERIFY(Near(rec.runs[1].x - rec.runs[0].x, RecordingPrinter::CharWidth(u'1', 9)));
    }
}

void TestPage::wrapping_data() {
    QTest::addColumn<double>("fieldWidthMm");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    // 9 pt: CJK 180 twips, ASCII 90; a 10 mm field has a limit of 567 twips.
    QTest::newRow("CJK: the fourth character reaches the limit")
        << 10.0 << QStringLiteral("北京市朝阳区建国路八十八号")
        << QStringList{u"北京市朝"_s, u"阳区建国"_s, u"路八十八"_s, u"号"_s};
    QTest::newRow("a line exactly at the limit (540 twips) ends there")
        << 9.525 << QStringLiteral("北京市朝阳") << QStringList{u"北京市"_s, u"朝阳"_s};
    QTest::newRow("a long word is broken between any two characters")
        << 10.0 << QStringLiteral("abcdefghijklmnop")
        << QStringList{u"abcdefg"_s, u"hijklmn"_s, u"op"_s};
    QTest::newRow("text within the limit stays one line")
        << 10.0 << QStringLiteral("北京") << QStringList{u"北京"_s};
    QTest::newRow("field of no width: one character a line")
        << 0.0 << QStringLiteral("钟表厂") << QStringList{u"钟"_s, u"表"_s, u"厂"_s};
    QTest::newRow("surrogate pair kept whole on a narrow field")
        << 0.0 << QStringLiteral("𠀀a") << QStringList{u"𠀀"_s, u"a"_s};
}

void TestPage::wrapping() {
    QFETCH(double, fieldWidthMm);
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    TestEnv env;
    env.CreateDatabase();
    SetMargins(env.ctx, QStringLiteral("10"), QStringLiteral("10"));
    store::VoucherSettings s = store::DesignSettings();
    s.fieldFormats[5].W = fieldWidthMm;
    FieldTexts texts;
    texts[5] = text;
    const VoucherPage page = PageOf(s, texts);
    RecordingPrinter rec;
    QCOMPARE(PrintVoucher(env.ctx, page, rec), PageResult::Printed);

    // Runs are single characters; a line starts where x returns to the field's left.
    const double left = MmToTwips(s.fieldFormats[5].X);
    const double top = MmToTwips(s.fieldFormats[5].Y);
    QStringList printed;
    int line = -1;
    for (const auto& run : rec.runs) {
        if (Near(run.x, left)) {
            ++line;
            printed.append(QString());
        }
        QVERIFY(line >= 0);
        QVERIFY(Near(run.y, top + line * RecordingPrinter::LineHeight(9)));
        printed.last() += run.text;
    }
    QCOMPARE(printed, lines);
}

void TestPage::spacingAddsAfterEachCharacter() {
    TestEnv env;
    env.CreateDatabase();
    SetMargins(env.ctx, QStringLiteral("10"), QStringLiteral("10"));
    SetSpacing(env.ctx, 5, 2);
    store::VoucherSettings s = store::DesignSettings();
    s.fieldFormats[5].W = 10;
    FieldTexts texts;
    texts[5] = QStringLiteral("北a京市朝");
    RecordingPrinter rec;
    PrintVoucher(env.ctx, PageOf(s, texts), rec);
    QCOMPARE(rec.runs.size(), 5);
    const double left = MmToTwips(s.fieldFormats[5].X);
    const double sp = MmToTwips(2);
    // Spacing does not count towards the limit: 北a京市 is 630 twips wide, the line breaks
    // after 市 although with spacing it spans 630 + 3 × 113 twips.
    QVERIFY(Near(rec.runs[0].x, left));
    QVERIFY(Near(rec.runs[1].x, left + 180 + sp));
    QVERIFY(Near(rec.runs[2].x, left + 180 + 90 + 2 * sp));
    QVERIFY(Near(rec.runs[3].x, left + 180 + 90 + 180 + 3 * sp));
    QVERIFY(Near(rec.runs[4].x, left));
    QVERIFY(Near(rec.runs[4].y, rec.runs[0].y + 225));
    QCOMPARE(rec.runs[3].y, rec.runs[0].y);
}

void TestPage::stubHiddenPrintsVoucherFieldsOnly() {
    TestEnv env;
    env.CreateDatabase();
    store::VoucherSettings s = store::DesignSettings();
    s.layout.printStub = false;
    const FieldTexts texts = MarkedTexts();
    RecordingPrinter rec;
    QCOMPARE(PrintVoucher(env.ctx, PageOf(s, texts), rec), PageResult::Printed);
    for (int i = kFirstField; i <= kLastField; ++i) {
        if (i == 12 || i == 28) continue;
        QCOMPARE(RunOf(rec, Mark(i)) != nullptr, i <= kLastVoucherField);
    }
    // One amount printed, not two: ￥ 1 2 3 4 5 0.
    QCOMPARE(std::count_if(rec.runs.begin(), rec.runs.end(),
                           [](const auto& r) { return r.text == u"￥"_s; }),
             1);
    QCOMPARE(rec.paper, Paper::A4);
}

void TestPage::emptyFieldPrintsNothing() {
    TestEnv env;
    env.CreateDatabase();
    RecordingPrinter rec;
    QCOMPARE(PrintVoucher(env.ctx, PageOf(store::DesignSettings(), FieldTexts{}), rec),
             PageResult::Printed);
    QVERIFY(rec.runs.isEmpty());
    QCOMPARE(rec.endDocs, 1);
}

void TestPage::fontsFollowFields() {
    TestEnv env;
    env.CreateDatabase();
    store::VoucherSettings s = store::DesignSettings();
    FieldFormat& f = s.fieldFormats[7];
    f.font = FieldFont{.family = QStringLiteral("黑体"),
                       .size = 12,
                       .bold = true,
                       .underline = true,
                       .color = 0x0000FF};
    FieldTexts texts;
    texts[7] = QStringLiteral("工商银行");
    texts[8] = QStringLiteral("x");
    RecordingPrinter rec;
    PrintVoucher(env.ctx, PageOf(s, texts), rec);
    const auto* run = RunOf(rec, u"工"_s);
    QVERIFY(run);
    QCOMPARE(run->font, f.font);
    // The next character stands one 12 pt CJK width further.
    QVERIFY(Near(RunOf(rec, u"商"_s)->x, run->x + 240));
    QCOMPARE(RunOf(rec, u"x"_s)->font.family, QStringLiteral("宋体"));
}

void TestPage::printerFailures_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("message");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("ends");
    QTest::newRow("A3 refused: ignored, printed on A4")
        << u"a3"_s << int(PageResult::Printed) << false << 8 << 1;
    QTest::newRow("A4 refused: silently skipped")
        << u"a4"_s << int(PageResult::Skipped) << false << 0 << 0;
    QTest::newRow("orientation refused: 打印出错！")
        << u"orientation"_s << int(PageResult::Failed) << true << 0 << 0;
    QTest::newRow("output fails half-way: 打印出错！, not ended")
        << u"output"_s << int(PageResult::Failed) << true << 3 << 0;
    QTest::newRow("form height 0: 打印出错！")
        << u"height"_s << int(PageResult::Failed) << true << 0 << 0;
}

void TestPage::printerFailures() {
    QFETCH(QString, failure);
    QFETCH(int, result);
    QFETCH(bool, message);
    QFETCH(int, runs);
    QFETCH(int, ends);

    TestEnv env;
    env.CreateDatabase();
    store::VoucherSettings s = store::DesignSettings();
    FieldTexts texts;
    texts[5] = QStringLiteral("某某公司");
    texts[21] = QStringLiteral("某某公司");
    VoucherPage page = PageOf(s, texts);
    RecordingPrinter rec;
    if (failure == u"a3") rec.refuseA3 = true;
    if (failure == u"a4") rec.refuseA4 = true;
    if (failure == u"orientation") rec.refuseOrientation = true;
    if (failure == u"output") rec.failAfterRuns = 3;
    if (failure == u"height") page.layout.formHeightMm = 0;

    QCOMPARE(int(PrintVoucher(env.ctx, page, rec)), result);
    QCOMPARE(env.prompt.Messages(), message ? QStringList{u"打印出错！"_s} : QStringList{});
    QCOMPARE(rec.runs.size(), runs);
    QCOMPARE(rec.endDocs, ends);
    QCOMPARE(rec.aborts, message ? 1 : 0);  // a failed page is thrown away
    // Portrait with the stub asks for A3; only a refusal leaves A4.
    QCOMPARE(rec.paper, failure.startsWith(u'a') ? Paper::A4 : Paper::A3);
}

void TestPage::cancelledDialogPrintsNothingAndKeepsChange() {
    TestEnv env;
    env.CreateDatabase();
    const FieldTexts texts = MarkedTexts();
    const VoucherPage page = PageOf(store::DesignSettings(), texts);
    RecordingPrinter rec;
    bool changed = true;

    env.prompt.printers.enqueue(false);
    QCOMPARE(PrintJob(env.ctx, page, changed, rec, rec), std::nullopt);
    // The check before the dialog only measured texts in the fields' fonts.
    QVERIFY(rec.calls.filter(QRegularExpression(u"^(?!font )"_s)).isEmpty());
    QVERIFY(rec.runs.isEmpty());
    QVERIFY(changed);
    QVERIFY(env.prompt.Questions().isEmpty());

    // The next print that goes through still asks.
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(true);
    env.clock = QDateTime(QDate(2026, 3, 7), QTime(9, 30, 15, 678));
    QCOMPARE(PrintJob(env.ctx, page, changed, rec, rec), PageResult::Printed);
    QVERIFY(!changed);
    QCOMPARE(env.prompt.Questions(), QStringList{u"是否保存打印记录？"_s});
    QCOMPARE(env.prompt.shown.last().title, QString());  // the program's title
    // Stored to the whole second, all 32 fields.
    const QString at = QStringLiteral("Dat='2026-03-07 09:30:15'");
    QCOMPARE(test::Scalar(env.ctx, u"SELECT COUNT(*) FROM 记录 WHERE "_s + at).toInt(), 32);
    QCOMPARE(test::Scalar(env.ctx, u"SELECT Con FROM 记录 WHERE Ctl=5 AND "_s + at).toString(),
             texts[5]);
}

void TestPage::recordQuestionOncePerChange() {
    TestEnv env;
    env.CreateDatabase();
    const FieldTexts texts = MarkedTexts();
    const VoucherPage page = PageOf(store::DesignSettings(), texts);
    bool changed = true;
    for (int n = 0; n < 2; ++n) {
        RecordingPrinter rec;
        env.prompt.printers.enqueue(true);
        if (n == 0) env.prompt.yesNo.enqueue(false);
        QCOMPARE(PrintJob(env.ctx, page, changed, rec, rec), PageResult::Printed);
        QCOMPARE(rec.endDocs, 1);
    }
    QCOMPARE(env.prompt.Questions().size(), 1);
    QVERIFY(env.prompt.unexpected.isEmpty());

    // A failed print still clears the flag and asks.
    changed = true;
    RecordingPrinter broken;
    broken.refuseOrientation = true;
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    QCOMPARE(PrintJob(env.ctx, page, changed, broken, broken), PageResult::Failed);
    QCOMPARE(env.prompt.Questions().size(), 2);
    QCOMPARE(env.prompt.Messages(), QStringList{u"打印出错！"_s});
    QVERIFY(!changed);
}

void TestPage::recordDeclinedStoresNothing() {
    TestEnv env;
    env.CreateDatabase();
    const FieldTexts texts = MarkedTexts();
    bool changed = true;
    RecordingPrinter rec;
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    PrintJob(env.ctx, PageOf(store::DesignSettings(), texts), changed, rec, rec);
    QCOMPARE(test::Scalar(env.ctx, QStringLiteral("SELECT COUNT(*) FROM 记录")).toInt(), 0);
}

void TestPage::recordNotKeptIsOfferedAgain() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("DROP TABLE 记录")));
    QVERIFY(test::Exec(env.ctx, QStringLiteral("CREATE TABLE 记录 (Dat TEXT, Ctl INTEGER)")));
    const FieldTexts texts = MarkedTexts();
    bool changed = true;
    RecordingPrinter rec;
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(true);
    QCOMPARE(PrintJob(env.ctx, PageOf(store::DesignSettings(), texts), changed, rec, rec),
             PageResult::Printed);
    QCOMPARE(env.prompt.Messages().size(), 1);
    QVERIFY(env.prompt.Messages().first().startsWith(u"打印记录没有保存！\n"_s));
    QVERIFY(changed);
}

void TestPage::calibration_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QList<bool>>("printers");
    QTest::addColumn<bool>("printed");
    QTest::newRow("yes and a printer: square printed") << true << QList<bool>{true} << true;
    QTest::newRow("no: no printer dialog, no square") << false << QList<bool>{} << false;
    QTest::newRow("printer dialog cancelled: no square") << true << QList<bool>{false} << false;
}

void TestPage::calibration() {
    QFETCH(bool, answer);
    QFETCH(QList<bool>, printers);
    QFETCH(bool, printed);

    TestEnv env;
    env.prompt.yesNo.enqueue(answer);
    for (bool p : printers) env.prompt.printers.enqueue(p);
    RecordingPrinter rec;
    rec.orientation = Orientation::Landscape;  // left so by an earlier job
    int opened = 0;
    QCOMPARE(PrintCalibrationMark(env.ctx, rec, rec, [&] { ++opened; }), printed);
    QCOMPARE(opened, 1);
    QCOMPARE(env.prompt.Questions(),
             QStringList{u"您是否需要打印校验图形？如果要打印，请在打印机中放好A4纸一张。"_s});
    QCOMPARE(env.prompt.shown.first().title, QStringLiteral("打印位置校验"));
    QCOMPARE(env.prompt.Texts(u"printer"_s).size(), printers.size());
    QVERIFY(env.prompt.unexpected.isEmpty());
    QCOMPARE(rec.endDocs, printed ? 1 : 0);
    QCOMPARE(rec.boxes.size(), printed ? 1 : 0);
    if (printed) {
        QCOMPARE(rec.boxes[0].x1, 566.928);
        QCOMPARE(rec.boxes[0].y1, 566.928);
        QCOMPARE(rec.boxes[0].x2, 1133.856);
        QCOMPARE(rec.boxes[0].y2, 1133.856);
        QCOMPARE(rec.paper, Paper::A4);
        QCOMPARE(rec.orientation, Orientation::Portrait);
    }
}

QTEST_GUILESS_MAIN(TestPage)
#include "tst_page.moc"
