#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "gui/editor/quick_fill_popup.h"
#include "gui/editor/voucher_editor.h"
#include "store/record_store.h"
#include "store/settings.h"
#include "support/window_support.h"

using namespace tf;
using namespace tf::gui;
using namespace Qt::StringLiterals;

namespace {

const QList<store::Suggestion> kParties{
    {u"庚方物流有限公司"_s, u"6217000010001234"_s, u"中国银行"_s, true},
    {u"庚方物流有限公司"_s, u"6222000000005678"_s, u"招商银行"_s, true},
    {u"庚辰贸易有限公司"_s, u"1"_s, u"交通银行"_s, false},
};

const QString kAccount = u"6217000010001234"_s;

// A field in a window with a second field after it, and a popup over a fixed list of parties:
// every entry whose name contains the typed text.
struct Form {
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    QLineEdit* next = new QLineEdit(&window);
    QStringList asked;
    QuickFillPopup* popup = nullptr;

    Form() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(next);
        popup = new QuickFillPopup(field, [this](const QString& typed) {
            asked.append(typed);
            QList<store::Suggestion> found;
            for (const store::Suggestion& s : kParties)
                if (s.text.contains(typed)) found.append(s);
            return found;
        });
        window.show();
        window.activateWindow();
        field->setFocus();
    }
};

// Types text as a keyboard does (non-ASCII text cannot go through QTest::keyClicks).
void Type(QWidget* w, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

void Key(QWidget* w, Qt::Key key) {
    QTest::keyClick(w, key);
}

}  // namespace

class TestQuickFillPopup : public QObject {
    Q_OBJECT
private slots:
    void keys_data();
    void keys();
    void followsCommittedTextOnly();
    void clickAcceptsAndFocusStays();
    void fillsThePartyInTheMainWindow_data();
    void fillsThePartyInTheMainWindow();
};

void TestQuickFillPopup::keys_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("accepted");  // the entry accepted, -1 for none
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("focusOnNext");
    QTest::newRow("Down, Return: the first")
        << QList<int>{Qt::Key_Down, Qt::Key_Return} << 0 << kParties[0].text << false;
    QTest::newRow("Down, Down, Tab: the second")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab} << 1 << kParties[1].text << false;
    QTest::newRow("Down past the end stays on the last")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter} << 2
        << kParties[2].text << false;
    QTest::newRow("Up from none: the last")
        << QList<int>{Qt::Key_Up, Qt::Key_Return} << 2 << kParties[2].text << false;
    QTest::newRow("Escape keeps what was typed")
        << QList<int>{Qt::Key_Down, Qt::Key_Escape, Qt::Key_Return} << -1 << u"庚"_s << false;
    QTest::newRow("Tab with none chosen moves on")
        << QList<int>{Qt::Key_Tab} << -1 << u"庚"_s << true;
}

void TestQuickFillPopup::keys() {
    QFETCH(QList<int>, keys);
    QFETCH(int, accepted);
    QFETCH(QString, text);
    QFETCH(bool, focusOnNext);
    Form form;
    QVERIFY(QTest::qWaitForWindowActive(&form.window));
    QSignalSpy spy(form.popup, &QuickFillPopup::Accepted);
    Type(form.field, u"庚"_s);
    QVERIFY(form.popup->isVisible());
    QCOMPARE(form.popup->List()->count(), 3);
    QCOMPARE(form.popup->List()->item(0)->text(), u"庚方物流有限公司  尾号1234  中国银行"_s);
    for (int key : keys) Key(form.field, static_cast<Qt::Key>(key));
    QVERIFY(!form.popup->isVisible());
    QCOMPARE(form.field->text(), text);
    QCOMPARE(spy.size(), accepted < 0 ? 0 : 1);
    if (accepted >= 0) QCOMPARE(spy[0][0].value<store::Suggestion>(), kParties[accepted]);
    QCOMPARE(QApplication::focusWidget(), focusOnNext ? form.next : form.field);
}

void TestQuickFillPopup::followsCommittedTextOnly() {
    Form form;
    QVERIFY(QTest::qWaitForWindowActive(&form.window));
    Type(form.field, u"庚"_s);
    QCOMPARE(form.popup->Entries().size(), 3);
    // An input method composing "fang": the list stays as the committed text had it.
    QInputMethodEvent preedit(u"fang"_s, {});
    QApplication::sendEvent(form.field, &preedit);
    QCOMPARE(form.asked, QStringList{u"庚"_s});
    QCOMPARE(form.popup->Entries().size(), 3);
    QVERIFY(form.popup->isVisible());
    QInputMethodEvent commit;
    commit.setCommitString(u"方"_s);
    QApplication::sendEvent(form.field, &commit);
    QCOMPARE(form.asked, (QStringList{u"庚"_s, u"庚方"_s}));
    QCOMPARE(form.popup->Entries().size(), 2);
    // Text the program puts into the field shows no list.
    form.field->setText(u"庚辰"_s);
    QCOMPARE(form.asked.size(), 2);
}

void TestQuickFillPopup::clickAcceptsAndFocusStays() {
    Form form;
    QVERIFY(QTest::qWaitForWindowActive(&form.window));
    QSignalSpy spy(form.popup, &QuickFillPopup::Accepted);
    Type(form.field, u"庚"_s);
    QVERIFY(form.popup->isVisible());
    QVERIFY(QApplication::activeWindow() == &form.window);
    QCOMPARE(QApplication::focusWidget(), form.field);
    // Shown under the field.
    QCOMPARE(form.popup->geometry().top(),
             form.field->mapToGlobal(QPoint(0, 0)).y() + form.field->height());
    QListWidget* list = form.popup->List();
    // As tall as its rows: no empty space under the last one.
    QCOMPARE(list->visualItemRect(list->item(list->count() - 1)).bottom() + 1,
             list->viewport()->height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].value<store::Suggestion>().text, kParties[2].text);
    QCOMPARE(form.field->text(), kParties[2].text);
    QVERIFY(!form.popup->isVisible());
    QCOMPARE(QApplication::focusWidget(), form.field);
    QVERIFY(QApplication::activeWindow() == &form.window);
}

void TestQuickFillPopup::fillsThePartyInTheMainWindow_data() {
    QTest::addColumn<QString>("typedAccount");
    QTest::addColumn<bool>("replace");  // the clerk's answer when asked
    QTest::addColumn<QString>("account");
    QTest::newRow("empty account: filled without a question") << QString() << false << kAccount;
    QTest::newRow("typed account, No: kept")
        << u"6222333344445555"_s << false << u"6222333344445555"_s;
    QTest::newRow("typed account, Yes: replaced") << u"6222333344445555"_s << true << kAccount;
}

void TestQuickFillPopup::fillsThePartyInTheMainWindow() {
    QFETCH(QString, typedAccount);
    QFETCH(bool, replace);
    QFETCH(QString, account);
    const QString name = u"庚方物流有限公司"_s;
    const QString bank = u"中国银行"_s;
    test::TestEnv env;
    env.CreateDatabase();
    FieldTexts history;
    history[FieldRole::DrawerName] = u"北京华夏建设有限公司"_s;
    history[FieldRole::PayeeName] = name;
    history[FieldRole::PayeeAccount] = kAccount;
    history[FieldRole::PayeeBank] = bank;
    QVERIFY(store::StoreTexts(env.ctx, QDateTime(QDate(2026, 3, 1), QTime(10, 0)), history));
    auto w = test::OpenMainWindow(env);
    QVERIFY(w);
    VoucherEditor& editor = *w->Editor();
    QLineEdit* field = editor.Field(FieldRole::PayeeName);
    QuickFillPopup* popup = editor.QuickFill(FieldRole::PayeeName);
    QVERIFY(popup);
    const auto textOf = [&](FieldRole role) { return editor.Field(role)->text(); };

    if (!typedAccount.isEmpty()) {
        editor.Field(FieldRole::PayeeAccount)->setFocus();
        Type(editor.Field(FieldRole::PayeeAccount), typedAccount);
        env.prompt.yesNo.enqueue(replace);
    }
    field->setFocus();
    w->SetContentChanged(false);
    Type(field, u"庚方"_s);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->List()->count(), 1);
    QCOMPARE(popup->List()->item(0)->text(), name);
    Key(field, Qt::Key_Down);
    Key(field, Qt::Key_Return);
    QVERIFY(!popup->isVisible());
    QCOMPARE(textOf(FieldRole::PayeeName), name);
    QCOMPARE(textOf(FieldRole::PayeeAccount), account);
    QCOMPARE(textOf(FieldRole::PayeeBank), bank);
    // The stub's copies follow, as when the clerk leaves the fields.
    QCOMPARE(textOf(FieldRole::StubPayeeName), name);
    QCOMPARE(textOf(FieldRole::StubPayeeAccount), account);
    QCOMPARE(textOf(FieldRole::StubPayeeBank), bank);
    QVERIFY(w->ContentChanged());
    QCOMPARE(
        env.prompt.Questions(),
        typedAccount.isEmpty()
            ? QStringList()
            : QStringList{u"收款人账号中已有“6222333344445555”，是否换成“%1”？"_s.arg(kAccount)});
    QCOMPARE(QApplication::focusWidget(), field);

    // The pinyin initials find the same party.
    field->clear();
    QTest::keyClicks(field, u"gfwl"_s);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->Entries().value(0).text, name);
    Key(field, Qt::Key_Escape);

    // Turned off on the settings tab: no list, and the choice is kept for the next start.
    test::Child<QCheckBox>(*w, u"quickFill"_s)->click();
    field->setFocus();
    field->clear();
    Type(field, u"庚方"_s);
    QVERIFY(!popup->isVisible());
    w.reset();
    w = test::OpenMainWindow(env);
    QVERIFY(w);
    QVERIFY(!test::Child<QCheckBox>(*w, u"quickFill"_s)->isChecked());
    QVERIFY(env.prompt.Messages().isEmpty());
}

QTEST_MAIN(TestQuickFillPopup)
#include "tst_quick_fill_popup.moc"
