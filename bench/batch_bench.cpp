// Figures for batch printing: 500 vouchers laid out and drawn into one PDF document, beside
// 500 single-voucher prints (each its own PDF document) of the same vouchers: page layout
// and drawing alone, no dialogs. Wall-clock and processor time; the processor time is the
// steadier figure on a machine shared with other work. Run by hand: batch_bench [vouchers].

#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "amount/field_entry.h"
#include "bench/bench_support.h"
#include "common/fonts.h"
#include "common/prompt.h"
#include "print/batch.h"
#include "print/page.h"
#include "print/qt_printer.h"
#include "store/database.h"
#include "store/default_format.h"

using namespace tf;
using namespace Qt::StringLiterals;
using tf::bench::PeakRssMb;

namespace {

// A voucher as a workbook row makes it, through the field-entry rules.
FieldTexts Voucher(int n) {
    FieldTexts t;
    t[2] = u"2026"_s;
    t[3] = u"3"_s;
    t[4] = QString::number(1 + n % 28);
    t[5] = u"北京华信贸易有限公司第%1分公司"_s.arg(n);
    t[6] = u"02000015090%1"_s.arg(n, 8, 10, QChar(u'0'));
    t[7] = u"工商银行北京朝阳支行"_s;
    t[8] = u"上海恒远机械制造厂"_s;
    t[9] = u"310066012018%1"_s.arg(n, 9, 10, QChar(u'0'));
    t[10] = u"建设银行上海浦东分行"_s;
    t[12] = QString::number(1000 + n * 37.25, 'f', 2);
    t[13] = u"转账支票"_s;
    t[14] = u"1"_s;
    t[15] = u"No.%1"_s.arg(10203040 + n);
    t[16] = u"张敏"_s;
    t[17] = u"李强"_s;
    t[27] = u"货款"_s;
    for (int i = kFirstField; i <= kLastVoucherField; ++i) amount::LeaveField(t, i, u"￥"_s);
    return t;
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& file) {
    auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
    p->setOutputFormat(QPrinter::PdfFormat);
    p->setOutputFileName(file);
    return p;
}

qint64 Size(const QString& file) {
    return QFileInfo(file).size();
}

double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallFontSubstitutions();
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;

    QTemporaryDir dir;
    AppContext ctx;
    ctx.dataDir = dir.path();
    ctx.settingsFile = dir.filePath(u"settings.ini"_s);
    store::Database(ctx).EnsureTables();

    QList<print::VoucherPage> pages;
    for (int n = 0; n < count; ++n)
        pages.append(print::PageOf(store::DesignSettings(), Voucher(n)));

    // A first page loads the fonts, so neither figure pays for it.
    {
        auto warm = PdfPrinter(dir.filePath(u"warm.pdf"_s));
        print::QtPrinter device(warm.get());
        print::PrintVoucher(ctx, pages.constFirst(), device);
    }

    QElapsedTimer timer;
    timer.start();
    double cpu = CpuMs();
    qint64 singleBytes = 0;
    for (int n = 0; n < count; ++n) {
        const QString file = dir.filePath(u"single.pdf"_s);
        auto printer = PdfPrinter(file);
        print::QtPrinter device(printer.get());
        if (print::PrintVoucher(ctx, pages[n], device) != print::PageResult::Printed) {
            std::printf("single print %d failed\n", n);
            return 1;
        }
        printer.reset();
        singleBytes += Size(file);
    }
    const double singleMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double singleCpu = CpuMs() - cpu;

    timer.restart();
    cpu = CpuMs();
    const QString batchFile = dir.filePath(u"batch.pdf"_s);
    {
        auto printer = PdfPrinter(batchFile);
        print::QtPrinter device(printer.get());
        if (print::PrintPages(ctx, pages, device) != print::PageResult::Printed) {
            std::printf("batch failed\n");
            return 1;
        }
    }
    const double batchMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double batchCpu = CpuMs() - cpu;

    std::printf("%-44s %9.1f ms   %-40s %9.1f ms   ratio %.2f\n",
                qPrintable(u"batch of %1 vouchers, one PDF"_s.arg(count)), batchMs,
                qPrintable(u"%1 single-voucher prints, one PDF each"_s.arg(count)), singleMs,
                batchMs / singleMs);
    std::printf("per voucher: batch %.2f ms (cpu %.2f), single %.2f ms (cpu %.2f)\n",
                batchMs / count, batchCpu / count, singleMs / count, singleCpu / count);
    std::printf("PDF size: batch %.0f KB, single prints %.0f KB together\n",
                static_cast<double>(Size(batchFile)) / 1024,
                static_cast<double>(singleBytes) / 1024);
    std::printf("peak resident memory: %.0f MB\n", PeakRssMb());
    return 0;
}
