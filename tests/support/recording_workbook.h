#pragma once

#include <QStringList>
#include <memory>

#include "history/workbook/workbook.h"

namespace tf::test {

// What a recording workbook was asked to do, one line per call, shared with the test after
// the writer itself is gone.
struct WorkbookLog {
    QStringList calls;
    // Calls whose line starts with one of these fail with error 1004 (5 for "save").
    QStringList failing;
    bool saved = false;
};

// A workbook writer that writes nothing and notes its calls in a log.
class RecordingWorkbook : public workbook::WorkbookWriter {
public:
    explicit RecordingWorkbook(std::shared_ptr<WorkbookLog> log) : log_(std::move(log)) {}

    void SetColumnWidth(int col, double characters) override {
        Note(QStringLiteral("width %1 %2").arg(col).arg(characters));
    }
    void Fill(const workbook::CellRange& range, qint32 bgr) override {
        Note(QStringLiteral("fill ") + Range(range) + u' ' + QString::number(bgr));
    }
    void Bold(const workbook::CellRange& range) override {
        Note(QStringLiteral("bold ") + Range(range));
    }
    void Borders(const workbook::CellRange& range, int weight) override {
        Note(QStringLiteral("borders ") + Range(range) + u' ' + QString::number(weight));
    }
    void WriteText(int row, int col, const QString& text) override {
        Note(QStringLiteral("text %1,%2 [%3]").arg(row).arg(col).arg(text));
    }
    void Save() override {
        Note(QStringLiteral("save"));
        log_->saved = true;
    }

private:
    static QString Range(const workbook::CellRange& r) {
        return QStringLiteral("%1,%2:%3,%4")
            .arg(r.firstRow)
            .arg(r.firstCol)
            .arg(r.lastRow)
            .arg(r.lastCol);
    }
    void Note(const QString& call) {
        for (const QString& f : log_->failing)
            if (call.startsWith(f))
                throw workbook::WorkbookError(
                    f == u"save" ? workbook::kCannotOpen : workbook::kOutOfRange, call);
        log_->calls.append(call);
    }

    std::shared_ptr<WorkbookLog> log_;
};

}  // namespace tf::test
