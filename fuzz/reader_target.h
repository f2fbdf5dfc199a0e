#pragma once

#include "fuzz/fuzz_support.h"
#include "history/workbook/workbook.h"

namespace tf::fuzz {

inline bool ExpectedError(int n) {
    return n == workbook::kCannotOpen || n == workbook::kNotWorkbook || n == workbook::kDamaged ||
           n == workbook::kEncrypted || n == workbook::kNoSuchSheet;
}

// Lists the workbook's sheets and reads the cells of each, row by row through a cursor and
// one by one: every outcome is a text or one of the typed errors, never a crash, and both
// ways give the same texts.
inline void ReadCells(const QString& path) {
    try {
        auto reader = workbook::OpenWorkbook(path);
        for (const QString& sheet : reader->SheetNames()) {
            try {
                reader->SelectSheet(sheet);
                std::vector<int> cols;
                for (int col = 1; col <= 32; ++col) cols.push_back(col);
                auto rows = reader->Rows(cols);
                for (int row = 1; row <= 64; ++row) {
                    const std::vector<workbook::Cell> cells = rows->Read(row);
                    for (int col = 1; col <= 32; ++col)
                        if (reader->CellText(row, col) != cells[size_t(col - 1)].text) abort();
                }
            } catch (const workbook::WorkbookError& e) {
                if (!ExpectedError(e.Number())) abort();
            }
        }
    } catch (const workbook::WorkbookError& e) {
        if (!ExpectedError(e.Number())) abort();
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
