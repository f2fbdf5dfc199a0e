#pragma once

#include <QObject>
#include <QPrinter>
#include <QTimer>
#include <memory>

#include "common/app_context.h"
#include "common/fields.h"

class QFrame;

namespace tf {

class MF;
namespace print {
class QtPrinter;
}

// Shows on the voucher, while the clerk types, which fields will not fit their boxes on
// paper: a red frame around the field and a tip naming the problem. The page is laid out
// and checked as the print job does it, a moment after the last change.
class OverflowHint : public QObject {
    Q_OBJECT
public:
    OverflowHint(AppContext& ctx, MF& mainWindow);
    ~OverflowHint() override;

    // Lays the page out and checks it now.
    void Update();
    // The fields marked after the last check.
    const QList<int>& Marked() const { return marked_; }
    // The red frame of field i; null until it was first needed.
    QFrame* Frame(int i) const { return frames_[i]; }

private:
    AppContext& ctx_;
    MF& mf_;
    QTimer timer_;
    QPrinter measuring_;
    std::unique_ptr<print::QtPrinter> device_;
    FieldTable<QFrame*> frames_{};
    QList<int> marked_;
};

}  // namespace tf
