#pragma once

#include "common/app_context.h"

namespace tf {

class VoucherHost;
namespace history {
class OldRec;
}

// Opens the history window over the voucher's window without blocking it, or brings the open
// one to the front.
history::OldRec* ShowHistoryWindow(AppContext& ctx, VoucherHost& host);

}  // namespace tf
