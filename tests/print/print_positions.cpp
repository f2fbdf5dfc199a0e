#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cstdio>

#include "common/fonts.h"
#include "gui/editor/voucher_editor.h"
#include "gui/history/batch_link.h"
#include "gui/history/history_link.h"
#include "gui/history/old_rec.h"
#include "gui/main/main_window.h"
#include "print/qt_printer.h"
#include "store/record_store.h"
#include "store/settings.h"
#include "support/test_env.h"
#include "support/window_support.h"

// Prints a fixed set of vouchers to PDF files through the main window, as a clerk would:
// formats loaded through the chooser, options clicked, fields moved with the arrow keys,
// texts typed, "打      印" pressed, and a batch from the history window. Only the window's
// own controls are used, so the same program builds against older and newer code and
// scripts/compare_print.sh can compare the glyph positions of the two.
//
//     print_positions OUTPUT_FOLDER

using namespace tf;
using namespace Qt::StringLiterals;

namespace {

struct Scenario {
    QString name;
    QString format;            // loaded through the chooser; empty: the default format
    bool stub = true;          // "连同票根打印"
    bool centred = false;      // "进纸器两边向中间收缩"
    bool landscape = false;    // "纵向打印"
    QString marginX, marginY;  // stored margins; null: none
    bool spacing = false;      // spacing on a few fields of the format
    bool moved = false;        // some fields moved and resized with the arrow keys
    bool longTexts = false;    // texts that wrap onto several lines
    int batch = 0;             // records printed as one batch from the history window
};

FieldTexts Voucher(int n, bool longTexts) {
    FieldTexts t;
    t[2] = u"2026"_s;
    t[3] = u"3"_s;
    t[4] = u"7"_s;
    t[5] = longTexts ? u"北京市朝阳区建国门外大街华信国际贸易有限责任公司总部%1"_s.arg(n)
                     : u"北京华信贸易有限公司"_s;
    t[6] = u"0200001509000123456"_s;
    t[7] = u"工商银行北京朝阳支行"_s;
    t[8] = u"上海恒远机械制造厂%1"_s.arg(n);
    t[9] = u"310066012018000112233"_s;
    t[10] = longTexts ? u"中国建设银行股份有限公司上海浦东新区张江高科技园区支行"_s
                      : u"建设银行上海浦东分行"_s;
    t[11] = u"壹仟贰佰叁拾肆元伍角整"_s;
    t[12] = n % 2 ? u"￥1234.50"_s : u"￥87654321.09"_s;
    t[13] = u"转账支票"_s;
    t[14] = u"1"_s;
    t[15] = u"No.10203040 abc"_s;
    t[16] = u"张敏"_s;
    t[17] = u"李强"_s;
    for (int i = 2; i <= 17; ++i)
        if (i != 11) t[i + 16] = t[i];
    t[27] = longTexts ? u"货款及运杂费合计含税请于本月底前核对无误后入账"_s : u"货款"_s;
    return t;
}

bool Exec(const AppContext& ctx, const QString& sql) {
    if (test::Exec(ctx, sql)) return true;
    std::fprintf(stderr, "statement failed: %s\n", qPrintable(sql));
    return false;
}

// Stores the formats the scenarios load, made from the default one.
bool StoreFormats(const AppContext& ctx) {
    const QString copy =
        u"INSERT INTO 参数 (Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, "
        u"fItalic, fUnderline, fStrikethru) SELECT '%1', Ctl, %2, Color, fName, "
        u"fSize, fBold, fItalic, fUnderline, fStrikethru FROM 参数 WHERE "
        u"Name='默认格式'"_s;
    return
        // A wider and taller form, fields spread out, fonts of several kinds.
        Exec(ctx, copy.arg(u"宽票"_s, u"X*1.08+1.5, Y*1.1+0.75, W*1.05, H*1.1"_s)) &&
        Exec(ctx, u"UPDATE 参数 SET X=240, Y=95, W=70, fName='$' WHERE Name='宽票' AND Ctl=-1"_s) &&
        Exec(ctx,
             u"UPDATE 参数 SET fName='黑体', fSize=12, fBold=1 WHERE Name='宽票' AND Ctl IN "
             u"(5, 8, 21)"_s) &&
        Exec(ctx,
             u"UPDATE 参数 SET fName='楷体_GB2312', fSize=10.5, fItalic=1, Color=255 WHERE "
             u"Name='宽票' AND Ctl IN (7, 10, 27)"_s) &&
        Exec(ctx,
             u"UPDATE 参数 SET fSize=11, fUnderline=1 WHERE Name='宽票' AND Ctl IN (12, 28)"_s) &&
        Exec(ctx,
             u"UPDATE 参数 SET fName='黑体', fSize=14, fStrikethru=1 WHERE Name='宽票' AND "
             u"Ctl=11"_s) &&
        // Dimensions with halves, as a format from elsewhere may hold them.
        Exec(ctx, copy.arg(u"半毫米"_s, u"X+0.3, Y+0.45, W, H"_s)) &&
        Exec(ctx, u"UPDATE 参数 SET X=219.5, Y=84.5, W=64.5 WHERE Name='半毫米' AND Ctl=-1"_s) &&
        // A format that holds neither orientation option.
        Exec(ctx, copy.arg(u"无方向"_s, u"X, Y, W, H"_s)) &&
        Exec(ctx, u"UPDATE 参数 SET fBold=0, fItalic=0 WHERE Name='无方向' AND Ctl=-1"_s);
}

bool StoreSpacing(const AppContext& ctx, const QString& format) {
    const QList<std::pair<int, double>> spacing{{5, 1.5}, {8, 0.7}, {13, 0.35}, {21, 2}, {27, 0.5}};
    for (const auto& [field, mm] : spacing)
        if (!Exec(ctx, u"INSERT INTO 字距 (Name, CID, Sp) VALUES ('%1', %2, %3)"_s.arg(format)
                           .arg(field)
                           .arg(mm)))
            return false;
    return true;
}

void SetMargin(const AppContext& ctx, const QString& key, const QString& text) {
    if (!text.isNull()) print::WriteSetting(ctx, u"Tallyform"_s, u"Collate"_s, key, text);
}

// Selects the fields under a band from (x0, y0) to (x1, y1), twips inside the picture, moves
// them by (dx, dy) steps of the arrow keys and widens them by dw steps.
void MoveWithKeys(MF& w, double x0, double y0, double x1, double y1, int dx, int dy, int dw) {
    w.Editor()->Pic_MouseDown(Qt::LeftButton, x0, y0);
    w.Editor()->Pic_MouseMove(Qt::LeftButton, x1, y1);
    w.Editor()->Pic_MouseUp(Qt::LeftButton, x1, y1);
    const auto press = [&](int key, Qt::KeyboardModifiers m, int times) {
        for (int n = 0; n < times; ++n) {
            w.Editor()->KeyDown(key, m);
            w.Editor()->KeyUp(key, m);
        }
    };
    press(dx < 0 ? Qt::Key_Left : Qt::Key_Right, Qt::NoModifier, std::abs(dx));
    press(dy < 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier, std::abs(dy));
    press(Qt::Key_Right, Qt::ShiftModifier, dw);
    w.Editor()->ClearSelection();
}

bool Run(const Scenario& s, const QString& folder) {
    test::TestEnv env;
    env.CreateDatabase();
    if (!StoreFormats(env.ctx)) return false;
    if (s.spacing && !StoreSpacing(env.ctx, s.format.isEmpty() ? u"默认格式"_s : s.format))
        return false;
    SetMargin(env.ctx, u"X"_s, s.marginX);
    SetMargin(env.ctx, u"Y"_s, s.marginY);

    auto w = test::OpenMainWindow(env);
    if (!w) return false;
    if (!s.format.isEmpty()) {
        test::PickInChooser(s.format);
        test::Child<QPushButton>(*w, QStringLiteral("loadFormatButton"))->click();
        if (w->CurFormat()->text() != s.format) return false;
    }
    if (test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->isChecked() != s.stub)
        test::Child<QCheckBox>(*w, QStringLiteral("printStub"))->click();
    if (test::Child<QCheckBox>(*w, QStringLiteral("centreOnFeeder"))->isChecked() != s.centred)
        test::Child<QCheckBox>(*w, QStringLiteral("centreOnFeeder"))->click();
    if (s.landscape) test::Child<QRadioButton>(*w, QStringLiteral("landscape"))->setChecked(true);
    QCoreApplication::processEvents();
    if (s.moved) {
        const double k = w->Arrangement()->twipsPerMm;
        const double shift = s.stub ? 0 : w->Arrangement()->stubWidthMm * k;
        // The drawer's rows a little right and down, the payee's name wider, the amount left.
        MoveWithKeys(*w, 78 * k - shift, 20 * k, 80 * k - shift, 33 * k, 7, 3, 0);
        MoveWithKeys(*w, 165 * k - shift, 21 * k, 168 * k - shift, 24 * k, -2, 1, 13);
        MoveWithKeys(*w, 190 * k - shift, 42 * k, 195 * k - shift, 44 * k, -5, -1, 2);
    }

    print::QtPrinter device;
    device.Printer()->setOutputFormat(QPrinter::PdfFormat);
    device.Printer()->setOutputFileName(QDir(folder).filePath(s.name + u".pdf"_s));
    w->UsePrinter(&device, &device);
    // The check's question, when it has one, is answered Yes, as is the printer dialog; a batch
    // first asks whether to print all its vouchers.
    env.prompt.yesNo.enqueue(true);
    if (s.batch > 0) env.prompt.yesNo.enqueue(true);
    env.prompt.printers.enqueue(true);

    if (s.batch > 0) {
        for (int n = 1; n <= s.batch; ++n) {
            FieldTexts t = Voucher(n, s.longTexts);
            t[12] = QString::number(n * 1234.5 + 0.25, 'f', 2);  // the batch normalises it
            if (!store::StoreTexts(env.ctx, QDateTime(QDate(2025, 1, n), QTime(0, 0)), t))
                return false;
        }
        history::OldRec* rec = ShowHistoryWindow(env.ctx, *w);
        if (!rec) return false;
        BatchPrint(env.ctx, *w, *rec, false);
    } else {
        w->SetTexts(Voucher(1, s.longTexts));
        test::Child<QPushButton>(*w, QStringLiteral("printButton"))->click();
    }
    w->UsePrinter(nullptr, nullptr);
    w->close();
    for (const QString& text : env.prompt.Messages())
        std::fprintf(stderr, "%s: %s\n", qPrintable(s.name), qPrintable(text));
    return QFileInfo::exists(QDir(folder).filePath(s.name + u".pdf"_s));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: print_positions OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    InstallFontSubstitutions();

    const QString x = u"12.5"_s, y = u"7.3"_s, none;
    const QList<Scenario> scenarios{
        {u"default-portrait-stub"_s, {}, true, false, false, none, none},
        {u"default-portrait-stub-offsets-spacing"_s, {}, true, false, false, x, y, true},
        {u"default-landscape-stub-centred"_s, {}, true, true, true, x, y, true},
        {u"default-portrait-nostub-centred"_s, {}, false, true, false, x, y, true},
        {u"default-landscape-nostub"_s, {}, false, false, true, u"-2"_s, u"10"_s, true},
        {u"wide-portrait-stub"_s, u"宽票"_s, true, false, false, x, y, true},
        {u"wide-landscape-nostub-centred"_s, u"宽票"_s, false, true, true, x, y, true},
        {u"halves-landscape-nostub-centred"_s, u"半毫米"_s, false, true, true, x, y, true},
        {u"halves-portrait-stub"_s, u"半毫米"_s, true, false, false, x, y},
        {u"no-orientation-stub"_s, u"无方向"_s, true, false, false, x, y},
        {u"moved-portrait-stub-long"_s, {}, true, false, false, x, y, true, true, true},
        {u"moved-landscape-nostub-long"_s, {}, false, true, true, x, y, true, true, true},
        {u"batch-portrait-stub"_s, {}, true, false, false, x, y, true, false, false, 3},
        {u"batch-landscape-nostub-long"_s, u"宽票"_s, false, true, true, x, y, true, false, true,
         3},
    };
    int failed = 0;
    for (const Scenario& s : scenarios) {
        if (Run(s, folder)) continue;
        std::fprintf(stderr, "%s: not printed\n", qPrintable(s.name));
        ++failed;
    }
    return failed == 0 ? 0 : 1;
}
