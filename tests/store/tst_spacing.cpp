#include <QtTest>

#include "store/default_format.h"
#include "store/formats.h"
#include "store/spacing.h"
#include "support/test_env.h"

using namespace tf;
using namespace tf::store;
using tf::test::TestEnv;

namespace {

const QString kPrompt = QStringLiteral("请输入字符间距(单位：毫米)：");

// Every spacing row of a format as "CID=Sp", in field order.
QStringList RowsOf(const AppContext& ctx, const QString& name) {
    QStringList out;
    const auto rows = test::Rows(
        ctx, QStringLiteral("SELECT CID, Sp FROM 字距 WHERE Name=? ORDER BY CID"), {name});
    for (const QVariantList& r : rows)
        out << r[0].toString() + u'=' + QString::number(r[1].toDouble());
    return out;
}

}  // namespace

class TestSpacing : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QString>("stored");  // empty: no row for the field
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("rows");  // CID=Sp of field 7, empty without
        QTest::newRow("new value adds the row") << ""
                                                << "1.5"
                                                << "7=1.5";
        QTest::newRow("blanks around the number") << ""
                                                  << "  2  "
                                                  << "7=2";
        QTest::newRow("leading number of a text") << ""
                                                  << "0.8mm"
                                                  << "7=0.8";
        QTest::newRow("negative stored like positive") << ""
                                                       << "-0.5"
                                                       << "7=-0.5";
        QTest::newRow("second value changes the one row") << "1.5"
                                                          << "3"
                                                          << "7=3";
        QTest::newRow("0 deletes the row") << "1.5"
                                           << "0"
                                           << "";
        QTest::newRow("no number deletes the row") << "1.5"
                                                   << "宽一点"
                                                   << "";
        QTest::newRow("0 without a row adds none") << ""
                                                   << "0"
                                                   << "";
        QTest::newRow("blank answer keeps the row") << "1.5"
                                                    << "   "
                                                    << "7=1.5";
        QTest::newRow("blank answer adds nothing") << ""
                                                   << ""
                                                   << "";
    }

    void answers() {
        QFETCH(QString, stored);
        QFETCH(QString, answer);
        QFETCH(QString, rows);
        TestEnv env;
        env.CreateDatabase();
        const QString name = DefaultFormatName();
        QVERIFY(test::Exec(env.ctx, QStringLiteral("INSERT INTO 字距 VALUES ('默认格式', 9, 4)")));
        if (!stored.isEmpty())
            QVERIFY(test::Exec(
                env.ctx,
                QStringLiteral("INSERT INTO 字距 VALUES ('默认格式', 7, %1)").arg(stored)));
        env.prompt.inputs.enqueue(answer);
        EditSpacing(env.ctx, name, 7);

        // The box proposes the stored value, or nothing without a row.
        QCOMPARE(env.prompt.shown.size(), 1);
        QCOMPARE(env.prompt.shown[0].kind, QStringLiteral("input"));
        QCOMPARE(env.prompt.shown[0].text, kPrompt);
        QCOMPARE(env.prompt.shown[0].title, QStringLiteral("Tallyform"));
        QCOMPARE(env.prompt.shown[0].defaultText, stored);
        QStringList expected;
        if (!rows.isEmpty()) expected << rows;
        expected << QStringLiteral("9=4");  // other fields are left alone
        QCOMPARE(RowsOf(env.ctx, name), expected);
        QVERIFY(env.prompt.Messages().isEmpty());
    }

    void cancelChangesNothing() {
        TestEnv env;
        env.CreateDatabase();
        QVERIFY(
            test::Exec(env.ctx, QStringLiteral("INSERT INTO 字距 VALUES ('默认格式', 7, 1.25)")));
        env.prompt.inputs.enqueue(std::nullopt);
        EditSpacing(env.ctx, DefaultFormatName(), 7);
        QCOMPARE(env.prompt.shown.value(0).defaultText, QStringLiteral("1.25"));
        QCOMPARE(RowsOf(env.ctx, DefaultFormatName()), QStringList{QStringLiteral("7=1.25")});
    }

    void onlyTheFormatInUse() {
        TestEnv env;
        env.CreateDatabase();
        QVERIFY(test::Exec(env.ctx, QStringLiteral("INSERT INTO 字距 VALUES ('甲', 7, 2)")));
        QCOMPARE(SpacingText(env.ctx, QStringLiteral("乙"), 7), std::optional<QString>(QString()));
        QVERIFY(SetSpacing(env.ctx, QStringLiteral("乙"), 7, QStringLiteral("0.5")));
        QVERIFY(SetSpacing(env.ctx, QStringLiteral("乙"), 8, QStringLiteral("1")));
        QCOMPARE(RowsOf(env.ctx, QStringLiteral("甲")), QStringList{QStringLiteral("7=2")});
        QCOMPARE(RowsOf(env.ctx, QStringLiteral("乙")),
                 (QStringList{QStringLiteral("7=0.5"), QStringLiteral("8=1")}));
        // Printing reads what was edited, whether or not the format was saved.
        Spacing spacing;
        QString name;
        QVERIFY(ReadSpacing(env.ctx, spacing, name, QStringLiteral("乙")));
        QCOMPARE(name, QStringLiteral("乙"));
        QCOMPARE(spacing[7], 0.5);
        QCOMPARE(spacing[8], 1.0);
        QCOMPARE(spacing[9], 0.0);
    }

    void missingTableStopsBeforeAsking() {
        TestEnv env;
        env.CreateDatabase();
        QVERIFY(test::Exec(env.ctx, QStringLiteral("DROP TABLE 字距")));
        EditSpacing(env.ctx, DefaultFormatName(), 7);
        QCOMPARE(env.prompt.Texts(QStringLiteral("input")), QStringList{});
        QCOMPARE(env.prompt.Messages(),
                 QStringList{QStringLiteral(
                     "数据库打开错误(SELECT * FROM 字距 WHERE Name='默认格式' AND CID=7)！")});
    }

    void editedSpacingFollowsSaveAndOutlivesDelete() {
        TestEnv env;
        env.CreateDatabase();
        VoucherSettings s = DesignSettings();
        const QString in = DefaultFormatName();
        QVERIFY(SetSpacing(env.ctx, in, 5, QStringLiteral("1.5")));
        QVERIFY(SetSpacing(env.ctx, in, 9, QStringLiteral("2")));
        QVERIFY(SetSpacing(env.ctx, in, 9, QStringLiteral("0")));  // set to 0 before the save

        QString name = QStringLiteral("新格式");
        QVERIFY(SaveFormat(env.ctx, name, s));
        QCOMPARE(RowsOf(env.ctx, QStringLiteral("新格式")), QStringList{QStringLiteral("5=1.5")});

        // Deleting the format leaves its spacing rows; saving the name again replaces them.
        s.CurFormat = in;
        env.prompt.yesNo.enqueue(true);
        name = QStringLiteral("新格式");
        QVERIFY(DeleteFormat(env.ctx, name, s, {}));
        QCOMPARE(RowsOf(env.ctx, QStringLiteral("新格式")), QStringList{QStringLiteral("5=1.5")});
        QVERIFY(SetSpacing(env.ctx, in, 5, QStringLiteral("0")));
        QVERIFY(SetSpacing(env.ctx, in, 6, QStringLiteral("0.25")));
        name = QStringLiteral("新格式");
        QVERIFY(SaveFormat(env.ctx, name, s));
        QCOMPARE(RowsOf(env.ctx, QStringLiteral("新格式")), QStringList{QStringLiteral("6=0.25")});
    }
};

QTEST_GUILESS_MAIN(TestSpacing)
#include "tst_spacing.moc"
