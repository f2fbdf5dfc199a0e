#include <QFontMetricsF>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "common/fonts.h"
#include "common/temp_files.h"
#include "gui/print/preview.h"
#include "print/batch.h"
#include "print/page.h"
#include "print/print_job.h"
#include "print/qt_printer.h"
#include "store/default_format.h"
#include "store/settings.h"
#include "support/recording_printer.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::print;
using tf::test::RecordingPrinter;
using tf::test::TestEnv;
using namespace Qt::StringLiterals;

// Prints vouchers to PDF through the Qt printer and reads them back with poppler's
// pdftotext, so positions are checked by a reader that is not ours.

namespace {

constexpr double kTolerancePt = 0.2 * 72 / 25.4;  // 0.2 mm

struct Word {
    double xMin, yMin, xMax, yMax;
    QString text;
};

struct PdfPage {
    double width = 0;
    double height = 0;
    QList<Word> words;
};

// Points on the page where a twips position lands.
double TwipsToPt(double twips) {
    return twips / 20;
}

QString Unescape(QString s) {
    s.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&quot;"_s, u"\""_s);
    s.replace(u"&apos;"_s, u"'"_s).replace(u"&amp;"_s, u"&"_s);
    return s;
}

bool ReadBoxes(const QString& pdf, PdfPage& page, QString& error) {
    QProcess p;
    p.start(u"pdftotext"_s, {u"-bbox"_s, pdf, u"-"_s});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        error = u"pdftotext failed: "_s + QString::fromUtf8(p.readAllStandardError());
        return false;
    }
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression pageRe(uR"re(<page width="([\d.]+)" height="([\d.]+)")re"_s);
    static const QRegularExpression wordRe(
        uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"_s);
    const auto pm = pageRe.match(html);
    if (!pm.hasMatch()) {
        error = u"no page in pdftotext output"_s;
        return false;
    }
    page.width = pm.captured(1).toDouble();
    page.height = pm.captured(2).toDouble();
    for (auto it = wordRe.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        page.words.append({m.captured(1).toDouble(), m.captured(2).toDouble(),
                           m.captured(3).toDouble(), m.captured(4).toDouble(),
                           Unescape(m.captured(5))});
    }
    return true;
}

// The characters of a text in code point order.
QString Sorted(const QString& text) {
    QList<uint> chars = text.toUcs4();
    std::sort(chars.begin(), chars.end());
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), chars.size());
}

FieldTexts FilledVoucher() {
    FieldTexts t;
    t[2] = u"2026"_s;
    t[3] = u"03"_s;
    t[4] = u"07"_s;
    t[5] = u"北京华信贸易有限公司"_s;
    t[6] = u"0200001509000123456"_s;
    t[7] = u"工商银行北京朝阳支行"_s;
    t[8] = u"广州白云山机械制造厂"_s;
    t[9] = u"310066012018000112233"_s;
    t[10] = u"建设银行上海浦东分行"_s;
    t[11] = u"壹仟贰佰叁拾肆元伍角整"_s;
    t[12] = u"￥1234.50"_s;
    t[13] = u"转账支票"_s;
    t[14] = u"1"_s;
    t[15] = u"No.10203040"_s;
    t[16] = u"张敏"_s;
    t[17] = u"李强"_s;
    for (int i = 2; i <= 17; ++i) t[i + 16] = t[i];
    t[27] = u"货款"_s;
    return t;
}

}  // namespace

class TestPrintPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void voucherOnPdf_data();
    void voucherOnPdf();
    void unwritableOutputIsAPrintError();
    void pdfFileReplacedOnlyWhenComplete();
    void calibrationSquareOnPdf();
    void previewDrawsThroughPrintVoucher();
    void onlySimplifiedChineseFaces();

private:
    QTemporaryDir out_;
};

void TestPrintPdf::initTestCase() {
    InstallFontSubstitutions();
    QVERIFY2(!QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty(), "poppler-utils is needed");
    QVERIFY(out_.isValid());
}

void TestPrintPdf::voucherOnPdf_data() {
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<bool>("stubShown");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<double>("dxMm");  // page position − format position, from margins X 12, Y 11
    QTest::addColumn<double>("dyMm");
    QTest::addColumn<QSizeF>("paperPt");
    QTest::newRow("portrait with stub on A3")
        << false << true << false << -2.0 << -1.0 << QSizeF(841.89, 1190.55);
    QTest::newRow("landscape centred on A4")
        << true << true << true << -1.0 << 60.5 << QSizeF(841.89, 595.28);
    QTest::newRow("portrait, stub hidden, centred on A4")
        << false << false << true << -2.0 + 27.5 << -1.0 << QSizeF(595.28, 841.89);
}

void TestPrintPdf::voucherOnPdf() {
    QFETCH(bool, landscape);
    QFETCH(bool, stubShown);
    QFETCH(bool, centred);
    QFETCH(double, dxMm);
    QFETCH(double, dyMm);
    QFETCH(QSizeF, paperPt);

    TestEnv env;
    env.CreateDatabase();
    QVERIFY(WriteSetting(env.ctx, SettingsApp(), CollateSection(), u"X"_s, u"12"_s));
    QVERIFY(WriteSetting(env.ctx, SettingsApp(), CollateSection(), u"Y"_s, u"11"_s));
    store::VoucherSettings s = store::DesignSettings();
    s.layout.printStub = stubShown;
    s.layout.centreOnFeeder = centred;
    s.layout.portrait = !landscape;
    s.layout.landscape = landscape;
    s.fieldFormats[11].font.family = u"黑体"_s;
    s.fieldFormats[11].font.size = 12;
    const FieldTexts texts = FilledVoucher();
    const VoucherPage page = PageOf(s, texts);

    const QString pdf =
        out_.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') + u".pdf"_s);
    QtPrinter printer;
    printer.Printer()->setOutputFormat(QPrinter::PdfFormat);
    printer.Printer()->setOutputFileName(pdf);
    bool changed = false;
    env.prompt.printers.enqueue(true);
    QCOMPARE(PrintJob(env.ctx, page, changed, printer, printer), PageResult::Printed);
    QVERIFY(env.prompt.Messages().isEmpty());

    PdfPage read;
    QString error;
    QVERIFY2(ReadBoxes(pdf, read, error), qPrintable(error));
    QVERIFY(std::abs(read.width - paperPt.width()) < 1);
    QVERIFY(std::abs(read.height - paperPt.height()) < 1);
    if (qEnvironmentVariableIsSet("TALLYFORM_KEEP_PDF"))
        QFile::copy(pdf,
                    qEnvironmentVariable("TALLYFORM_KEEP_PDF") + u'/' + QFileInfo(pdf).fileName());

    const double shiftMm = stubShown ? 0 : 65;
    const int last = stubShown ? kLastField : kLastVoucherField;
    // The text layer reads back exactly the characters printed: no radical in place of an
    // ideograph that shares its glyph (工 ⼯, 行 ⾏, 角 ⻆, 厂 ⼚ …), nothing more, nothing less.
    QString expectedText;
    for (int i = kFirstField; i <= last; ++i)
        expectedText += i == 12 || i == 28 ? QString(texts[i]).remove(u'.') : texts[i];
    QString allText;
    for (const Word& w : read.words) allText += w.text;
    QCOMPARE(Sorted(allText), Sorted(expectedText));
    for (int i = kFirstField; i <= last; ++i) {
        if (texts[i].isEmpty()) continue;
        if (i == 12 || i == 28) continue;  // one word per box, checked below
        QVERIFY2(allText.contains(texts[i]), qPrintable(u"not extractable: "_s + texts[i]));
        const FieldFormat& f = s.fieldFormats[i];
        const double x = TwipsToPt(MmToTwips(f.X - shiftMm + dxMm));
        const double y = TwipsToPt(MmToTwips(f.Y + dyMm));
        // The word that begins nearest to where the field's first character belongs.
        double best = 1e9;
        for (const Word& w : read.words)
            if (w.text.startsWith(texts[i].at(0)))
                best = std::min(best, std::hypot(w.xMin - x, w.yMin - y));
        QVERIFY2(best <= kTolerancePt,
                 qPrintable(u"field %1 is %2 mm off"_s.arg(i).arg(best * 25.4 / 72)));
    }

    // The amount's last digit is centred in the rightmost of the 11 boxes.
    const FieldFormat& a = s.fieldFormats[12];
    const double boxCentre =
        TwipsToPt(MmToTwips(a.X - shiftMm + dxMm + a.W) - MmToTwips(a.W / 11) / 2);
    const double top = TwipsToPt(MmToTwips(a.Y + dyMm));
    const double digit =
        QFontMetricsF(QtPrinter::ToQFont({u"宋体"_s, 9})).horizontalAdvance(u'0') / 20;
    double best = 1e9;
    for (const Word& w : read.words)
        if (w.text.endsWith(u'0'))
            best = std::min(best, std::hypot(w.xMax - digit / 2 - boxCentre, w.yMin - top));
    QVERIFY2(best <= kTolerancePt, qPrintable(u"amount is %1 mm off"_s.arg(best * 25.4 / 72)));
}

void TestPrintPdf::unwritableOutputIsAPrintError() {
    TestEnv env;
    env.CreateDatabase();
    const FieldTexts texts = FilledVoucher();
    QtPrinter printer;
    printer.Printer()->setOutputFormat(QPrinter::PdfFormat);
    printer.Printer()->setOutputFileName(out_.filePath(u"missing/dir/v.pdf"_s));
    bool changed = true;
    env.prompt.printers.enqueue(true);
    env.prompt.yesNo.enqueue(false);
    QCOMPARE(PrintJob(env.ctx, PageOf(store::DesignSettings(), texts), changed, printer, printer),
             PageResult::Failed);
    QCOMPARE(env.prompt.Messages(), QStringList{u"打印出错！"_s});
    QCOMPARE(env.prompt.Questions(), QStringList{u"是否保存打印记录？"_s});

    // The same printer prints the next job once the file can be written.
    const QString pdf = out_.filePath(u"second.pdf"_s);
    printer.Printer()->setOutputFileName(pdf);
    env.prompt.printers.enqueue(true);
    QCOMPARE(PrintJob(env.ctx, PageOf(store::DesignSettings(), texts), changed, printer, printer),
             PageResult::Printed);
    PdfPage read;
    QString error;
    QVERIFY2(ReadBoxes(pdf, read, error), qPrintable(error));
    QVERIFY(!read.words.isEmpty());
}

// A PDF file is written beside its target and takes its place only when complete: a print
// that fails (or is killed) half-way leaves the old file whole and no file of its own. The
// leftovers of earlier runs are removed when the next print to a file starts.
void TestPrintPdf::pdfFileReplacedOnlyWhenComplete() {
    TestEnv env;
    env.CreateDatabase();
    QTemporaryDir folder;
    const QString target = folder.filePath(u"凭证.pdf"_s);
    const auto write = [&](const QString& name, const QDateTime& changed) {
        QFile f(folder.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write("earlier") == 7 && f.flush() &&
               f.setFileTime(changed, QFileDevice::FileModificationTime);
    };
    const QDateTime before = RunStart().addSecs(-3600);
    QVERIFY(write(u"凭证.pdf"_s, before));
    QVERIFY(write(u".凭证.pdf.Ab12Cd"_s, before));      // a print killed in an earlier run
    QVERIFY(write(u".history.xlsx.Zz99Yy"_s, before));  // an export killed likewise
    QVERIFY(write(u".其它.pdf.Fr35h1"_s, QDateTime::currentDateTime()));  // being written now
    QVERIFY(write(u".notes.txt.Ab12Cd"_s, before));                       // not ours
    const QStringList kept{u".notes.txt.Ab12Cd"_s, u".其它.pdf.Fr35h1"_s, u"凭证.pdf"_s};
    const auto files = [&] {
        QStringList names = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    };
    const auto old = [&] {
        QFile f(target);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "earlier";
    };

    const FieldTexts texts = FilledVoucher();
    const VoucherPage page = PageOf(store::DesignSettings(), texts);
    QtPrinter printer;
    printer.Printer()->setOutputFormat(QPrinter::PdfFormat);
    printer.Printer()->setOutputFileName(target);
    // The second page fails after the first was written.
    int pages = 0;
    QCOMPARE(
        PrintPages(env.ctx, {page, page, page}, printer, [&](LaidOutPage&) { return ++pages < 2; }),
        PageResult::Failed);
    QVERIFY(old());
    QCOMPARE(files(), kept);
    QCOMPARE(printer.Printer()->outputFileName(), target);

    QCOMPARE(PrintPages(env.ctx, {page, page}, printer), PageResult::Printed);
    QCOMPARE(files(), kept);
    PdfPage read;
    QString error;
    QVERIFY2(ReadBoxes(target, read, error), qPrintable(error));
    QVERIFY(!read.words.isEmpty());
}

void TestPrintPdf::calibrationSquareOnPdf() {
    // The square is no text; its ink is found on a rendered page instead.
    if (QStandardPaths::findExecutable(u"pdftoppm"_s).isEmpty()) QSKIP("pdftoppm missing");
    TestEnv env;
    env.prompt.yesNo.enqueue(true);
    env.prompt.printers.enqueue(true);
    const QString pdf = out_.filePath(u"calibration.pdf"_s);
    QtPrinter printer;
    printer.Printer()->setOutputFormat(QPrinter::PdfFormat);
    printer.Printer()->setOutputFileName(pdf);
    bool opened = false;
    QVERIFY(PrintCalibrationMark(env.ctx, printer, printer, [&] { opened = true; }));
    QVERIFY(opened);

    QProcess p;
    p.start(u"pdftoppm"_s,
            {u"-png"_s, u"-r"_s, u"254"_s, u"-singlefile"_s, pdf, out_.filePath(u"calibration"_s)});
    QVERIFY(p.waitForFinished(60000));
    QImage img(out_.filePath(u"calibration.png"_s));
    QVERIFY(!img.isNull());
    // 254 dpi: 10 pixels per mm. A4 is 2100 pixels wide.
    QVERIFY(std::abs(img.width() - 2100) <= 1);
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < 400 && x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    // 10 mm from the corner, 10 mm wide (0.03937 in/mm makes it 99.9966 pixels).
    QVERIFY2(std::abs(left - 100) <= 1 && std::abs(top - 100) <= 1,
             qPrintable(u"square at %1, %2"_s.arg(left).arg(top)));
    QVERIFY2(std::abs(right - 199) <= 1 && std::abs(bottom - 199) <= 1,
             qPrintable(u"square ends at %1, %2"_s.arg(right).arg(bottom)));
}

void TestPrintPdf::previewDrawsThroughPrintVoucher() {
    TestEnv env;
    env.CreateDatabase();
    store::VoucherSettings s = store::DesignSettings();
    s.layout.portrait = false;
    s.layout.landscape = true;
    VoucherPage page = PageOf(s, FilledVoucher());
    std::unique_ptr<QPrintPreviewDialog> dialog(CreatePrintPreview(env.ctx, page));
    auto* preview = dialog->findChild<QPrintPreviewWidget*>();
    QVERIFY(preview);
    preview->updatePreview();
    QCOMPARE(preview->pageCount(), 1);
    QCOMPARE(preview->orientation(), QPageLayout::Landscape);  // set by the page, as in printing
    QVERIFY(env.prompt.Messages().isEmpty());

    // A voucher the print job refuses is refused in the preview too.
    page.layout.formHeightMm = 0;
    std::unique_ptr<QPrintPreviewDialog> broken(CreatePrintPreview(env.ctx, page));
    broken->findChild<QPrintPreviewWidget*>()->updatePreview();
    QCOMPARE(env.prompt.Messages(), QStringList{u"打印出错！"_s});
}

// Every CJK face in the PDF is the simplified-Chinese variant, also for fields whose family
// has no Chinese glyphs of its own (a Latin face, the generic name an older font dialog
// stored), which fall back to a CJK face.
void TestPrintPdf::onlySimplifiedChineseFaces() {
    if (QStandardPaths::findExecutable(u"pdffonts"_s).isEmpty()) QSKIP("pdffonts missing");
    TestEnv env;
    env.CreateDatabase();
    store::VoucherSettings s = store::DesignSettings();
    s.fieldFormats[5].font.family = u"Sans Serif"_s;
    s.fieldFormats[8].font.family = u"DejaVu Serif"_s;
    s.fieldFormats[11].font.family = u"黑体"_s;
    const FieldTexts texts = FilledVoucher();
    const QString pdf = out_.filePath(u"faces.pdf"_s);
    QtPrinter printer;
    printer.Printer()->setOutputFormat(QPrinter::PdfFormat);
    printer.Printer()->setOutputFileName(pdf);
    bool changed = false;
    env.prompt.printers.enqueue(true);
    QCOMPARE(PrintJob(env.ctx, PageOf(s, texts), changed, printer, printer), PageResult::Printed);

    QProcess p;
    p.start(u"pdffonts"_s, {pdf});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    QStringList cjk;
    for (const QString& line : lines.mid(2))
        if (line.contains(u"CJK"_s)) cjk << line.section(u' ', 0, 0);
    QVERIFY2(cjk.size() >= 2, qPrintable(lines.join(u'\n')));
    for (const QString& face : cjk)
        QVERIFY2(face.contains(u"CJKsc"_s, Qt::CaseInsensitive), qPrintable(face));
}

QTEST_MAIN(TestPrintPdf)
#include "tst_print_pdf.moc"
