#include "history/import.h"

#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <optional>

#include "common/progress.h"
#include "common/prompt.h"
#include "store/record_store.h"

using namespace Qt::StringLiterals;

namespace tf::history {

using workbook::WorkbookError;

std::array<int, kMappedColumns> DefaultColumnMap() {
    std::array<int, kMappedColumns> map{};
    for (int k = 0; k < kMappedColumns; ++k) map[static_cast<size_t>(k)] = k + 1;
    return map;
}

int ColumnNumber(const QString& text) {
    const QString s = text.trimmed().toUpper();
    // An empty box names no column; it is reported like any column out of range.
    if (s.isEmpty() || s.size() > 2) return 0;
    for (const QChar ch : s)
        if (ch.unicode() > 0x7F) return 1;
    const auto v = [](QChar ch) { return static_cast<int>(ch.unicode()) - 64; };
    const int n = s.size() == 1 ? v(s[0]) : 26 * v(s[0]) + v(s[1]);
    return n < 1 ? 1 : n;
}

QString ImportErrorText(int number) {
    switch (number) {
        case workbook::kCannotOpen:
            return u"无法打开Excel文件，请检查后重新输入文件名及路径！"_s;
        case workbook::kNoSuchSheet:
            return u"输入表格名称有误，无法打开表格，请重新输入！"_s;
        case workbook::kNotWorkbook:
            return u"文件类型不对，请选择Excel文档！"_s;
        case workbook::kOutOfRange:
            return u"输入表格列号超界，请重新输入！"_s;
        case workbook::kDamaged:
            return u"文件已损坏，无法读取"_s;
        case workbook::kEncrypted:
            return u"文件已加密，请先在电子表格程序中取消密码"_s;
        default:
            return u"未知错误，错误号："_s + QString::number(number) + u"\u3000请检查输入值！"_s;
    }
}

QString ImportProgressTitle() {
    return u"正在读取记录…"_s;
}

QString ImportDoneText(qint32 firstRow, qint32 lastRow) {
    return u"导入EXCEL表格第"_s + QString::number(firstRow) + u"至第"_s + QString::number(lastRow) +
           u"行!"_s;
}

QString InexactCellsText(const QList<std::pair<qint64, int>>& cells) {
    constexpr qsizetype kListed = 10;
    QString text;
    for (qsizetype i = 0; i < std::min(cells.size(), kListed); ++i)
        text += u"\n第"_s + QString::number(cells[i].first) + u"行"_s +
                workbook::ColumnLetters(cells[i].second) +
                u"列的数字超过15位，可能已不准确，请在表格中设为文本格式"_s;
    if (cells.size() > kListed)
        text +=
            u"\n……另有"_s + QString::number(cells.size() - kListed) + u"个单元格的数字超过15位"_s;
    return text;
}

namespace {

void Tell(const AppContext& ctx, const QString& text) {
    ctx.UserPrompt().Message(text);
}

// A row of the worksheet; rows the sheet cannot have fail here as well, whatever the reader
// would make of them.
const std::vector<workbook::Cell>& ReadRow(workbook::RowCursor& rows, qint64 row) {
    if (row < 1 || row > INT_MAX)
        throw WorkbookError(workbook::kOutOfRange, u"row %1"_s.arg(QString::number(row)));
    return rows.Read(static_cast<int>(row));
}

}  // namespace

QString SkippedRowsText(qint64 skipped) {
    if (skipped <= 0) return {};
    return u"（其中"_s + QString::number(skipped) + u"行为空，未导入）"_s;
}

QString ImportStoppedText() {
    return u"导入已停止，没有导入任何记录。"_s;
}

QString LockedQuestionText(const QString& path) {
    return u"数据库文件“"_s + path +
           u"”正被其他程序使用，导入正在等待。\n是否继续等待？选“否”停止导入，不导入任何记录。"_s;
}

int ImportWorkbook(const AppContext& ctx, const ImportRequest& request, const WorkbookOpener& open,
                   QList<store::RecordKey>* stored) {
    Progress& progress = ctx.ProgressDisplay();
    // The keys of the rows in the transaction; reported only once they are committed.
    QList<store::RecordKey> added;
    if (stored) stored->clear();

    // Failures are told with their cause, as for every other write.
    const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(ctx);
    std::unique_ptr<store::ImportSink> sink;
    bool progressShown = false;
    const auto closeProgress = [&] {
        if (progressShown) progress.CloseProgress();
        progressShown = false;
    };
    // Ends the transaction: the rows stored so far are committed when keepStored, else rolled
    // back. True when they are in the database.
    const auto finish = [&](bool keepStored) {
        if (!sink) return true;
        if (keepStored && sink->Commit()) {
            if (stored) *stored = added;
            return true;
        }
        sink->Rollback();
        return false;
    };
    const auto dbFailure = [&](bool keepStored) {
        closeProgress();
        // The cause of the failed step, before committing the rows already stored.
        const QString text = records->FailureText();
        if (sink && sink->Stopped()) {
            finish(false);
            Tell(ctx, ImportStoppedText());
        } else {
            finish(keepStored);
            Tell(ctx, text);
        }
        return -1;
    };

    try {
        std::unique_ptr<workbook::WorkbookReader> reader = open(request.path);
        reader->SelectSheet(request.sheet);

        const qint32 total = request.lastRow - request.firstRow + 1;
        const qint64 first = request.firstRow;
        const qint64 last = request.lastRow;
        store::ImportPlan plan;
        plan.fields = QList<int>(store::kShownFields.begin(), store::kShownFields.end());
        plan.firstDay = ctx.now().date().addDays(-1);
        plan.expectedRows = last - first + 1;
        // Another program holding the file is told after a second, not waited for in silence;
        // the progress window, always on top, steps aside for the question.
        const QString shownPath = QFileInfo(ctx.DatabasePath()).absoluteFilePath();
        plan.waitOnLock = [&, shownPath] {
            closeProgress();
            const bool waitOn = ctx.UserPrompt().AskYesNo(LockedQuestionText(shownPath));
            if (waitOn) {
                qint32 at = -1;  // on from where it was
                progress.ShowProgress(ImportProgressTitle(), total, at);
                progressShown = true;
            }
            return waitOn;
        };
        sink = records->BeginImport(plan);
        if (!sink) return dbFailure(false);
        qint32 start = 0;
        progress.ShowProgress(ImportProgressTitle(), total, start);
        progressShown = true;

        // The worksheet column of each shown field: mapping box k feeds the k-th shown field.
        std::vector<int> cols;
        for (size_t k = 0; k < store::kShownFields.size(); ++k)
            cols.push_back(request.columnMap[k + 1]);
        const std::unique_ptr<workbook::RowCursor> rows = reader->Rows(cols);
        QList<std::pair<qint64, int>> inexact;
        qint64 skipped = 0;
        for (qint64 i = first; i <= last; ++i) {
            const std::vector<workbook::Cell>& cells = ReadRow(*rows, i);
            FieldTexts texts;
            bool empty = true;
            for (size_t k = 0; k < cells.size() && k < store::kShownFields.size(); ++k) {
                // Blanks around a text would print in front of the field and shift it.
                QString& text = texts[store::kShownFields[k]];
                text = cells[k].text.trimmed();
                empty = empty && text.isEmpty();
                if (cells[k].inexact) inexact.append({i, cols[k]});
            }
            progress.StepProgress(1, u"pages"_s);
            // A row without any text is no voucher.
            if (empty) {
                ++skipped;
                continue;
            }
            const std::optional<store::RecordKey> key = sink->Add(texts);
            if (!key) return dbFailure(true);
            added.append(*key);
        }
        if (!finish(true)) return dbFailure(false);
        closeProgress();
        Tell(ctx, ImportDoneText(request.firstRow,
                                 last >= first ? request.lastRow : request.firstRow - 1) +
                      SkippedRowsText(skipped) + InexactCellsText(inexact));
        return 0;
    } catch (const WorkbookError& e) {
        closeProgress();
        finish(true);
        Tell(ctx, ImportErrorText(e.Number()));
        return e.Number();
    }
}

std::optional<QStringList> ReadSheetNames(const AppContext& ctx, const QString& path,
                                          const WorkbookOpener& open) {
    try {
        return open(path)->SheetNames();
    } catch (const WorkbookError& e) {
        Tell(ctx, ImportErrorText(e.Number()));
        return std::nullopt;
    }
}

int DisplayXls(const AppContext& ctx, TextGrid& grid, const QString& path, const QString& sheet,
               const WorkbookOpener& open) {
    constexpr int kRows = 10;
    constexpr int kCols = 20;
    grid.SetRows(0);
    grid.SetCols(0);
    grid.SetRows(kRows + 1);
    grid.SetCols(kCols + 1);
    grid.SetColWidth(0, 300);
    grid.SetFixedCols(1);
    grid.SetFixedRows(1);
    for (int i = 1; i <= kRows; ++i) grid.SetText(i, 0, QString::number(i));
    for (int j = 1; j <= kCols; ++j) grid.SetText(0, j, workbook::ColumnLetters(j));
    try {
        std::unique_ptr<workbook::WorkbookReader> reader = open(path);
        reader->SelectSheet(sheet);
        std::vector<int> cols(kCols);
        for (int l = 1; l <= kCols; ++l) cols[static_cast<size_t>(l - 1)] = l;
        // The cursor reads the sheet only as far as the sample's last row.
        const std::unique_ptr<workbook::RowCursor> rows = reader->Rows(cols);
        for (int k = 1; k <= kRows; ++k) {
            const std::vector<workbook::Cell>& cells = rows->Read(k);
            for (int l = 1; l <= kCols; ++l)
                grid.SetText(k, l, cells[static_cast<size_t>(l - 1)].text);
        }
        return 0;
    } catch (const WorkbookError& e) {
        Tell(ctx, ImportErrorText(e.Number()));
        return e.Number();
    }
}

}  // namespace tf::history
