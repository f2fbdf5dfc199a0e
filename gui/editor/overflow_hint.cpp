#include "gui/editor/overflow_hint.h"

#include <QFrame>
#include <QLineEdit>

#include "gui/editor/voucher_editor.h"
#include "print/check.h"
#include "print/layout.h"
#include "print/qt_printer.h"

namespace tf {

namespace {

// Long enough to wait for a pause in typing, short enough to follow it.
constexpr int kDelayMs = 200;

}  // namespace

OverflowHint::OverflowHint(AppContext& ctx, VoucherEditor& editor,
                           std::function<print::VoucherPage()> page)
    : ctx_(ctx), editor_(editor), page_(std::move(page)), measuring_(QPrinter::HighResolution) {
    // The metrics come from a printer like the one printing uses, without asking a driver.
    measuring_.setOutputFormat(QPrinter::PdfFormat);
    device_ = std::make_unique<print::QtPrinter>(&measuring_);
    timer_.setSingleShot(true);
    timer_.setInterval(kDelayMs);
    connect(&timer_, &QTimer::timeout, this, &OverflowHint::Update);
    connect(&editor_, &VoucherEditor::contentChanged, &timer_, qOverload<>(&QTimer::start));
    connect(&editor_, &VoucherEditor::layoutChanged, &timer_, qOverload<>(&QTimer::start));
}

OverflowHint::~OverflowHint() = default;

void OverflowHint::Update() {
    QList<print::FieldProblem> problems;
    const print::VoucherPage page = page_();
    if (const auto setup = print::ReadPageSetup(ctx_, page.format)) {
        print::LaidOutPage laid;
        if (print::LayoutVoucher(page, *setup, *device_, laid)) problems = print::CheckPage(laid);
    }
    marked_ = print::OverflowingFields(problems);

    for (int i = kFirstField; i <= kLastField; ++i) {
        QLineEdit* field = editor_.Field(RoleOf(i));
        QStringList tips;
        for (const print::FieldProblem& p : problems)
            if (p.field == i) tips.append(print::DescribeProblem(p));
        field->setToolTip(tips.isEmpty() ? QString()
                                         : QStringLiteral("打印时放不下——") + tips.join(u'；'));
        QFrame*& frame = frames_[i];
        if (tips.isEmpty()) {
            if (frame) frame->hide();
            continue;
        }
        if (!frame) {
            frame = new QFrame(field->parentWidget());
            frame->setObjectName(QStringLiteral("Overflow%1").arg(i));
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            frame->setStyleSheet(QStringLiteral("QFrame { border: 2px solid red; }"));
        }
        frame->setGeometry(field->geometry().adjusted(-2, -2, 2, 2));
        frame->show();
        frame->raise();
    }
}

}  // namespace tf
