#include "gui/database/database_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/prompt.h"
#include "gui/window_utils.h"
#include "store/record_store.h"
#include "store/server_address.h"
#include "store/server_copy.h"
#include "store/settings.h"

using namespace Qt::StringLiterals;

namespace tf::gui {

namespace {

// The database a context uses: the server's URI, or empty for the local file.
QString InUse(const AppContext& ctx) {
    return ctx.database->UsesServer() ? ctx.database->serverUri : QString();
}

// An empty port is libpq's default.
bool PortValid(const QString& port) {
    if (port.trimmed().isEmpty()) return true;
    bool ok = false;
    const int n = port.trimmed().toInt(&ok);
    return ok && n >= 1 && n <= 65535;
}

QLineEdit* Box(const QString& name, const QString& placeholder, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setPlaceholderText(placeholder);
    return box;
}

}  // namespace

void DatabaseDialogUi::SetupUi(QDialog* dialog) {
    dialog->setObjectName(u"DatabaseDialog"_s);
    dialog->setWindowTitle(DatabaseDialogCaption());

    localFile = new QRadioButton(u"本机数据文件"_s, dialog);
    localFile->setObjectName(u"localFile"_s);
    server = new QRadioButton(u"办公室数据库服务器"_s, dialog);
    server->setObjectName(u"server"_s);
    auto* group = new QButtonGroup(dialog);
    group->addButton(localFile);
    group->addButton(server);

    host = Box(u"serverHost"_s, u"主机名、IP 地址，或以 / 开头的套接字文件夹"_s, dialog);
    port = Box(u"serverPort"_s, u"5432"_s, dialog);
    port->setMaxLength(5);
    name = Box(u"databaseName"_s, u"留空则与用户名相同"_s, dialog);
    user = Box(u"userName"_s, u"留空则用本机的登录名"_s, dialog);
    auto* serverForm = new QFormLayout;
    serverForm->setContentsMargins(24, 0, 0, 0);
    serverForm->addRow(u"服务器："_s, host);
    serverForm->addRow(u"端口："_s, port);
    serverForm->addRow(u"数据库："_s, name);
    serverForm->addRow(u"用户名："_s, user);
    auto* passwordNote = new QLabel(
        u"密码不在这里保存：由 ~/.pgpass 提供，或在连接服务器时询问（只用于本次运行）。"_s, dialog);
    passwordNote->setObjectName(u"passwordNote"_s);
    passwordNote->setWordWrap(true);
    serverForm->addRow(passwordNote);

    environmentNote = new QLabel(dialog);
    environmentNote->setObjectName(u"environmentNote"_s);
    environmentNote->setWordWrap(true);
    QPalette red = environmentNote->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    environmentNote->setPalette(red);
    environmentNote->hide();

    copyToServer = new QAction(u"复制本机数据到服务器"_s, dialog);
    copyToServer->setObjectName(u"actionCopyToServer"_s);
    dialog->addAction(copyToServer);
    copyButton = new QPushButton(copyToServer->text(), dialog);
    copyButton->setObjectName(u"copyToServerButton"_s);
    copyButton->setAutoDefault(false);
    ShowAction(copyButton, copyToServer);
    ok = new QPushButton(u"确定"_s, dialog);
    ok->setObjectName(u"okButton"_s);
    ok->setDefault(true);
    cancel = new QPushButton(u"取消"_s, dialog);
    cancel->setObjectName(u"cancelButton"_s);
    cancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copyButton);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(localFile);
    layout->addWidget(server);
    layout->addLayout(serverForm);
    layout->addWidget(environmentNote);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    dialog->setMinimumWidth(440);
}

DatabaseDialog::DatabaseDialog(const AppContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    ui_.SetupUi(this);
    connect(ui_.server, &QRadioButton::toggled, this, &DatabaseDialog::ServerChosen);
    connect(ui_.ok, &QPushButton::clicked, this, &DatabaseDialog::Accept);
    connect(ui_.cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_.copyToServer, &QAction::triggered, this, &DatabaseDialog::CopyToServer);

    ShowSetting(store::ReadDatabaseSetting(ctx_));
    const QString fromEnv = qEnvironmentVariable("TALLYFORM_DATABASE").trimmed();
    if (!fromEnv.isEmpty()) {
        // Named without its password, should the URI hold one.
        const auto address = store::ParseServerUri(fromEnv);
        ui_.environmentNote->setText(
            u"环境变量 TALLYFORM_DATABASE 指定了本次运行的数据库%1。这里的选择会保存，"
            u"但只在没有设置这个环境变量时生效。"_s.arg(address ? u"（%1）"_s.arg(address->Shown())
                                                                : QString()));
        ui_.environmentNote->show();
    }
    ui_.copyToServer->setEnabled(ctx_.database->UsesServer());
    if (!ctx_.database->UsesServer())
        ui_.copyButton->setToolTip(u"先选择办公室数据库服务器并确定，再复制本机数据。"_s);
}

void DatabaseDialog::ShowSetting(const store::DatabaseSetting& s) {
    ui_.host->setText(s.host);
    ui_.port->setText(s.port);
    ui_.name->setText(s.name);
    ui_.user->setText(s.user);
    (s.server ? ui_.server : ui_.localFile)->setChecked(true);
    ServerChosen(s.server);
}

store::DatabaseSetting DatabaseDialog::SettingFromControls() const {
    return store::DatabaseSetting{.server = ui_.server->isChecked(),
                                  .host = ui_.host->text().trimmed(),
                                  .port = ui_.port->text().trimmed(),
                                  .name = ui_.name->text().trimmed(),
                                  .user = ui_.user->text().trimmed()};
}

void DatabaseDialog::ServerChosen(bool chosen) {
    for (QLineEdit* box : {ui_.host, ui_.port, ui_.name, ui_.user}) box->setEnabled(chosen);
}

void DatabaseDialog::Accept() {
    const store::DatabaseSetting setting = SettingFromControls();
    if (setting.server && !PortValid(setting.port)) {
        ctx_.UserPrompt().Message(u"端口应是 1 到 65535 之间的整数；留空则用 5432。"_s);
        ui_.port->setFocus();
        ui_.port->selectAll();
        return;
    }
    if (!store::WriteDatabaseSetting(ctx_, setting)) {
        ctx_.UserPrompt().Message(
            u"数据库设置没有保存！\n设置文件“%1”无法写入，"
            u"现在使用的数据库保持不变。"_s.arg(print::SettingsFilePath(ctx_)));
        return;
    }
    const QString before = InUse(ctx_);
    // As at start: a server that cannot be used is told by its cause, and the local file is
    // offered for the rest of the run.
    store::ApplyDatabaseChoice(ctx_);
    const bool connected = store::ConnectAtStart(ctx_);
    // A server refused without going back to the local file holds nothing to reload from.
    switched_ = InUse(ctx_) != before && (connected || !ctx_.database->UsesServer());
    accept();
}

void DatabaseDialog::CopyToServer() {
    const AppContext local = store::LocalFileContext(ctx_);
    const QString path = QFileInfo(local.DatabasePath()).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        ctx_.UserPrompt().Message(u"本机没有数据文件“%1”，没有可以复制的数据。"_s.arg(path));
        return;
    }
    const std::unique_ptr<store::RecordStore> records = store::OpenRecordStore(local);
    store::CopyLocalDataToServer(ctx_, *records);
}

bool EditDatabaseSetting(const AppContext& ctx, QWidget* parent) {
    DatabaseDialog dialog(ctx, parent);
    dialog.exec();
    return dialog.Switched();
}

}  // namespace tf::gui
