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
bool DiskFull(const TextGrid& grid, const QString& path) {
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (!disk.isValid()) return false;
    qint64 size = 4096;
    for (int r = 1; r < grid.Rows(); ++r)
        for (int c = 1; c < grid.Cols(); ++c) size += grid.Text(r, c).size() + 8;
    return disk.bytesAvailable() < size;
}

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
    const int lastRow = grid.Rows() - 1;
    const int lastCol = grid.Cols() - 1;
    const FileFormat format = workbook::FormatOfPath(path);

    // A worksheet that cannot hold every row is not written at all: a workbook with records
    // silently missing would look complete.
    if (lastRow > workbook::MaxRows(format)) {
        const int headerRows = std::max(grid.FixedRows() - 1, 0);
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
    if (book) {
        // The writer wants widths and formats declared before the cells they cover.
        if (lastCol >= 1) {
            for (int c = 1; c <= lastCol; ++c)
                Attempt([&] {
                    book->SetColumnWidth(c, std::floor(grid.ColWidth(c) / kTwipsPerCharacter));
                });
            if (lastRow >= 1 && grid.FixedRows() >= 2) {
                const CellRange header{1, 1, grid.FixedRows() - 1, lastCol};
                Attempt([&] { book->Fill(header, kHeaderFill); });
                Attempt([&] { book->Bold(header); });
            }
            if (lastRow >= 1)
                Attempt([&] { book->Borders(CellRange{1, 1, lastRow, lastCol}, kThinBorder); });
        }
        for (int r = 1; r <= lastRow; ++r) {
            for (int c = 1; c <= lastCol; ++c) {
                const QString& text = grid.Text(r, c);
                if (!text.isEmpty()) Attempt([&] { book->WriteText(r, c, u' ' + text); });
            }
            progress.StepProgress(1, kPages);
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
        if (book && DiskFull(grid, path))
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

}  // namespace tf::history
