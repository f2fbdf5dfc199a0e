// Fuzz target: a grid of texts made from the input (Chinese, digits, long account numbers,
// blanks, control characters, escape-like runs) and formatted ranges, written by both writers
// and read back by both readers: every text must come back unchanged, every other cell empty,
// and no file may be left open.

#include <cstdio>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "history/workbook/workbook.h"

namespace {

using namespace tf::workbook;

const char16_t* const kPieces[] = {
    u"a",        u"Z",      u"0",   u"7",      u" ",
    u"  ",       u"中",     u"国",  u"账号",   u"银行",
    u"\t",       u"\n",     u"\r",  u"\u0001", u"\u001f",
    u"_x0041_",  u"_x",     u"_",   u"&",      u"<",
    u">",        u"\"",     u"😀",   u"é",      u"6222021234567890123",
    u"-",        u".",      u"1e5", u"=A1",    u"TRUE",
    u"壹万贰仟", u"\u00a0",
};
constexpr size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Next() { return at < size ? data[at++] : 0; }
};

void Fail(const QString& path, const char* what, int row, int col, const QString& expected = {},
          const QString& got = {}) {
    std::fprintf(stderr, "round trip %s: %s at (%d, %d)\n expected: %s\n got:      %s\n",
                 qPrintable(path), what, row, col,
                 expected.toUtf8().toPercentEncoding().constData(),
                 got.toUtf8().toPercentEncoding().constData());
    abort();
}

void RoundTrip(const QString& path, const std::vector<std::vector<QString>>& grid,
               const std::vector<CellRange>& ranges) {
    auto writer = CreateWorkbook(path);
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (i % 3 == 0) writer->Fill(ranges[i], 13684944);
        if (i % 3 == 1) writer->Bold(ranges[i]);
        if (i % 3 == 2) writer->Borders(ranges[i], 2);
    }
    for (size_t r = 0; r < grid.size(); ++r)
        for (size_t c = 0; c < grid[r].size(); ++c)
            if (!grid[r][c].isNull()) writer->WriteText(int(r) + 1, int(c) + 1, grid[r][c]);
    writer->Save();
    auto reader = OpenWorkbook(path);
    if (reader->SheetNames().size() != 1) Fail(path, "sheet count", 0, 0);
    reader->SelectSheet(reader->SheetNames().first());
    for (int r = 1; r <= int(grid.size()) + 2; ++r) {
        for (int c = 1; c <= 10; ++c) {
            const bool inside = r <= int(grid.size()) && c <= int(grid[r - 1].size());
            const QString expected = inside ? grid[r - 1][c - 1] : QString();
            const QString got = reader->CellText(r, c);
            if (got != expected) Fail(path, "text", r, c, expected, got);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const int rows = 1 + in.Next() % 8;
    const int cols = 1 + in.Next() % 8;
    std::vector<CellRange> ranges(in.Next() % 4);
    for (CellRange& range : ranges)
        range = {1 + in.Next() % 10, 1 + in.Next() % 10, 1 + in.Next() % 10, 1 + in.Next() % 10};
    std::vector<std::vector<QString>> grid(rows, std::vector<QString>(cols));
    for (auto& row : grid) {
        for (QString& cell : row) {
            const uint8_t length = in.Next();
            if (length == 0) continue;  // no cell written
            cell = QStringLiteral("");
            for (int i = 0; i < length % 12; ++i)
                cell += QString::fromUtf16(kPieces[in.Next() % kPieceCount]);
        }
    }
    const auto& folder = tf::fuzz::Folder();
    const qsizetype openFiles = tf::fuzz::OpenFiles();
    for (const QString& name :
         {QStringLiteral("roundtrip.xls"), QStringLiteral("roundtrip.xlsx")}) {
        RoundTrip(folder.filePath(name), grid, ranges);
        if (tf::fuzz::OpenFiles() != openFiles) Fail(name, "a file left open", 0, 0);
    }
    return 0;
}
