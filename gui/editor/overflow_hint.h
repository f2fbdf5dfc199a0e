#pragma once

#include <QObject>
#include <QPrinter>
#include <QTimer>
#include <functional>
#include <memory>

#include "common/app_context.h"
#include "common/fields.h"
#include "print/page.h"

class QFrame;

namespace tf {

class VoucherEditor;
namespace print {
class QtPrinter;
}

// Shows on the voucher, while the clerk types, which fields will not fit their boxes on
// paper: a red frame around the field and a tip naming the problem. The page is laid out
// and checked as the print job does it, a moment after the last change of a text or of the
// layout.
class OverflowHint : public QObject {
    Q_OBJECT
public:
    OverflowHint(AppContext& ctx, VoucherEditor& editor, std::function<print::VoucherPage()> page);
    ~OverflowHint() override;

    // Lays the page out and checks it now.
    void Update();
    // The fields marked after the last check.
    const QList<int>& Marked() const { return marked_; }
    // The red frame of field i; null until it was first needed.
    QFrame* Frame(int i) const { return frames_[i]; }

private:
    AppContext& ctx_;
    VoucherEditor& editor_;
    std::function<print::VoucherPage()> page_;
    QTimer timer_;
    QPrinter measuring_;
    std::unique_ptr<print::QtPrinter> device_;
    FieldTable<QFrame*> frames_{};
    QList<int> marked_;
};

}  // namespace tf
