#pragma once

#include <QDialog>

#include "common/app_context.h"
#include "store/database_setting.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tf::gui {

inline QString DatabaseDialogCaption() {
    return QStringLiteral("数据库设置");
}

// The controls of "数据库设置", created and named by SetupUi; the dialog connects them.
struct DatabaseDialogUi {
    QRadioButton* localFile = nullptr;  // "本机数据文件"
    QRadioButton* server = nullptr;     // "办公室数据库服务器"
    // The server's parts, enabled only while the server is chosen.
    QLineEdit* host = nullptr;  // a host name, an address, or a socket folder
    QLineEdit* port = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* user = nullptr;
    // Shown when TALLYFORM_DATABASE names the database whatever is chosen here.
    QLabel* environmentNote = nullptr;
    // "复制本机数据到服务器", enabled while the server is in use.
    QAction* copyToServer = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

    void SetupUi(QDialog* dialog);
};

// "数据库设置": the local file or the office server, kept in Tallyform.ini. OK writes the
// choice and puts it to use for this run, connecting as at start (the clerk is told why a
// server cannot be used and offered the local file); Cancel changes nothing. No password is
// asked here or kept: the server asks for one when it connects.
class DatabaseDialog : public QDialog {
    Q_OBJECT
public:
    DatabaseDialog(const AppContext& ctx, QWidget* parent = nullptr);

    const DatabaseDialogUi& Ui() const { return ui_; }
    // The database in use changed when OK was pressed (another server, the server instead of
    // the local file, or back).
    bool Switched() const { return switched_; }

private:
    void ShowSetting(const store::DatabaseSetting& setting);
    store::DatabaseSetting SettingFromControls() const;
    void ServerChosen(bool chosen);
    void Accept();
    void CopyToServer();

    AppContext ctx_;
    DatabaseDialogUi ui_;
    bool switched_ = false;
};

// Opens "数据库设置" and waits for it; true when the database in use changed.
bool EditDatabaseSetting(const AppContext& ctx, QWidget* parent);

}  // namespace tf::gui
