#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "common/fonts.h"
#include "common/qt_translations.h"
#include "gui/dialogs/qt_prompt.h"
#include "gui/editor/voucher_editor.h"
#include "gui/history/history_view.h"
#include "gui/history/old_rec.h"
#include "gui/main/help_page.h"
#include "gui/main/main_window.h"
#include "support/test_env.h"
#include "support/window_support.h"

using namespace tf;
using namespace Qt::StringLiterals;

// The program as a Chinese desktop user meets it: Qt's own dialogs in Chinese, the font
// dialog keeping the field's font, and the keyboard shortcuts of the buttons.

namespace {

struct NoVoucher : history::VoucherFields {
    QString Caption(int field) const override { return QString::number(field); }
    void TakeText(int, const QString&) override {}
};

// The history window over an empty list, shown and active.
std::unique_ptr<history::OldRec> OpenHistory(test::TestEnv& env) {
    env.CreateDatabase();
    auto rec = std::make_unique<history::OldRec>(env.ctx, std::make_unique<NoVoucher>());
    rec->show();
    rec->activateWindow();
    if (!QTest::qWaitForWindowActive(rec.get())) return nullptr;
    return rec;
}

// The font dialog's font as the clerk changes it before pressing OK.
enum class Change { SizeTo14, Bold, FamilyToSans };

}  // namespace

Q_DECLARE_METATYPE(Change)

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    void printDialogSpeaksChinese_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("Chinese desktop") << QLocale(QLocale::Chinese, QLocale::China);
        QTest::newRow("English desktop falls back to Chinese")
            << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German desktop falls back to Chinese")
            << QLocale(QLocale::German, QLocale::Germany);
    }

    void printDialogSpeaksChinese() {
        QFETCH(QLocale, locale);
        QVERIFY(InstallQtTranslations(locale));
        QPrinter printer;
        QPrintDialog dialog(&printer);
        auto* box = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(box);
        QPushButton* print = box->button(QDialogButtonBox::Ok);
        QPushButton* cancel = box->button(QDialogButtonBox::Cancel);
        QVERIFY(print && cancel);
        QCOMPARE(print->text(), u"打印(&P)"_s);
        QCOMPARE(cancel->text(), u"取消"_s);
    }

    void helpPageFound_data() {
        QTest::addColumn<QStringList>("pages");  // help pages present, relative to a root
        QTest::addColumn<QString>("found");
        const QString beside = u"prefix/bin/help/index.html"_s;
        const QString installed = u"prefix/share/tallyform/help/index.html"_s;
        const QString data = u"data/tallyform/help/index.html"_s;
        QTest::newRow("beside the program") << QStringList{beside} << beside;
        QTest::newRow("installed share folder") << QStringList{installed} << installed;
        QTest::newRow("desktop data folder") << QStringList{data} << data;
        QTest::newRow("beside the program first") << QStringList{installed, beside, data} << beside;
        QTest::newRow("nowhere") << QStringList{} << QString();
    }

    void helpPageFound() {
        QFETCH(QStringList, pages);
        QFETCH(QString, found);
        QTemporaryDir root;
        QDir(root.path()).mkpath(u"prefix/bin"_s);
        for (const QString& page : pages) {
            QDir(root.path()).mkpath(QFileInfo(page).path());
            QFile f(root.filePath(page));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString result = FindHelpPage(root.filePath(u"prefix/bin"_s),
                                            {root.filePath(u"none"_s), root.filePath(u"data"_s)});
        QCOMPARE(result, found.isEmpty() ? QString() : root.filePath(found));
    }

    // The help page tells the clerk where Par.mdb lives as the program finds it: the per-user
    // data folder, a copy beside the program, or the folder TALLYFORM_DATA_DIR names.
    void helpPageNamesWhereTheDataLives() {
        QFile page(QStringLiteral(TALLYFORM_HELP_DIR "/index.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        // The per-user folder of the program (named as main() names it) for a clerk's home.
        const QString testName = QCoreApplication::applicationName();
        const QByteArray home = qgetenv("HOME");
        const QByteArray xdg = qgetenv("XDG_DATA_HOME");
        QCoreApplication::setApplicationName(u"Tallyform"_s);
        qputenv("HOME", "/home/clerk");
        qunsetenv("XDG_DATA_HOME");
        const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QCoreApplication::setApplicationName(testName);
        qputenv("HOME", home);
        if (!xdg.isNull()) qputenv("XDG_DATA_HOME", xdg);
        const QString shown = QString(userDir).replace(u"/home/clerk"_s, u"~"_s) + u"/Par.mdb"_s;
        QVERIFY2(html.contains(shown), qPrintable(shown));
        QVERIFY(html.contains(u"TALLYFORM_DATA_DIR"_s));
        QVERIFY(html.contains(u"程序所在的文件夹里已经有一个 <code>Par.mdb</code>"_s));
        QVERIFY2(!html.contains(u"程序目录下的"_s), "the old location is named");
    }

    void fontDialogKeepsFieldFont_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("face");  // what the dialog opens on
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("saved");
        QTest::newRow("size only keeps 宋体")
            << u"宋体"_s << u"Noto Serif CJK SC"_s << Change::SizeTo14 << u"宋体"_s;
        QTest::newRow("bold only keeps 黑体")
            << u"黑体"_s << u"Noto Sans CJK SC"_s << Change::Bold << u"黑体"_s;
        QTest::newRow("another face is stored as chosen")
            << u"宋体"_s << u"Noto Serif CJK SC"_s << Change::FamilyToSans << u"Noto Sans CJK SC"_s;
    }

    // The real font dialog, opened from the field's menu item, through to the layout.
    void fontDialogKeepsFieldFont() {
        QFETCH(QString, stored);
        QFETCH(QString, face);
        QFETCH(Change, change);
        QFETCH(QString, saved);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QFont font(stored);
        font.setPointSizeF(9);
        w->Editor()->Field(FieldRole::DrawerAccount)->setFont(font);
        QtPrompt qtPrompt(w.get());
        env.ctx.SetPrompt(&qtPrompt);

        QString opened;
        double openedSize = 0;
        test::RetryUntil([&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != u"FontColourDialog"_s) return false;
            auto* fonts = dialog->findChild<QFontDialog*>(u"fontDialog"_s);
            QFont f = fonts->currentFont();
            opened = f.family();
            openedSize = f.pointSizeF();
            if (change == Change::SizeTo14) f.setPointSizeF(14);
            // The dialog's own fonts carry a style name, which decides over the weight.
            if (change == Change::Bold)
                f = QFontDatabase::font(f.family(), u"Bold"_s, f.pointSize());
            if (change == Change::FamilyToSans) f.setFamily(u"Noto Sans CJK SC"_s);
            fonts->setCurrentFont(f);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return true;
        });
        w->Editor()->ChangeFieldFont(6);
        w->Editor()->CaptureLayout();
        env.ctx.SetPrompt(&env.prompt);

        QCOMPARE(opened, face);
        QCOMPARE(openedSize, 9.0);
        const FieldFormat& f = w->FieldFormats()[6];
        QCOMPARE(f.font.family, saved);
        QCOMPARE(f.font.size, change == Change::SizeTo14 ? 14.0f : 9.0f);
        QCOMPARE(f.font.bold, change == Change::Bold);
    }

    void shortcutsTriggerTheirCommands_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("Ctrl+P prints")
            << u"actionPrint"_s << u"printButton"_s << QKeySequence(u"Ctrl+P"_s);
        QTest::newRow("Ctrl+Shift+P previews")
            << u"actionPreview"_s << u"previewButton"_s << QKeySequence(u"Ctrl+Shift+P"_s);
        QTest::newRow("Ctrl+H opens the history")
            << u"actionHistory"_s << u"historyButton"_s << QKeySequence(u"Ctrl+H"_s);
        QTest::newRow("F1 opens the help")
            << u"actionHelp"_s << u"helpButton"_s << QKeySequence(u"F1"_s);
        QTest::newRow("Ctrl+S saves the format")
            << u"actionSaveFormat"_s << u"saveFormatButton"_s << QKeySequence(u"Ctrl+S"_s);
    }

    void shortcutsTriggerTheirCommands() {
        QFETCH(QString, action);
        QFETCH(QString, button);
        QFETCH(QKeySequence, key);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        auto* command = test::Child<QAction>(*w, action);
        auto* shown = test::Child<QPushButton>(*w, button);
        const QString caption = shown->text();
        // Only which command the key reaches is checked here, not what the command does.
        QObject::disconnect(command, &QAction::triggered, nullptr, nullptr);
        QSignalSpy triggered(command, &QAction::triggered);
        w->Editor()->Field(FieldRole::PayeeName)->setFocus();
        QTest::keySequence(w->Editor()->Field(FieldRole::PayeeName), key);
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(shown->text(), caption);
        QVERIFY(shown->toolTip().contains(key.toString(QKeySequence::NativeText)));
        QCOMPARE(QApplication::focusWidget(), w->Editor()->Field(FieldRole::PayeeName));
        // The button triggers the same command.
        QTest::mouseClick(shown, Qt::LeftButton);
        QCOMPARE(triggered.count(), 2);
    }

    void historyKeys_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("triggers");
        QTest::newRow("Enter on the list reprints")
            << u"MSG"_s << int(Qt::Key_Return) << u"actionReprint"_s << 1;
        QTest::newRow("keypad Enter on the list reprints")
            << u"MSG"_s << int(Qt::Key_Enter) << u"actionReprint"_s << 1;
        QTest::newRow("Delete on the list deletes")
            << u"MSG"_s << int(Qt::Key_Delete) << u"actionDelete"_s << 1;
        QTest::newRow("Enter in the search box does not reprint")
            << u"Search"_s << int(Qt::Key_Return) << u"actionReprint"_s << 0;
        QTest::newRow("Delete in the search box deletes no record")
            << u"Search"_s << int(Qt::Key_Delete) << u"actionDelete"_s << 0;
    }

    void historyKeys() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, action);
        QFETCH(int, triggers);
        test::TestEnv env;
        auto rec = OpenHistory(env);
        QVERIFY(rec);
        auto* command = test::Child<QAction>(*rec, action);
        auto* to = test::Child<QWidget>(*rec, focus);
        QObject::disconnect(command, &QAction::triggered, nullptr, nullptr);
        QSignalSpy triggered(command, &QAction::triggered);
        to->setFocus();
        QTest::keyClick(to, Qt::Key(key));
        QCOMPARE(triggered.count(), triggers);
    }

    void ctrlFGoesToTheSearchBox() {
        test::TestEnv env;
        auto rec = OpenHistory(env);
        QVERIFY(rec);
        rec->Search()->setText(u"张"_s);
        rec->MSG()->setFocus();
        QTest::keySequence(rec->MSG(), QKeySequence(u"Ctrl+F"_s));
        QCOMPARE(QApplication::focusWidget(), rec->Search());
        QCOMPARE(rec->Search()->selectedText(), u"张"_s);
    }

    // A shortcut pressed while typing the amount leaves the field first, as a click does.
    void shortcutRunsTheFieldRulesFirst() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        w->Editor()->Field(FieldRole::Amount)->setFocus();
        w->Editor()->Field(FieldRole::Amount)->setText(u"1234.5"_s);
        env.prompt.printers.enqueue(false);
        QTest::keySequence(w->Editor()->Field(FieldRole::Amount), QKeySequence(u"Ctrl+P"_s));
        QCOMPARE(env.prompt.Texts(u"printer"_s).size(), 1);
        QCOMPARE(w->Editor()->Field(FieldRole::Amount)->text(), u"￥1234.50"_s);
        QCOMPARE(w->Editor()->Field(FieldRole::CapitalAmount)->text(), u"壹仟贰佰叁拾肆元伍角整"_s);
        QCOMPARE(w->Editor()->Field(FieldRole::StubAmount)->text(), u"￥1234.50"_s);
        QCOMPARE(QApplication::focusWidget(), w->Editor()->Field(FieldRole::Amount));
        env.prompt.yesNo.enqueue(false);
        w->close();
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
