#pragma once

#include <QHash>
#include <QMap>
#include <QStringList>
#include <memory>

#include "history/workbook/workbook.h"

namespace tf::test {

// A workbook held in memory: sheets of cells, and the failures a real reader can report.
struct FakeWorkbook {
    QMap<QString, QHash<QPair<int, int>, QString>> sheets;  // name -> (row, col) -> text
    QStringList order;                                      // sheet names in workbook order
    int maxRow = 65536;
    int maxCol = 256;
    int openError = 0;  // thrown by the opener when not 0

    void Set(const QString& sheet, int row, int col, const QString& text) {
        if (!order.contains(sheet)) order.append(sheet);
        sheets[sheet][{row, col}] = text;
    }
};

class FakeReader : public workbook::WorkbookReader {
public:
    explicit FakeReader(const FakeWorkbook& book) : book_(book) {}
    QStringList SheetNames() const override { return book_.order; }
    void SelectSheet(const QString& name) override {
        if (!book_.sheets.contains(name))
            throw workbook::WorkbookError(workbook::kNoSuchSheet, name);
        sheet_ = name;
    }
    QString CellText(int row, int col) const override {
        if (row < 1 || col < 1 || row > book_.maxRow || col > book_.maxCol)
            throw workbook::WorkbookError(workbook::kOutOfRange, QString());
        return book_.sheets[sheet_].value({row, col});
    }

private:
    const FakeWorkbook& book_;
    QString sheet_;
};

// An opener over a fake workbook, for ImportWorkbook and the dialogs.
inline auto FakeOpener(const FakeWorkbook& book) {
    return [&book](const QString& path) -> std::unique_ptr<workbook::WorkbookReader> {
        if (book.openError != 0) throw workbook::WorkbookError(book.openError, path);
        return std::make_unique<FakeReader>(book);
    };
}

}  // namespace tf::test
