#include "history/import.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <climits>
#include <optional>

#include "common/progress.h"
#include "common/prompt.h"
#include "history/history_records.h"
#include "store/database.h"
#include "store/records.h"

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

// The free midnight dates, from a start day backwards. The used midnight dates are read a
// window of days at a time with one statement, not day by day. A failed read is noted in
// the database's last failure.
class FreeDates {
public:
    FreeDates(store::Database& db, QDate start, qint64 expected)
        : db_(db),
          next_(start),
          window_(static_cast<int>(std::clamp<qint64>(expected + 16, 16, 4096))) {}

    // The next free date, or nothing when the used dates cannot be read.
    std::optional<QDate> Next() {
        const QDate reserved = store::CurrentTextDate().date();
        for (;;) {
            if (!loadedFrom_.isValid() || next_ < loadedTo_) {
                if (!Load()) return std::nullopt;
            }
            const QDate d = next_;
            next_ = next_.addDays(-1);
            if (d != reserved && !used_.contains(d)) return d;
        }
    }

private:
    bool Load() {
        QSqlQuery q(db_.Connection());
        q.setForwardOnly(true);
        q.prepare(
            u"WITH RECURSIVE day(n, d) AS (SELECT 0, ? UNION ALL "
            "SELECT n + 1, date(d, '-1 day') FROM day WHERE n + 1 < ?) "
            "SELECT d FROM day WHERE EXISTS "
            "(SELECT 1 FROM 记录 WHERE Dat = d || ' 00:00:00')"_s);
        q.addBindValue(store::DayText(next_));
        q.addBindValue(window_);
        if (!q.exec()) {
            db_.NoteFailure(q.lastError());
            return false;
        }
        used_.clear();
        while (q.next()) used_.insert(store::DayFromText(q.value(0).toString()));
        loadedFrom_ = next_;
        loadedTo_ = next_.addDays(-(window_ - 1));
        return true;
    }

    store::Database& db_;
    QDate next_;
    int window_;
    QDate loadedFrom_;
    QDate loadedTo_;
    QSet<QDate> used_;
};

// The records of one worksheet row, written whole or not at all: one statement inserting all
// its fields inside a savepoint of the import's transaction. The statements are prepared once.
// A failed step is noted in the database's last failure.
class RowWriter {
public:
    RowWriter(store::Database& db, const TextGrid& grid)
        : db_(db),
          insert_(db.Connection()),
          savepoint_(db.Connection()),
          release_(db.Connection()),
          rollback_(db.Connection()) {
        for (int j = 2; j < grid.Cols() && j - 1 < kMappedColumns; ++j)
            fields_.append({j, grid.Text(0, j).toInt()});
        QStringList tuples;
        for (qsizetype k = 0; k < fields_.size(); ++k) tuples.append(u"(?,?,?)"_s);
        prepared_ =
            Prepare(insert_, u"INSERT INTO 记录 (Dat, Ctl, Con) VALUES "_s + tuples.join(u',')) &&
            Prepare(savepoint_, u"SAVEPOINT import_row"_s) &&
            Prepare(release_, u"RELEASE import_row"_s) &&
            Prepare(rollback_, u"ROLLBACK TO import_row"_s);
    }

    bool Store(const QString& dat, const TextGrid& grid, int row) {
        if (fields_.isEmpty()) return true;
        if (!prepared_ || !Run(savepoint_)) return false;
        int at = 0;
        for (const auto& [col, ctl] : fields_) {
            insert_.bindValue(at++, dat);
            insert_.bindValue(at++, ctl);
            insert_.bindValue(at++, grid.Text(row, col));
        }
        if (Run(insert_) && Run(release_)) return true;
        rollback_.exec();
        release_.exec();
        return false;
    }

    QString Shown() const { return u"INSERT INTO 记录"_s; }

private:
    bool Prepare(QSqlQuery& q, const QString& sql) {
        if (q.prepare(sql)) return true;
        db_.NoteFailure(q.lastError());
        return false;
    }
    bool Run(QSqlQuery& q) {
        if (q.exec()) return true;
        db_.NoteFailure(q.lastError());
        return false;
    }

    store::Database& db_;
    QSqlQuery insert_;
    QSqlQuery savepoint_;
    QSqlQuery release_;
    QSqlQuery rollback_;
    bool prepared_ = false;
    QList<std::pair<int, int>> fields_;  // grid column, field number
};

}  // namespace

int ImportWorkbook(const AppContext& ctx, TextGrid& grid, const ImportRequest& request,
                   const WorkbookOpener& open) {
    Progress& progress = ctx.ProgressDisplay();
    const QDate yesterday = ctx.now().date().addDays(-1);

    // Failures are told with their cause when SQLite names one, as for every other write.
    store::Database db(ctx, store::Database::Reports::ToCaller);
    bool inTransaction = false;
    bool progressShown = false;
    const auto finish = [&]() -> bool {
        if (inTransaction && !db.Commit()) {
            const QString text = db.StatementFailureText(u"COMMIT"_s);
            db.Rollback();
            db.ReportFailure(text);
            return false;
        }
        inTransaction = false;
        return true;
    };
    const auto dbFailure = [&](const QString& statement) {
        if (progressShown) progress.CloseProgress();
        // The cause of the failed statement, before committing the rows already stored.
        const QString text = db.StatementFailureText(statement);
        finish();
        db.ReportFailure(text);
        return -1;
    };

    try {
        std::unique_ptr<workbook::WorkbookReader> reader = open(request.path);
        reader->SelectSheet(request.sheet);

        if (!db.OpenDatabase()) return dbFailure(u"SELECT * FROM 记录"_s);
        qint32 start = 0;
        progress.ShowProgress(ImportProgressTitle(), request.lastRow - request.firstRow + 1, start);
        progressShown = true;

        const qint64 first = request.firstRow;
        const qint64 last = request.lastRow;
        if (first <= last) {
            if (!db.Begin()) return dbFailure(u"BEGIN"_s);
            inTransaction = true;
        }
        FreeDates freeDates(db, yesterday, last - first + 1);
        RowWriter writer(db, grid);
        std::vector<int> cols;  // the worksheet column of grid columns 2, 3 …
        for (int j = 2; j < grid.Cols() && j - 1 < kMappedColumns; ++j)
            cols.push_back(request.columnMap[static_cast<size_t>(j - 1)]);
        const std::unique_ptr<workbook::RowCursor> rows = reader->Rows(cols);
        QList<std::pair<qint64, int>> inexact;
        for (qint64 i = first; i <= last; ++i) {
            const int r = grid.AddRow();
            grid.SetText(r, 1, QString::number(grid.Rows() - 2));
            const std::vector<workbook::Cell>& cells = ReadRow(*rows, i);
            for (size_t k = 0; k < cells.size(); ++k) {
                // Blanks around a text would print in front of the field and shift it.
                grid.SetText(r, static_cast<int>(k) + 2, cells[k].text.trimmed());
                if (cells[k].inexact) inexact.append({i, cols[k]});
            }
            const std::optional<QDate> day = freeDates.Next();
            if (!day) return dbFailure(u"SELECT * FROM 记录"_s);
            const QString dat = store::DateText(QDateTime(*day, QTime(0, 0)));
            if (!writer.Store(dat, grid, r)) return dbFailure(writer.Shown());
            grid.SetText(r, 0, GridDateText(dat));
            progress.StepProgress(1, u"pages"_s);
        }
        const bool stored = finish();
        progress.CloseProgress();
        if (!stored) return -1;
        Tell(ctx, ImportDoneText(request.firstRow,
                                 last >= first ? request.lastRow : request.firstRow - 1) +
                      InexactCellsText(inexact));
        return 0;
    } catch (const WorkbookError& e) {
        if (progressShown) progress.CloseProgress();
        finish();
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
