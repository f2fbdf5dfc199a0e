#pragma once

#include <QDialog>
#include <optional>

#include "common/app_context.h"
#include "history/import.h"
#include "history/text_grid.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace tf::history {

class PlainGridModel;

inline QString ColumnDialogCaption() {
    return QStringLiteral("请根据XLS表格示例填写数据列对应关系");
}

// The column dialog: the range of worksheet rows to import and, for every voucher field, the
// worksheet column holding it, beside a sample of the sheet's top left corner. "确 定" hands
// the choice to `result`; "取 消" and the close box leave it empty.
class fOpen : public QDialog {
    Q_OBJECT
public:
    fOpen(const AppContext& ctx, const QString& path, const QString& sheet,
          std::optional<ImportRequest>& result, QWidget* parent = nullptr);

    // Loads the sample; a failure is shown and the dialog stays with what was read.
    void DisplayXls(const WorkbookOpener& open);

    // Row boxes 0 and 1, mapping boxes 10 … 27.
    QLineEdit* Text1(int index) const;
    QPushButton* QQB(int index) const { return qqb_[index]; }
    QTableView* MSF() const { return msf_; }
    const TextGrid& Sample() const { return sample_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void QQB_Click(int index);

    const AppContext& ctx_;
    QString path_;
    QString sheet_;
    std::optional<ImportRequest>& result_;
    QLineEdit* rows_[2] = {nullptr, nullptr};
    QLineEdit* boxes_[kMappedColumns] = {};
    QPushButton* qqb_[2] = {nullptr, nullptr};
    TextGrid sample_;
    PlainGridModel* model_ = nullptr;
    QTableView* msf_ = nullptr;
};

// Shows the column dialog for the sheet and waits until it is closed; the choice, or
// nothing when cancelled.
std::optional<ImportRequest> ChooseColumns(const AppContext& ctx, const QString& path,
                                           const QString& sheet, const WorkbookOpener& open);

}  // namespace tf::history
