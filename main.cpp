#include <QApplication>

#include "common/app_context.h"
#include "common/fonts.h"
#include "common/qt_translations.h"
#include "gui/dialogs/qt_prompt.h"
#include "gui/main/main_window.h"
#include "gui/main/session_end.h"
#include "gui/progress/indicator.h"
#include "store/database_setting.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyform"));
    // The desktop file of an installed copy, so the desktop shows its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tallyform"));
    tf::InstallFontSubstitutions();
    tf::InstallQtTranslations();

    tf::QtPrompt prompt;
    tf::AppContext ctx;
    ctx.dataDir = tf::AppContext::DefaultDataDir();
    ctx.SetPrompt(&prompt);
    tf::progress::Indicator indicator;
    ctx.SetProgress(&indicator);
    // The office server when one is chosen; if it cannot be used the clerk is told why and may
    // go on with the local file.
    tf::store::ApplyDatabaseChoice(ctx);
    tf::store::ConnectAtStart(ctx);

    tf::MF window(ctx);
    prompt.SetParent(&window);
    tf::KeepTextAtSessionEnd(window);
    window.show();
    return app.exec();
}
