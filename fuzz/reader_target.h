#pragma once

#include "fuzz/fuzz_support.h"
#include "history/workbook/workbook.h"

namespace tf::fuzz {

// Lists the workbook's sheets and reads the cells of each: every outcome is a text or one of
// the typed errors, never a crash.
inline void ReadCells(const QString& path) {
    try {
        auto reader = workbook::OpenWorkbook(path);
        for (const QString& sheet : reader->SheetNames()) {
            try {
                reader->SelectSheet(sheet);
            } catch (const workbook::WorkbookError& e) {
                if (e.Number() != workbook::kNotWorkbook) abort();
                continue;
            }
            for (int row = 1; row <= 64; ++row)
                for (int col = 1; col <= 32; ++col) reader->CellText(row, col);
        }
    } catch (const workbook::WorkbookError& e) {
        const int n = e.Number();
        if (n != workbook::kCannotOpen && n != workbook::kNotWorkbook &&
            n != workbook::kNoSuchSheet)
            abort();
    }
}

// Opens the bytes as a workbook of the given name and reads it; no file may be left open.
inline void ReadEverything(const uint8_t* data, size_t size, const QString& name) {
    const QString path = InputFile(data, size, name);
    const qsizetype openFiles = OpenFiles();
    ReadCells(path);
    if (OpenFiles() != openFiles) abort();
}

}  // namespace tf::fuzz
