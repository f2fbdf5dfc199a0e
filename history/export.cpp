#include "history/export.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cmath>

#include "common/app_context.h"
#include "common/progress.h"
#include "common/prompt.h"
#include "common/temp_files.h"

namespace tf::history {

using workbook::CellRange;
using workbook::FileFormat;

namespace {

constexpr qint32 kHeaderFill = 13684944;  // 0x00D0D0D0: red, green and blue 208
constexpr int kThinBorder = 2;
constexpr double kTwipsPerCharacter = 123;

const QString kPages = QStringLiteral("pages");

// Runs one step of the export; a step that fails is skipped and the export goes on.
template <typename F>
void Attempt(F&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

void Tell(const AppContext& ctx, const QString& text) {
    ctx.UserPrompt().Message(text);
}

QString Quoted(const QString& path) {
    return u'“' + QDir::toNativeSeparators(path) + u'”';
}

// Whether the target's disk lacks room for the workbook: the free space after the failed save
// (its partial file is gone again) below a low estimate of the file's size, the texts with
// a few bytes of record around each cell.
bool DiskFull(qint64 estimate, const QString& path) {
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    return disk.isValid() && disk.bytesAvailable() < estimate;
}

// The worksheet an export writes, row by row from the first: a header at the top, records
// below. Column c of a row is texts[c - 1].
class ExportTable {
public:
    virtual ~ExportTable() = default;
    virtual int LastRow() const = 0;
    virtual int LastCol() const = 0;
    // The rows at the top that form the header (grey and bold).
    virtual int HeaderRows() const = 0;
    // The width the list gives column c, twips.
    virtual double ColumnTwips(int col) const = 0;
    // The texts of row r, asked for in order; false when they cannot be read (the clerk has
    // been told why).
    virtual bool Row(int r, QStringList& texts) = 0;
};

// The grid as it stands: rows 1 … and columns 1 … (row 0 and column 0 are hidden bookkeeping).
class GridTable : public ExportTable {
public:
    explicit GridTable(const TextGrid& grid) : grid_(grid) {}
    int LastRow() const override { return grid_.Rows() - 1; }
    int LastCol() const override { return grid_.Cols() - 1; }
    int HeaderRows() const override { return std::max(grid_.FixedRows() - 1, 0); }
    double ColumnTwips(int col) const override { return grid_.ColWidth(col); }
    bool Row(int r, QStringList& texts) override {
        texts.clear();
        for (int c = 1; c <= LastCol(); ++c) texts.append(grid_.Text(r, c));
        return true;
    }

private:
    const TextGrid& grid_;
};

// Records read from the store a chunk at a time: memory stays the same for any number.
constexpr qsizetype kExportChunk = 1000;

class RecordTable : public ExportTable {
public:
    RecordTable(store::RecordStore& records, const QList<store::RecordKey>& keys,
                const ExportLayout& layout)
        : records_(records), keys_(keys), layout_(layout), printedBy_(records.KeepsPrintedBy()) {}
    int LastRow() const override { return static_cast<int>(keys_.size()) + 1; }
    int LastCol() const override {
        return static_cast<int>(store::kShownFields.size()) + 1 + (printedBy_ ? 1 : 0);
    }
    int HeaderRows() const override { return 1; }
    double ColumnTwips(int col) const override { return layout_.widths.value(col - 1); }
    bool Row(int r, QStringList& texts) override {
        texts.clear();
        if (r == 1) {
            for (int c = 1; c <= LastCol(); ++c) texts.append(layout_.captions.value(c - 1));
            return true;
        }
        const qsizetype at = r - 2;
        if (at >= chunkStart_ + chunk_.size()) {
            chunkStart_ = at;
            const qsizetype n = std::min(kExportChunk, keys_.size() - at);
            const std::optional<QList<store::Record>> read = records_.ReadRecords(
                {keys_.constData() + at, static_cast<size_t>(n)}, store::Fields::Shown);
            if (!read) return false;
            // The records come in the order of the keys; a key whose record was deleted
            // meanwhile is passed over, and its row stays empty.
            chunk_.fill(store::Record(), n);
            qsizetype i = 0;
            for (const store::Record& record : *read) {
                while (i < n && keys_[at + i] != record.key) ++i;
                if (i == n) break;
                chunk_[i++] = record;
            }
        }
        const store::Record& record = chunk_[at - chunkStart_];
        texts.append(QString::number(r - 1));
        for (const int field : store::kShownFields) texts.append(record.texts[field]);
        if (printedBy_) texts.append(record.printedBy);
        return true;
    }

private:
    store::RecordStore& records_;
    const QList<store::RecordKey>& keys_;
    const ExportLayout& layout_;
    const bool printedBy_;
    QList<store::Record> chunk_;
    qsizetype chunkStart_ = 0;
};

bool ExportTableTo(const AppContext& ctx, ExportTable& table, const QString& path,
                   const WorkbookFactory& create);

}  // namespace

QString ChooseSaveWorkbook(Prompt& prompt) {
    const QString xlsx = QStringLiteral("Excel 2007 工作簿 (*.xlsx)");
    QString type;
    QString name =
        prompt.SaveFileName(QStringLiteral("导出数据"),
                            QStringLiteral("Excel 工作簿 (*.xls);;") + xlsx, QString(), &type);
    if (name.isEmpty()) return {};
    if (!name.endsWith(u".xls", Qt::CaseInsensitive) &&
        !name.endsWith(u".xlsx", Qt::CaseInsensitive))
        name += type == xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".xls");
    return name;
}

bool ExportGrid(const AppContext& ctx, const TextGrid& grid, const QString& path) {
    return ExportGrid(ctx, grid, path, workbook::CreateWorkbook);
}

bool ExportGrid(const AppContext& ctx, const TextGrid& grid, const QString& path,
                const WorkbookFactory& create) {
    GridTable table(grid);
    return ExportTableTo(ctx, table, path, create);
}

bool ExportRecords(const AppContext& ctx, store::RecordStore& records,
                   const QList<store::RecordKey>& keys, const ExportLayout& layout,
                   const QString& path, const WorkbookFactory& create) {
    RecordTable table(records, keys, layout);
    return ExportTableTo(ctx, table, path, create);
}

namespace {

bool ExportTableTo(const AppContext& ctx, ExportTable& table, const QString& path,
                   const WorkbookFactory& create) {
    const int lastRow = table.LastRow();
    const int lastCol = table.LastCol();
    const FileFormat format = workbook::FormatOfPath(path);

    // A worksheet that cannot hold every row is not written at all: a workbook with records
    // silently missing would look complete.
    if (lastRow > workbook::MaxRows(format)) {
        const int headerRows = table.HeaderRows();
        const QString records = QString::number(lastRow - headerRows);
        const QString room = QString::number(workbook::MaxRows(format) - headerRows);
        if (format == FileFormat::Xls)
            Tell(ctx, QStringLiteral("共有") + records +
                          QStringLiteral("条记录，而.xls文件最多只能保存") + room +
                          QStringLiteral("条，文件") + Quoted(path) +
                          QStringLiteral("没有保存。\n请另存为.xlsx文件（文件名以.xlsx结尾）。"));
        else
            Tell(ctx, QStringLiteral("共有") + records +
                          QStringLiteral("条记录，而工作表最多只能保存") + room +
                          QStringLiteral("条，文件") + Quoted(path) + QStringLiteral("没有保存。"));
        return false;
    }

    Progress& progress = ctx.ProgressDisplay();
    qint32 start = 0;
    progress.ShowProgress(QStringLiteral("正在保存为Excel文件 …"), lastRow, start);

    std::unique_ptr<workbook::WorkbookWriter> book;
    RemoveStaleTemporaries(QFileInfo(path).absolutePath());  // left by a run killed while saving
    Attempt([&] { book = create(path); });
    progress.StepProgress(1, kPages);
    progress.StepProgress(1, kPages);  // the first worksheet is the one written

    bool saved = false;
    qint64 estimate = 4096;
    if (book) {
        // The writer wants widths and formats declared before the cells they cover.
        if (lastCol >= 1) {
            for (int c = 1; c <= lastCol; ++c)
                Attempt([&] {
                    book->SetColumnWidth(c, std::floor(table.ColumnTwips(c) / kTwipsPerCharacter));
                });
            if (lastRow >= 1 && table.HeaderRows() >= 1) {
                const CellRange header{1, 1, table.HeaderRows(), lastCol};
                Attempt([&] { book->Fill(header, kHeaderFill); });
                Attempt([&] { book->Bold(header); });
            }
            if (lastRow >= 1)
                Attempt([&] { book->Borders(CellRange{1, 1, lastRow, lastCol}, kThinBorder); });
        }
        QStringList texts;
        bool read = true;
        for (int r = 1; read && r <= lastRow; ++r) {
            read = table.Row(r, texts);
            for (int c = 1; read && c <= lastCol; ++c) {
                const QString& text = texts[c - 1];
                estimate += text.size() + 8;
                if (!text.isEmpty()) Attempt([&] { book->WriteText(r, c, u' ' + text); });
            }
            progress.StepProgress(1, kPages);
        }
        // Records that could not all be read make no workbook (the clerk has been told why).
        if (!read) {
            progress.CloseProgress();
            return false;
        }
        try {
            book->Save();
            saved = true;
        } catch (const std::exception&) {
        }
    }
    progress.CloseProgress();

    if (!saved) {
        QString text = QStringLiteral("文件") + Quoted(path);
        if (book && DiskFull(estimate, path))
            text += QStringLiteral("未能保存：磁盘已满。\n请腾出磁盘空间后再试。");
        else
            text += QStringLiteral(
                "未能保存。\n请检查该文件夹是否允许写入、磁盘空间是否足够，"
                "以及该文件是否正被其他程序打开。");
        if (QFileInfo::exists(path)) text += QStringLiteral("\n原有的同名文件没有改动。");
        Tell(ctx, text);
    }
    return saved;
}

}  // namespace

}  // namespace tf::history
