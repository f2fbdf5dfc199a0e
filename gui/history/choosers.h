#pragma once

#include <QDialog>
#include <QString>

#include "common/app_context.h"
#include "history/import.h"
#include "history/text_grid.h"

class QPushButton;
class QTableView;

namespace tf::history {

class PlainGridModel;

inline QString SheetsCaption() {
    return QStringLiteral("选择要导入的表格");
}
inline QString WorkbookFilter() {
    return QStringLiteral("Excel 工作簿 (*.xls *.xlsx)");
}

// The file-open dialog for a workbook to import: the chosen path, or "" when cancelled or
// when the file is not a workbook (.xls or .xlsx in any case), which the user is told.
QString ChooseOpenWorkbook(const AppContext& ctx);

// The worksheet chooser "选择要导入的表格": the workbook's sheets in its own order, the
// first marked "√". A press on a mark cell moves the single mark there, or removes it from a
// marked row. "确  定" chooses the marked sheet ("" when none), "取  消" chooses nothing.
class Sheets : public QDialog {
    Q_OBJECT
public:
    Sheets(const QStringList& sheetNames, QString& sheetName, QWidget* parent = nullptr);

    QTableView* SHL() const { return shl_; }
    QPushButton* IMG(int index) const { return img_[index]; }
    const TextGrid& Grid() const { return grid_; }
    // The selection mode the caller asked for; 1 is a single sheet.
    QString Mode;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void SHL_MouseDown(int row, int col);
    void IMG_Click(int index);

    QString& sheetName_;
    TextGrid grid_;
    PlainGridModel* model_ = nullptr;
    QTableView* shl_ = nullptr;
    QPushButton* img_[2] = {nullptr, nullptr};
};

struct WorkbookAndSheet {
    QString path;   // "" when no workbook was chosen
    QString sheet;  // "" when no sheet was chosen
};

// The file dialog, then the worksheet chooser over the chosen workbook; waits until both
// are closed. A workbook that cannot be read is refused with the cause, choosing no sheet.
WorkbookAndSheet ChooseWorkbookAndSheet(const AppContext& ctx, int mode,
                                        const WorkbookOpener& open);

}  // namespace tf::history
