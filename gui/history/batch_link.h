#pragma once

#include "common/app_context.h"

namespace tf {

class VoucherHost;
namespace history {
class OldRec;
}

// "批量打印" and "批量预览" of the history window: the records of the chosen rows, each
// through the field-entry rules on a copy of the host's texts, laid out with the host's
// format, options, spacing and offsets. The host's fields stay as they are; after storing
// the print records the list is read afresh.
void BatchPrint(AppContext& ctx, VoucherHost& host, history::OldRec& window, bool preview);

}  // namespace tf
