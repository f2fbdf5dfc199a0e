#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QtTest>

#include "gui/print/collate_form.h"
#include "store/settings.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::print;
using tf::test::TestEnv;
using namespace Qt::StringLiterals;

namespace {

QString Stored(const AppContext& ctx, const QString& key) {
    return ReadSetting(ctx, SettingsApp(), CollateSection(), key);
}

void Store(const AppContext& ctx, const QString& key, const QString& value) {
    QVERIFY(WriteSetting(ctx, SettingsApp(), CollateSection(), key, value));
}

}  // namespace

class TestCollate : public QObject {
    Q_OBJECT
private slots:
    void settingRoundTrip();
    void settingsKeepTheHierarchy();
    void readingLeavesNothingBehind();
    void unusableStore();
    void malformedLineElsewhereKeepsTheStoredText();
    void failedSaveIsToldAndKeepsTheDialog();
    void offsetFromSetting_data();
    void offsetFromSetting();
    void dialogShowsStoredMargins_data();
    void dialogShowsStoredMargins();
    void savingUnchangedKeepsThePrintWhereItWas();
    void saveStoresTrimmedTexts();
    void cancelKeepsValues();
    void dialogTextsAndControls();
    void illustrationShowsTheSquare();
    void shownWithoutBlockingAndCentred();
};

void TestCollate::settingRoundTrip() {
    TestEnv env;
    QCOMPARE(Stored(env.ctx, u"X"_s), QString());
    Store(env.ctx, u"X"_s, u"12.5"_s);
    Store(env.ctx, u"Y"_s, u"毫米"_s);
    QCOMPARE(Stored(env.ctx, u"X"_s), u"12.5"_s);
    QCOMPARE(Stored(env.ctx, u"Y"_s), u"毫米"_s);
    // Texts with characters that mean something in INI files come back as typed.
    for (const QString& text : {u"1,5"_s, u"@x"_s, u" 2 "_s, u"a=b;c"_s}) {
        Store(env.ctx, u"X"_s, text);
        QCOMPARE(Stored(env.ctx, u"X"_s), text);
    }
}

void TestCollate::settingsKeepTheHierarchy() {
    TestEnv env;
    Store(env.ctx, u"X"_s, u"11"_s);
    QVERIFY(WriteSetting(env.ctx, u"Other"_s, CollateSection(), u"X"_s, u"99"_s));
    QSettings ini(env.ctx.settingsFile, QSettings::IniFormat);
    QCOMPARE(ini.value(u"Tallyform/Collate/X"_s).toString(), u"11"_s);
    QCOMPARE(ini.value(u"Other/Collate/X"_s).toString(), u"99"_s);
    QCOMPARE(Stored(env.ctx, u"X"_s), u"11"_s);
}

void TestCollate::readingLeavesNothingBehind() {
    TestEnv env;
    QCOMPARE(Stored(env.ctx, u"Y"_s), QString());
    QVERIFY(!QFile::exists(env.ctx.settingsFile));
    Store(env.ctx, u"X"_s, u"12"_s);
    const QByteArray before = [&] {
        QFile f(env.ctx.settingsFile);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QCOMPARE(Stored(env.ctx, u"Y"_s), QString());
    QFile f(env.ctx.settingsFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void TestCollate::unusableStore() {
    TestEnv env;
    // A directory where the file should be: nothing can be read or written.
    QVERIFY(QDir(env.dir.path()).mkdir(u"settings.ini"_s));
    QVERIFY(!WriteSetting(env.ctx, SettingsApp(), CollateSection(), u"X"_s, u"12"_s));
    QCOMPARE(Stored(env.ctx, u"X"_s), QString());
    QCOMPARE(ReadOffsets(env.ctx).x, 3.0);
}

void TestCollate::malformedLineElsewhereKeepsTheStoredText() {
    TestEnv env;
    {
        QFile f(env.ctx.settingsFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Tallyform]\nCollate\\X=12.5\n[Broken\n[Other]\nk=v\n");
    }
    // The first reader of the file in a run is the one Qt tells about the malformed line.
    QCOMPARE(Stored(env.ctx, u"X"_s), u"12.5"_s);
    QCOMPARE(ReadOffsets(env.ctx).x, 2.5);
}

void TestCollate::failedSaveIsToldAndKeepsTheDialog() {
    TestEnv env;
    QVERIFY(QDir(env.dir.path()).mkdir(u"settings.ini"_s));
    CollateForm form(env.ctx);
    form.show();
    form.TX()->setText(u"12.5"_s);
    form.findChild<QPushButton*>(u"Command1"_s)->click();
    QCOMPARE(env.prompt.Messages(),
             QStringList{u"页边距没有保存！\n设置文件“%1”无法写入，打印仍使用原来的页边距。"_s.arg(
                 env.ctx.settingsFile)});
    QVERIFY(form.isVisible());
    QCOMPARE(form.TX()->text(), u"12.5"_s);
}

void TestCollate::offsetFromSetting_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("offset");
    QTest::newRow("nothing stored: as if 13") << QString() << 3.0;
    QTest::newRow("13") << u"13"_s << 3.0;
    QTest::newRow("10: no offset") << u"10"_s << 0.0;
    QTest::newRow("12.5") << u"12.5"_s << 2.5;
    QTest::newRow("negative -2") << u"-2"_s << -12.0;
    QTest::newRow("0") << u"0"_s << -10.0;
    QTest::newRow("non-numeric reads as 0") << u"abc"_s << -10.0;
    QTest::newRow("leading number of 11mm") << u"11mm"_s << 1.0;
}

void TestCollate::offsetFromSetting() {
    QFETCH(QString, text);
    QFETCH(double, offset);
    QCOMPARE(OffsetFromSetting(text), offset);
    TestEnv env;
    if (!text.isNull()) Store(env.ctx, u"Y"_s, text);
    QCOMPARE(ReadOffsets(env.ctx).y, offset);
    QCOMPARE(ReadOffsets(env.ctx).x, 3.0);
}

void TestCollate::dialogShowsStoredMargins_data() {
    QTest::addColumn<QString>("stored");  // null: nothing stored
    QTest::addColumn<QString>("shown");
    QTest::newRow("nothing stored shows 13") << QString() << u"13"_s;
    QTest::newRow("decimal") << u"12.5"_s << u"12.5"_s;
    QTest::newRow("negative") << u"-2"_s << u"-2"_s;
    QTest::newRow("non-numeric shows 0") << u"abc"_s << u"0"_s;
    QTest::newRow("leading number only") << u"11.0mm"_s << u"11"_s;
}

void TestCollate::dialogShowsStoredMargins() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    TestEnv env;
    if (!stored.isNull()) {
        Store(env.ctx, u"X"_s, stored);
        Store(env.ctx, u"Y"_s, stored);
    }
    CollateForm form(env.ctx);
    QCOMPARE(form.TX()->text(), shown);
    QCOMPARE(form.TY()->text(), shown);
}

void TestCollate::savingUnchangedKeepsThePrintWhereItWas() {
    TestEnv env;
    const Offsets before = ReadOffsets(env.ctx);
    CollateForm form(env.ctx);
    form.findChild<QPushButton*>(u"Command1"_s)->click();
    QCOMPARE(Stored(env.ctx, u"X"_s), u"13"_s);
    QCOMPARE(Stored(env.ctx, u"Y"_s), u"13"_s);
    QCOMPARE(ReadOffsets(env.ctx).x, before.x);
    QCOMPARE(ReadOffsets(env.ctx).y, before.y);
}

void TestCollate::saveStoresTrimmedTexts() {
    TestEnv env;
    CollateForm form(env.ctx);
    form.show();
    form.TX()->setText(u" 12.5 "_s);
    form.TY()->setText(u"abc"_s);  // stored as typed, no check
    form.findChild<QPushButton*>(u"Command1"_s)->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(Stored(env.ctx, u"X"_s), u"12.5"_s);
    QCOMPARE(Stored(env.ctx, u"Y"_s), u"abc"_s);
    QCOMPARE(ReadOffsets(env.ctx).x, 2.5);
    QCOMPARE(ReadOffsets(env.ctx).y, -10.0);
    // Opened again, the dialog reads afresh.
    CollateForm again(env.ctx);
    QCOMPARE(again.TX()->text(), u"12.5"_s);
    QCOMPARE(again.TY()->text(), u"0"_s);
}

void TestCollate::cancelKeepsValues() {
    TestEnv env;
    Store(env.ctx, u"X"_s, u"11"_s);
    CollateForm form(env.ctx);
    form.show();
    form.TX()->setText(u"20"_s);
    form.TY()->setText(u"20"_s);
    form.findChild<QPushButton*>(u"Command2"_s)->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(Stored(env.ctx, u"X"_s), u"11"_s);
    QCOMPARE(Stored(env.ctx, u"Y"_s), QString());
}

void TestCollate::dialogTextsAndControls() {
    TestEnv env;
    CollateForm form(env.ctx);
    QCOMPARE(form.windowTitle(), u"输入页边距"_s);
    const auto text = [&](const QString& name) {
        auto* w = form.findChild<QWidget*>(name);
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
        return QString();
    };
    QCOMPARE(
        text(u"LBL"_s),
        u"请在下列输入框中填入打印内容需要移动的距离，如需向反方向移动，请填写负数。\n\n"
        "【通常情况下，只需打印出如右图的校准黑块，量出横向边距和纵向边距填入输入框即可，数字可填写小数】"_s);
    QCOMPARE(text(u"Label1_0"_s), u"向左移"_s);
    QCOMPARE(text(u"Label1_1"_s), u"向上移"_s);
    QCOMPARE(text(u"Label1_2"_s), u"毫米（横向边距）"_s);
    QCOMPARE(text(u"Label1_3"_s), u"毫米（纵向边距）"_s);
    QCOMPARE(text(u"Command1"_s), u"保    存"_s);
    QCOMPARE(text(u"Command2"_s), u"取    消"_s);
    QVERIFY(form.findChild<QWidget*>(u"Image1"_s));
    QVERIFY(form.findChild<QWidget*>(u"Line1"_s));
    QVERIFY(form.findChild<QWidget*>(u"Line2"_s));
}

void TestCollate::illustrationShowsTheSquare() {
    CalibrationPicture picture;
    picture.resize(picture.sizeHint());
    const QImage img = picture.grab().toImage();
    int black = 0;
    int red = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.lightness() < 30) ++black;
            if (c.red() > 150 && c.green() < 90 && c.blue() < 90) ++red;
        }
    QVERIFY2(black > 400, qPrintable(u"black pixels: %1"_s.arg(black)));  // the square
    QVERIFY2(red > 50, qPrintable(u"margin marks: %1"_s.arg(red)));
}

void TestCollate::shownWithoutBlockingAndCentred() {
    TestEnv env;
    QPointer<CollateForm> form = ShowCollateForm(env.ctx);
    QVERIFY(form->isVisible());
    QVERIFY(!form->isModal());
    QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(std::abs(form->geometry().center().x() - screen.center().x()) <= 2);
    QVERIFY(std::abs(form->geometry().center().y() - screen.center().y()) <= 2);
    form->close();
    QTRY_VERIFY(form.isNull());  // deletes itself when closed
}

QTEST_MAIN(TestCollate)
#include "tst_collate.moc"
