#pragma once

#include "common/app_context.h"

namespace tf {

class MF;
namespace history {
class OldRec;
}

// Opens the history window over the main window without blocking it, or brings the open
// one to the front.
history::OldRec* ShowHistoryWindow(AppContext& ctx, MF& mainWindow);

}  // namespace tf
