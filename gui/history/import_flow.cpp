#include "gui/history/import_flow.h"

#include "gui/history/choosers.h"
#include "gui/history/column_dialog.h"

namespace tf::history {

int ImportWorkbook(const AppContext& ctx, QList<store::RecordKey>* stored,
                   const WorkbookOpener& open) {
    const WorkbookAndSheet choice = ChooseWorkbookAndSheet(ctx, 1, open);
    if (choice.path.isEmpty() || choice.sheet.isEmpty()) return 0;
    const std::optional<ImportRequest> request =
        ChooseColumns(ctx, choice.path, choice.sheet, open);
    if (!request) return 0;
    return ImportWorkbook(ctx, *request, open, stored);
}

}  // namespace tf::history
