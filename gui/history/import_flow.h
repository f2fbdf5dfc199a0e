#pragma once

#include "common/app_context.h"
#include "history/import.h"
#include "store/record_store.h"

namespace tf::history {

// "导入数据": the workbook, its sheet and the columns are chosen in their dialogs, then the rows
// are stored as print records; `stored` receives the keys of the rows stored. A cancel anywhere
// ends it without a message or change. Returns 0, or the number of the error that stopped the
// import.
int ImportWorkbook(const AppContext& ctx, QList<store::RecordKey>* stored,
                   const WorkbookOpener& open = workbook::OpenWorkbook);

}  // namespace tf::history
