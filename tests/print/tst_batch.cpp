#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

#include "gui/editor/overflow_hint.h"
#include "gui/editor/voucher_editor.h"
#include "gui/history/batch_link.h"
#include "gui/history/history_link.h"
#include "gui/history/history_view.h"
#include "gui/history/old_rec.h"
#include "history/history_records.h"
#include "print/page.h"
#include "print/printer.h"
#include "print/qt_printer.h"
#include "store/record_store.h"
#include "support/recording_printer.h"
#include "support/window_support.h"

using namespace tf;
using namespace Qt::StringLiterals;

// Batch printing from the history window against single prints of the same records taken
// back into the main window, on the recording printer and on PDF read back by poppler.

namespace {

struct Word {
    double x = 0;
    double y = 0;
    QString text;
};

// The words of every page of a PDF, as pdftotext places them (points).
QList<QList<Word>> PdfPages(const QString& pdf) {
    QProcess p;
    p.start(u"pdftotext"_s, {u"-bbox"_s, pdf, u"-"_s});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression wordRe(
        uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re"_s);
    QList<QList<Word>> pages;
    for (const QString& chunk : html.split(u"<page "_s).mid(1)) {
        QList<Word> words;
        for (auto it = wordRe.globalMatch(chunk); it.hasNext();) {
            const auto m = it.next();
            words.append({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
        }
        pages.append(words);
    }
    return pages;
}

FieldTexts Record(int n) {
    FieldTexts t;
    t[2] = u"2026"_s;
    t[5] = u"华信贸易公司%1"_s.arg(n);
    t[8] = u"恒远机械厂%1"_s.arg(n);
    t[12] = u"%1.5"_s.arg(100 + n);  // normalised and written in capitals by the batch
    t[13] = u"转账支票"_s;
    t[27] = u"货款%1"_s.arg(n);
    return t;
}

// Stores the records under midnight dates, as an import does.
void StoreRecords(test::TestEnv& env, int count) {
    for (int n = 1; n <= count; ++n)
        QVERIFY(store::StoreTexts(env.ctx, QDateTime(QDate(2025, 1, n), QTime(0, 0)), Record(n)));
}

// Takes record row r back into the main window, as "再次打印" does.
void TakeBack(history::OldRec& rec, int r) {
    rec.MSG()->ChooseRows(r, r);
    rec.Commands().reprint->trigger();
}

using Runs = QList<test::RecordingPrinter::Run>;

}  // namespace

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    void batchPrintsWhatSinglePrintsPrint();
    void batchPdfMatchesSinglePdfs();
    void hintMarksFieldsThatWillNotFit();
};

void TestBatch::batchPrintsWhatSinglePrintsPrint() {
    test::TestEnv env;
    test::RecordingPrinter printer;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    w->UsePrinter(&printer, &printer);
    StoreRecords(env, 4);
    FieldTexts hidden = Record(9);
    hidden[5] = u"个体户"_s;
    QVERIFY(store::StoreTexts(env.ctx, QDateTime(QDate(2025, 2, 1), QTime(0, 0)), hidden));
    history::OldRec* rec = ShowHistoryWindow(env.ctx, *w);
    QVERIFY(rec);
    // A search hides the fifth record; with no rows chosen every shown row is printed.
    rec->Search()->setText(u"公司"_s);
    rec->Commands().search->trigger();
    const QList<int> rows = history::BatchRows(*rec->Model(), -1, -1, false);
    QCOMPARE(rows.size(), 4);
    // A chosen range narrows the batch to the shown rows in it.
    QCOMPARE(history::BatchRows(*rec->Model(), 2, 1, true), (QList<int>{1, 2}));
    QCOMPARE(rec->Model()->SequenceNumber(1), 3);  // the hidden record is the first of the list

    w->Editor()->Field(FieldRole::Checker)->setText(u"王五"_s);
    const FieldTexts before = w->Texts();

    // Each record printed alone after "再次打印".
    QList<Runs> singles;
    for (const int r : rows) {
        TakeBack(*rec, r);
        test::RecordingPrinter single;
        QCOMPARE(print::PrintVoucher(env.ctx, w->CurrentPage(), single),
                 print::PageResult::Printed);
        singles.append(single.runs);
    }
    w->SetTexts(before);
    rec->MSG()->ChooseRows(rows.constFirst(), rows.constFirst());

    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(true);  // print every listed voucher
    env.prompt.yesNo.enqueue(true);  // keep the print records
    BatchPrint(env.ctx, *w, *rec, false);
    QCOMPARE(env.prompt.Questions(),
             (QStringList{u"将打印4张进账单，是否继续？"_s, u"是否保存打印记录？"_s}));
    QCOMPARE(printer.endDocs, 1);
    QCOMPARE(printer.pageStarts.size(), 3);
    QList<int> bounds = printer.pageStarts;
    bounds.prepend(0);
    bounds.append(static_cast<int>(printer.runs.size()));
    for (qsizetype p = 0; p < singles.size(); ++p) {
        const Runs page = printer.runs.mid(bounds[p], bounds[p + 1] - bounds[p]);
        QCOMPARE(page.size(), singles[p].size());
        for (qsizetype i = 0; i < page.size(); ++i) {
            QCOMPARE(page[i].text, singles[p][i].text);
            QCOMPARE(page[i].x, singles[p][i].x);
            QCOMPARE(page[i].y, singles[p][i].y);
            QCOMPARE(page[i].font, singles[p][i].font);
        }
    }
    QCOMPARE(w->Texts(), before);

    // Four new records, each under its own second up to the clock, listed at once.
    QCOMPARE(
        test::Scalar(env.ctx, u"SELECT COUNT(DISTINCT Dat) FROM 记录 WHERE Dat>='2026'"_s).toInt(),
        4);
    QCOMPARE(test::Scalar(env.ctx, u"SELECT MIN(Dat) FROM 记录 WHERE Dat>='2026'"_s).toString(),
             store::DateText(env.clock.addSecs(-3)));
    QCOMPARE(test::Scalar(env.ctx, u"SELECT MAX(Dat) FROM 记录"_s).toString(),
             store::DateText(env.clock));
    QCOMPARE(rec->Model()->rowCount(), 5 + 4);
    QCOMPARE(test::Scalar(env.ctx, u"SELECT Con FROM 记录 WHERE Dat=? AND Ctl=28"_s,
                          {store::DateText(env.clock)})
                 .toString()
                 .isEmpty(),
             false);
    env.prompt.yesNo.enqueue(false);
    w->close();
}

void TestBatch::batchPdfMatchesSinglePdfs() {
    test::TestEnv env;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    constexpr int kRecords = 20;
    StoreRecords(env, kRecords);
    history::OldRec* rec = ShowHistoryWindow(env.ctx, *w);
    QVERIFY(rec);
    const QList<int> rows = history::BatchRows(*rec->Model(), -1, -1, false);
    QCOMPARE(rows.size(), kRecords);
    const FieldTexts before = w->Texts();

    const auto pdfPrinter = [](const QString& file) {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(file);
        return p;
    };
    QList<QList<Word>> singles;
    for (const int r : rows) {
        TakeBack(*rec, r);
        const QString file = env.dir.filePath(u"single%1.pdf"_s.arg(r));
        auto qprinter = pdfPrinter(file);
        print::QtPrinter device(qprinter.get());
        QCOMPARE(print::PrintVoucher(env.ctx, w->CurrentPage(), device),
                 print::PageResult::Printed);
        const QList<QList<Word>> pages = PdfPages(file);
        QCOMPARE(pages.size(), 1);
        singles.append(pages.constFirst());
    }
    w->SetTexts(before);
    rec->MSG()->ChooseRows(rows.constFirst(), rows.constFirst());

    const QString batchFile = env.dir.filePath(u"batch.pdf"_s);
    auto qprinter = pdfPrinter(batchFile);
    print::QtPrinter device(qprinter.get());
    w->UsePrinter(&device, &device);
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(true);   // print every listed voucher
    env.prompt.yesNo.enqueue(false);  // no print records
    BatchPrint(env.ctx, *w, *rec, false);
    const QList<QList<Word>> batch = PdfPages(batchFile);
    QCOMPARE(batch.size(), kRecords);

    constexpr double kTolerancePt = 0.05 * 72 / 25.4;
    for (int p = 0; p < kRecords; ++p) {
        QCOMPARE(batch[p].size(), singles[p].size());
        QVERIFY(batch[p].size() > 5);
        for (qsizetype i = 0; i < batch[p].size(); ++i) {
            const Word& a = batch[p][i];
            const Word& b = singles[p][i];
            QCOMPARE(a.text, b.text);
            QVERIFY2(std::abs(a.x - b.x) <= kTolerancePt && std::abs(a.y - b.y) <= kTolerancePt,
                     qPrintable(u"page %1 %2 at %3,%4 alone at %5,%6"_s.arg(p + 1)
                                    .arg(a.text)
                                    .arg(a.x)
                                    .arg(a.y)
                                    .arg(b.x)
                                    .arg(b.y)));
        }
    }
    w->UsePrinter(nullptr, nullptr);
    env.prompt.yesNo.enqueue(false);
    w->close();
}

void TestBatch::hintMarksFieldsThatWillNotFit() {
    test::TestEnv env;
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    OverflowHint* hint = w->Editor()->Hint();
    QVERIFY(hint);
    w->Editor()
        ->Field(FieldRole::DrawerName)
        ->setText(u"北京市朝阳区建国门外大街华信国际贸易有限责任公司总部"_s);
    // The hint follows typing by itself, a moment after the last change.
    QTRY_COMPARE(hint->Marked(), QList<int>{5});
    QVERIFY(hint->Frame(5)->isVisible());
    QVERIFY(w->Editor()->Field(FieldRole::DrawerName)->toolTip().contains(u"出票人全称"_s));

    w->Editor()->Field(FieldRole::DrawerName)->setText(u"华信贸易有限公司"_s);
    hint->Update();
    QVERIFY(hint->Marked().isEmpty());
    QVERIFY(!hint->Frame(5)->isVisible());
    QVERIFY(w->Editor()->Field(FieldRole::DrawerName)->toolTip().isEmpty());
    env.prompt.yesNo.enqueue(false);
    w->close();
}

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
