#pragma once

class QPrinter;

namespace tf::print {

// The printer a print job draws on; the printer dialog sets it up.
class PrintTarget {
public:
    virtual ~PrintTarget() = default;
    // The Qt printer behind the target; null for targets that only record.
    virtual QPrinter* Printer() = 0;
};

}  // namespace tf::print
