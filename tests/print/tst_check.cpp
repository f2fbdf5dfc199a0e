#include <QtTest>

#include "print/batch.h"
#include "print/check.h"
#include "print/layout.h"
#include "print/page.h"
#include "print/print_job.h"
#include "store/default_format.h"
#include "store/record_store.h"
#include "support/recording_printer.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::print;
using namespace tf::test;
using tf::test::TestEnv;
using namespace Qt::StringLiterals;

// The check before printing, on pages laid out with the recording printer's metrics: a
// CJK character of the default 9 pt font is 180 twips wide and every line 225 twips high.

namespace {

QList<FieldProblem> Check(const AppContext& ctx, const FieldTexts& texts) {
    RecordingPrinter measure;
    const VoucherPage page = PageOf(store::DesignSettings(), texts);
    LaidOutPage laid;
    const auto setup = ReadPageSetup(ctx, page.format);
    if (!setup || !LayoutVoucher(page, *setup, measure, laid)) return {{-1, {}, {}}};
    return CheckPage(laid);
}

}  // namespace

class TestCheck : public QObject {
    Q_OBJECT
private slots:
    void findsWhatWillNotFit_data();
    void findsWhatWillNotFit();
    void printJobAsksBeforeTheDialog();
    void jobReadsPageSetupOnce_data();
    void jobReadsPageSetupOnce();
    void batchRecordsTakeFreeSeconds();
};

void TestCheck::findsWhatWillNotFit_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marginX");   // the stored "X" margin; empty: none
    QTest::addColumn<QList<int>>("kinds");  // the problems found for the field

    const auto kinds = [](std::initializer_list<Overflow> k) {
        QList<int> out;
        for (const Overflow o : k) out.append(int(o));
        return out;
    };
    const QString longName = u"北京市朝阳区建国门外大街华信国际贸易有限责任公司"_s;
    QCOMPARE(longName.size(), 24);
    QTest::newRow("26-character drawer name wraps below its box")
        << 5 << longName + u"总部"_s << QString() << kinds({Overflow::Height});
    QTest::newRow("short drawer name") << 5 << u"华信贸易有限公司"_s << QString() << kinds({});
    QTest::newRow("amount of 12 characters")
        << 12 << u"￥123456789.01"_s << QString() << kinds({Overflow::Amount});
    QTest::newRow("amount filling its 11 boxes")
        << 12 << u"￥12345678.90"_s << QString() << kinds({});
    QTest::newRow("offsets push the stub past the left edge")
        << 21 << u"华信"_s << u"40"_s << kinds({Overflow::Paper});
    QTest::newRow("offsets push the payee past the right edge")
        << 8 << u"华信"_s << u"-200"_s << kinds({Overflow::Paper});
    QTest::newRow("same offsets leave a field inside the sheet")
        << 5 << u"华信"_s << u"40"_s << kinds({});
}

void TestCheck::findsWhatWillNotFit() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, marginX);
    QFETCH(QList<int>, kinds);
    TestEnv env;
    env.CreateDatabase();
    if (!marginX.isEmpty())
        QVERIFY(WriteSetting(env.ctx, SettingsApp(), CollateSection(), u"X"_s, marginX));
    FieldTexts texts;
    texts[field] = text;

    QList<int> found;
    for (const FieldProblem& p : Check(env.ctx, texts)) {
        QCOMPARE(p.field, field);
        found.append(int(p.kind));
    }
    QCOMPARE(found, kinds);
}

void TestCheck::printJobAsksBeforeTheDialog() {
    TestEnv env;
    env.CreateDatabase();
    FieldTexts texts;
    texts[5] = u"北京市朝阳区建国门外大街华信国际贸易有限责任公司总部"_s;
    texts[12] = u"￥123456789.01"_s;
    const VoucherPage page = PageOf(store::DesignSettings(), texts);
    RecordingPrinter printer;
    bool changed = true;

    // No: no printer dialog, nothing printed, nothing asked after.
    env.prompt.yesNo.enqueue(false);
    QCOMPARE(PrintJob(env.ctx, page, changed, printer, printer), std::nullopt);
    QCOMPARE(env.prompt.Questions(),
             QStringList{u"以下内容打印时放不下：\n出票人全称：文字超出栏高\n小写金额：超过11位"
                         u"\n\n是否仍然打印？"_s});
    QVERIFY(env.prompt.Texts(u"printer"_s).isEmpty());
    QCOMPARE(printer.endDocs, 0);
    QVERIFY(changed);

    // Yes: printed as usual.
    env.prompt.Clear();
    env.prompt.yesNo.enqueue(true);
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    QCOMPARE(PrintJob(env.ctx, page, changed, printer, printer), PageResult::Printed);
    QCOMPARE(printer.endDocs, 1);
}

void TestCheck::jobReadsPageSetupOnce_data() {
    QTest::addColumn<int>("vouchers");
    QTest::newRow("one voucher") << 1;
    QTest::newRow("a batch of three") << 3;
}

void TestCheck::jobReadsPageSetupOnce() {
    QFETCH(int, vouchers);
    TestEnv env;
    env.CreateDatabase();
    FieldTexts texts;
    texts[5] = u"北京市朝阳区建国门外大街华信国际贸易有限责任公司总部"_s;  // checked, asked
    const VoucherPage page = PageOf(store::DesignSettings(), texts);
    RecordingPrinter printer;
    env.prompt.yesNo.enqueue(true);
    env.prompt.printers.enqueue(true);
    if (vouchers == 1) {
        bool changed = false;
        QCOMPARE(PrintJob(env.ctx, page, changed, printer, printer), PageResult::Printed);
    } else {
        QList<BatchVoucher> batch;
        for (int n = 1; n <= vouchers; ++n) batch.append({page, n});
        QCOMPARE(PrintBatch(env.ctx, batch, printer, printer), PageResult::Printed);
    }
    QCOMPARE(printer.endDocs, 1);
    QCOMPARE(env.prompt.Questions().size(), vouchers == 1 ? 1 : 2);  // the check; the record
    QCOMPARE(*env.ctx.pageSetupReads, 1);
}

void TestCheck::batchRecordsTakeFreeSeconds() {
    TestEnv env;
    env.CreateDatabase();
    const QDateTime now(QDate(2026, 3, 7), QTime(9, 30, 15));
    FieldTexts kept;
    kept[5] = u"已有记录"_s;
    QVERIFY(store::StoreTexts(env.ctx, now.addSecs(1), kept));

    QList<FieldTexts> vouchers(3);
    for (int i = 0; i < 3; ++i) vouchers[i][5] = QString::number(i);
    const QList<QDateTime> used = store::StoreTextsBatch(env.ctx, now, vouchers);
    // The seconds up to the clock are free: the batch ends there, not after the later record.
    QCOMPARE(used, (QList<QDateTime>{now.addSecs(-2), now.addSecs(-1), now}));
    // The record already there is kept, and every voucher has its own 32 rows.
    QCOMPARE(test::Scalar(env.ctx, u"SELECT Con FROM 记录 WHERE Dat=? AND Ctl=5"_s,
                          {store::DateText(now.addSecs(1))})
                 .toString(),
             u"已有记录"_s);
    QCOMPARE(test::Scalar(env.ctx, u"SELECT Con FROM 记录 WHERE Dat=? AND Ctl=5"_s,
                          {store::DateText(now)})
                 .toString(),
             u"2"_s);
    QCOMPARE(test::Scalar(env.ctx, u"SELECT COUNT(*) FROM 记录"_s).toInt(), 4 * 32);
}

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
