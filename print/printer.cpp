#include "print/printer.h"

namespace tf::print {

bool PrintDevice::Print(const QString& text) {
    if (!DrawText(text, currentX_, currentY_)) return false;
    currentX_ += TextWidth(text);
    return true;
}

}  // namespace tf::print
