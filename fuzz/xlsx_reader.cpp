// Fuzz target: any bytes opened as an .xlsx workbook.
#include "fuzz/reader_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tf::fuzz::ReadEverything(data, size, QStringLiteral("input.xlsx"));
    return 0;
}
