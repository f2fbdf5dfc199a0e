#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "gui/format/format_chooser.h"
#include "gui/window_utils.h"
#include "store/formats.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::store;
using tf::test::TestEnv;

namespace {

Sel* OpenChooser() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* sel = qobject_cast<Sel*>(w); sel && sel->isVisible()) return sel;
    return nullptr;
}

// Runs the chooser and lets `act` work on it once it is shown.
QString Choose(const AppContext& ctx, const QString& current, std::function<void(Sel*)> act) {
    QTimer::singleShot(0, [act] {
        Sel* sel = OpenChooser();
        QVERIFY(sel);
        act(sel);
    });
    return ChooseFormat(ctx, current, nullptr);
}

void SaveNamed(const AppContext& ctx, const QString& n) {
    VoucherSettings s;
    QString name = n;
    QVERIFY(SaveFormat(ctx, name, s));
}

}  // namespace

class TestChooser : public QObject {
    Q_OBJECT
private slots:
    void listsStoredNamesWithFormatInUsePreselected();
    void okWithoutTouchingReturnsFormatInUse();
    void pickedNameIsReturned();
    void cancelAndCloseBoxReturnNothing();
    void typingChangesNothing();
    void emptyListShowsFormatInUse();
    void secondCallWhileOpenDoesNotOpenAnother();
};

void TestChooser::listsStoredNamesWithFormatInUsePreselected() {
    TestEnv env;
    env.CreateDatabase();
    SaveNamed(env.ctx, QStringLiteral("乙"));
    SaveNamed(env.ctx, QStringLiteral("甲"));
    QStringList items;
    QString current;
    QString caption;
    Choose(env.ctx, QStringLiteral("甲"), [&](Sel* sel) {
        caption = sel->windowTitle();
        for (int i = 0; i < sel->Com()->count(); ++i) items << sel->Com()->itemText(i);
        current = sel->Com()->currentText();
        QCOMPARE(sel->OkButton()->text(), QStringLiteral("确   定"));
        QCOMPARE(sel->CancelButton()->text(), QStringLiteral("取   消"));
        QVERIFY(sel->windowFlags() & Qt::WindowStaysOnTopHint);
        sel->CancelButton()->click();
    });
    QCOMPARE(caption, QStringLiteral("选择格式"));
    QCOMPARE(items,
             (QStringList{QStringLiteral("乙"), QStringLiteral("甲"), QStringLiteral("默认格式")}));
    QCOMPARE(current, QStringLiteral("甲"));
}

void TestChooser::okWithoutTouchingReturnsFormatInUse() {
    TestEnv env;
    env.CreateDatabase();
    SaveNamed(env.ctx, QStringLiteral("甲"));
    QCOMPARE(
        Choose(env.ctx, QStringLiteral("默认格式"), [](Sel* sel) { sel->OkButton()->click(); }),
        QStringLiteral("默认格式"));
    QVERIFY(!IsFormOpen(QStringLiteral("选择格式")));
}

void TestChooser::pickedNameIsReturned() {
    TestEnv env;
    env.CreateDatabase();
    SaveNamed(env.ctx, QStringLiteral("甲"));
    QCOMPARE(Choose(env.ctx, QStringLiteral("默认格式"),
                    [](Sel* sel) {
                        sel->Com()->setCurrentIndex(sel->Com()->findText(QStringLiteral("甲")));
                        sel->OkButton()->click();
                    }),
             QStringLiteral("甲"));
}

void TestChooser::cancelAndCloseBoxReturnNothing() {
    TestEnv env;
    env.CreateDatabase();
    // A previous choice must not leak into a later cancelled one.
    QCOMPARE(
        Choose(env.ctx, QStringLiteral("默认格式"), [](Sel* sel) { sel->OkButton()->click(); }),
        QStringLiteral("默认格式"));
    QCOMPARE(
        Choose(env.ctx, QStringLiteral("默认格式"), [](Sel* sel) { sel->CancelButton()->click(); }),
        QString());
    QCOMPARE(Choose(env.ctx, QStringLiteral("默认格式"), [](Sel* sel) { sel->close(); }),
             QString());
    QCOMPARE(Choose(env.ctx, QStringLiteral("默认格式"),
                    [](Sel* sel) { QTest::keyClick(sel->Com(), Qt::Key_Escape); }),
             QString());
}

void TestChooser::typingChangesNothing() {
    TestEnv env;
    env.CreateDatabase();
    SaveNamed(env.ctx, QStringLiteral("a1"));
    SaveNamed(env.ctx, QStringLiteral("b2"));
    const QString chosen = Choose(env.ctx, QStringLiteral("a1"), [](Sel* sel) {
        sel->Com()->setFocus();
        QTest::keyClick(sel->Com(), Qt::Key_Down);
        QTest::keyClick(sel->Com(), Qt::Key_End);
        QTest::keyClicks(sel->Com(), QStringLiteral("b"));
        QCOMPARE(sel->Com()->currentText(), QStringLiteral("a1"));
        sel->OkButton()->click();
    });
    QCOMPARE(chosen, QStringLiteral("a1"));
}

void TestChooser::emptyListShowsFormatInUse() {
    TestEnv env;
    env.CreateDatabase();
    QVERIFY(test::Exec(env.ctx, QStringLiteral("DELETE FROM 参数")));
    int count = -1;
    const QString chosen = Choose(env.ctx, QStringLiteral("默认格式"), [&](Sel* sel) {
        count = sel->Com()->count();
        QCOMPARE(sel->Com()->currentText(), QStringLiteral("默认格式"));
        QTest::keyClicks(sel->Com()->lineEdit(), QStringLiteral("xyz"));
        sel->OkButton()->click();
    });
    QCOMPARE(count, 0);
    QCOMPARE(chosen, QStringLiteral("默认格式"));
    QVERIFY(env.prompt.shown.isEmpty());
}

void TestChooser::secondCallWhileOpenDoesNotOpenAnother() {
    TestEnv env;
    env.CreateDatabase();
    QString inner = QStringLiteral("unset");
    int choosers = 0;
    const QString outer = Choose(env.ctx, QStringLiteral("默认格式"), [&](Sel* sel) {
        inner = ChooseFormat(env.ctx, QStringLiteral("默认格式"), nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Sel*>(w) && w->isVisible()) ++choosers;
        sel->OkButton()->click();
    });
    QCOMPARE(inner, QString());
    QCOMPARE(choosers, 1);
    QCOMPARE(outer, QStringLiteral("默认格式"));
}

QTEST_MAIN(TestChooser)
#include "tst_chooser.moc"
