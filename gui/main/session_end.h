#pragma once

namespace tf {

class MF;

// Keeps the voucher text when the desktop session ends (the session manager's request to
// save) or when the program gets SIGTERM or SIGHUP, then ends the program. Call once, after
// the main window exists.
void KeepTextAtSessionEnd(MF& window);

}  // namespace tf
