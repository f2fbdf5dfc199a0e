// Prints what our readers see in a workbook, for the agreement test: a first line with the
// sheet names, then one line per non-empty cell of the sheets asked for, as JSON.
// Usage: workbook_dump FILE [SHEET ROWS COLS]…  (SHEET counted from 0; the rows and columns
// from 1 to ROWS and COLS are read through a row cursor, as the import reads them)

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "history/workbook/workbook.h"

using namespace tf::workbook;

namespace {

void Print(const QJsonObject& line) {
    std::fputs(QJsonDocument(line).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || (args.size() - 2) % 3 != 0) {
        std::fprintf(stderr, "usage: workbook_dump FILE [SHEET ROWS COLS]...\n");
        return 2;
    }
    try {
        auto reader = OpenWorkbook(args[1]);
        const QStringList names = reader->SheetNames();
        Print({{QStringLiteral("sheets"), QJsonArray::fromStringList(names)}});
        for (qsizetype a = 2; a < args.size(); a += 3) {
            const int sheet = args[a].toInt();
            const int rows = args[a + 1].toInt();
            const int cols = args[a + 2].toInt();
            reader->SelectSheet(names.value(sheet));
            std::vector<int> wanted;
            for (int c = 1; c <= cols; ++c) wanted.push_back(c);
            auto cursor = reader->Rows(wanted);
            for (int r = 1; r <= rows; ++r) {
                const std::vector<Cell>& cells = cursor->Read(r);
                for (int c = 1; c <= cols; ++c) {
                    const Cell& cell = cells[size_t(c - 1)];
                    if (cell.text.isEmpty()) continue;
                    Print({{QStringLiteral("s"), sheet},
                           {QStringLiteral("r"), r},
                           {QStringLiteral("c"), c},
                           {QStringLiteral("t"), cell.text},
                           {QStringLiteral("x"), cell.inexact}});
                }
            }
        }
    } catch (const WorkbookError& e) {
        Print({{QStringLiteral("error"), e.Number()}});
    }
    return 0;
}
