#pragma once

#include <functional>

#include "common/app_context.h"
#include "common/fields.h"
#include "print/page.h"
#include "print/print_target.h"
#include "print/printer.h"

namespace tf::print {

// The print job behind "打      印": the page laid out once and checked (a text that will not
// fit asks whether to print anyway), the printer dialog on target, then the same page on
// printer (usually the same object), then, when a field changed since the last record
// question, the question "是否保存打印记录？" and on Yes the page's texts stored as a print
// record under the current time (or the next second no record holds). A cancelled dialog ends
// the job with nothing printed and contentChanged kept; a record that could not be stored
// leaves contentChanged set, so it is offered again. Returns what became of the page; nullopt
// when the dialog was cancelled.
std::optional<PageResult> PrintJob(const AppContext& ctx, const VoucherPage& page,
                                   bool& contentChanged, PrintTarget& target, PrintDevice& printer);

// The calibration print behind "校准  打印机": asks whether to print; on Yes and a chosen
// printer puts a black 1 cm square 1 cm from the corner of an A4 sheet. Then, whatever
// happened, openOffsets runs (it shows the offset dialog). Returns true when the square was
// sent.
bool PrintCalibrationMark(const AppContext& ctx, PrintTarget& target, PrintDevice& printer,
                          const std::function<void()>& openOffsets);

}  // namespace tf::print
