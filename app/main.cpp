#include <QApplication>

#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_prompt.h"
#include "common/app_context.h"
#include "progress/indicator.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyform"));
    tf::InstallFontSubstitutions();

    tf::QtPrompt prompt;
    tf::AppContext ctx;
    ctx.dataDir = tf::AppContext::DefaultDataDir();
    ctx.SetPrompt(&prompt);
    tf::progress::Indicator indicator;
    ctx.SetProgress(&indicator);

    tf::MF window(ctx);
    prompt.SetParent(&window);
    window.show();
    return app.exec();
}
