#include "history/export.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// Texts in UTF-8, one after another in one buffer: a row of the worksheet, or a batch of
// cells on their way to the workbook.
class Utf8Texts {
public:
    void Clear() {
        bytes_.clear();
        ends_.clear();
    }
    void Add(QByteArrayView text) {
        bytes_.append(text.data(), static_cast<size_t>(text.size()));
        ends_.push_back(bytes_.size());
    }
    // The text with one blank before it.
    void AddBlankAnd(QByteArrayView text) {
        bytes_.push_back(' ');
        Add(text);
    }
    size_t Size() const { return ends_.size(); }
    QByteArrayView At(size_t i) const {
        const size_t from = i == 0 ? 0 : ends_[i - 1];
        return {bytes_.data() + from, static_cast<qsizetype>(ends_[i] - from)};
    }

private:
    std::string bytes_;
    std::vector<size_t> ends_;
};

// The characters of a UTF-8 text (every byte that does not continue a character).
qsizetype CharactersIn(QByteArrayView utf8) {
    qsizetype n = 0;
    for (const char b : utf8) n += (static_cast<unsigned char>(b) & 0xC0) != 0x80;
    return n;
}

// The worksheet an export writes, row by row from the first: a header at the top, records
// below. Column c of a row is its text c - 1.
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
    virtual bool Row(int r, Utf8Texts& texts) = 0;
};

// The grid as it stands: rows 1 … and columns 1 … (row 0 and column 0 are hidden bookkeeping).
class GridTable : public ExportTable {
public:
    explicit GridTable(const TextGrid& grid) : grid_(grid) {}
    int LastRow() const override { return grid_.Rows() - 1; }
    int LastCol() const override { return grid_.Cols() - 1; }
    int HeaderRows() const override { return std::max(grid_.FixedRows() - 1, 0); }
    double ColumnTwips(int col) const override { return grid_.ColWidth(col); }
    bool Row(int r, Utf8Texts& texts) override {
        texts.Clear();
        for (int c = 1; c <= LastCol(); ++c) texts.Add(grid_.Text(r, c).toUtf8());
        return true;
    }

private:
    const TextGrid& grid_;
};

// Records read from the store a chunk at a time: memory stays the same for any number. Their
// texts stay in UTF-8 from the store to the workbook.
constexpr qsizetype kExportChunk = 1000;

class RecordTable : public ExportTable {
public:
    RecordTable(store::RecordStore& records, const QList<store::RecordKey>& keys,
                const ExportLayout& layout)
        : records_(records), keys_(keys), layout_(layout), printedBy_(records.KeepsPrintedBy()) {
        slotOfField_.fill(-1);
        for (size_t i = 0; i < store::kShownFields.size(); ++i)
            slotOfField_[static_cast<size_t>(store::kShownFields[i])] = static_cast<int>(i);
    }
    int LastRow() const override { return static_cast<int>(keys_.size()) + 1; }
    int LastCol() const override {
        return static_cast<int>(store::kShownFields.size()) + 1 + (printedBy_ ? 1 : 0);
    }
    int HeaderRows() const override { return 1; }
    double ColumnTwips(int col) const override { return layout_.widths.value(col - 1); }
    bool Row(int r, Utf8Texts& texts) override {
        texts.Clear();
        if (r == 1) {
            for (int c = 1; c <= LastCol(); ++c) texts.Add(layout_.captions.value(c - 1).toUtf8());
            return true;
        }
        const qsizetype at = r - 2;
        if (at >= chunkStart_ + static_cast<qsizetype>(chunk_.size()) && !ReadChunk(at))
            return false;
        texts.Add(QByteArray::number(r - 1));
        // A key whose record was deleted meanwhile has no texts, and its row stays empty.
        for (const Span& span : chunk_[static_cast<size_t>(at - chunkStart_)])
            texts.Add(QByteArrayView(bytes_.data() + span.from, span.size));
        return true;
    }

private:
    // Where a text lies in bytes_.
    struct Span {
        size_t from = 0;
        qsizetype size = 0;
    };
    static constexpr size_t kSlots = store::kShownFields.size() + 1;  // + who stored it
    using Texts = std::array<Span, kSlots>;

    bool ReadChunk(qsizetype at) {
        chunkStart_ = at;
        const qsizetype n = std::min(kExportChunk, keys_.size() - at);
        chunk_.assign(static_cast<size_t>(n), Texts{});
        bytes_.clear();
        const size_t lastSlot = printedBy_ ? kSlots : kSlots - 1;
        return records_.ReadShownUtf8(
            {keys_.constData() + at, static_cast<size_t>(n)},
            [&](size_t i, int field, QByteArrayView text) {
                const int slot = field == store::kPrintedByField ? static_cast<int>(kSlots - 1)
                                 : field >= 0 && field <= kLastField
                                     ? slotOfField_[static_cast<size_t>(field)]
                                     : -1;
                if (slot < 0 || static_cast<size_t>(slot) >= lastSlot) return;
                chunk_[i][static_cast<size_t>(slot)] = {bytes_.size(), text.size()};
                bytes_.append(text.data(), static_cast<size_t>(text.size()));
            });
    }

    store::RecordStore& records_;
    const QList<store::RecordKey>& keys_;
    const ExportLayout& layout_;
    const bool printedBy_;
    std::array<int, kLastField + 1> slotOfField_{};  // the column of a shown field, less 2
    std::vector<Texts> chunk_;
    std::string bytes_;
    qsizetype chunkStart_ = 0;
};

// Writes cells into a workbook on a thread of its own, in the order they were added, so that
// reading the next rows and writing the last ones overlap. Cells go over in batches, and only
// a few batches wait at a time: memory stays bounded however long the table. Every text is
// written with one blank before it; a cell that cannot be written is skipped, as every
// formatting step is.
class CellWriter {
public:
    explicit CellWriter(workbook::WorkbookWriter& book) : book_(book) {
        thread_ = std::thread([this] { Run(); });
    }
    CellWriter(const CellWriter&) = delete;
    CellWriter& operator=(const CellWriter&) = delete;
    ~CellWriter() { Finish(); }

    void Add(int row, int col, QByteArrayView text) {
        batch_.places.emplace_back(row, col);
        batch_.texts.AddBlankAnd(text);
        if (batch_.places.size() >= kBatchCells) Send();
    }

    // Returns once every cell added has been written; the workbook is then the caller's again.
    void Finish() {
        if (!thread_.joinable()) return;
        Send();
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        ready_.notify_one();
        thread_.join();
    }

private:
    struct Batch {
        std::vector<std::pair<int, int>> places;  // row, column of each text
        Utf8Texts texts;
    };
    static constexpr size_t kBatchCells = 4096;
    static constexpr size_t kWaitingBatches = 4;

    void Send() {
        if (batch_.places.empty()) return;
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [this] { return queue_.size() < kWaitingBatches; });
            queue_.push_back(std::move(batch_));
        }
        ready_.notify_one();
        batch_ = {};
    }

    void Run() {
        for (;;) {
            Batch batch;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !queue_.empty() || finished_; });
                if (queue_.empty()) return;
                batch = std::move(queue_.front());
                queue_.pop_front();
            }
            room_.notify_one();
            for (size_t i = 0; i < batch.places.size(); ++i) {
                const auto [row, col] = batch.places[i];
                Attempt([&] { book_.WriteUtf8(row, col, batch.texts.At(i)); });
            }
        }
    }

    workbook::WorkbookWriter& book_;
    Batch batch_;
    std::mutex mutex_;
    std::condition_variable ready_;  // a batch waits, or no more will come
    std::condition_variable room_;   // the queue has room for another batch
    std::deque<Batch> queue_;
    bool finished_ = false;
    std::thread thread_;
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
        Utf8Texts texts;
        bool read = true;
        CellWriter cells(*book);
        for (int r = 1; read && r <= lastRow; ++r) {
            read = table.Row(r, texts);
            for (int c = 1; read && c <= lastCol && static_cast<size_t>(c) <= texts.Size(); ++c) {
                const QByteArrayView text = texts.At(static_cast<size_t>(c - 1));
                estimate += CharactersIn(text) + 8;
                if (!text.isEmpty()) cells.Add(r, c, text);
            }
            progress.StepProgress(1, kPages);
        }
        cells.Finish();
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
