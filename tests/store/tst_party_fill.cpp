#include <QTest>

#include "store/party_fill.h"

using namespace Qt::StringLiterals;
using namespace tf;
using tf::store::PartyFill;

Q_DECLARE_METATYPE(QList<PartyFill>)
Q_DECLARE_METATYPE(tf::store::Suggestion)
Q_DECLARE_METATYPE(tf::FieldTexts)

namespace {

const int kName = FieldOf(FieldRole::PayeeName);
const int kAccount = FieldOf(FieldRole::PayeeAccount);
const int kBank = FieldOf(FieldRole::PayeeBank);

const store::Suggestion kEntry{u"庚方物流有限公司"_s, u"6222021234567890123"_s, u"中国银行"_s,
                               false};

FieldTexts Payee(const QString& account, const QString& bank) {
    FieldTexts t;
    t[kAccount] = account;
    t[kBank] = bank;
    return t;
}

}  // namespace

class TestPartyFill : public QObject {
    Q_OBJECT
private slots:
    void plan_data();
    void plan();
};

void TestPartyFill::plan_data() {
    QTest::addColumn<store::Suggestion>("entry");
    QTest::addColumn<FieldTexts>("current");
    QTest::addColumn<FieldTexts>("filled");
    QTest::addColumn<QList<PartyFill>>("expected");
    const QList<PartyFill> both{{kAccount, kEntry.account, false}, {kBank, kEntry.bank, false}};
    QTest::newRow("empty side filled") << kEntry << Payee({}, {}) << FieldTexts{} << both;
    QTest::newRow("earlier quick fill replaced")
        << kEntry << Payee(u"6217000011112222"_s, u"工商银行"_s)
        << Payee(u"6217000011112222"_s, u"工商银行"_s) << both;
    QTest::newRow("typed account asked, empty bank filled")
        << kEntry << Payee(u"6217000011112222"_s, {}) << FieldTexts{}
        << QList<PartyFill>{{kAccount, kEntry.account, true}, {kBank, kEntry.bank, false}};
    QTest::newRow("same texts left alone")
        << kEntry << Payee(kEntry.account, kEntry.bank) << FieldTexts{} << QList<PartyFill>{};
    const store::Suggestion bare{u"庚方物流有限公司"_s, {}, {}, false};
    QTest::newRow("earlier fill cleared by an entry without account")
        << bare << Payee(u"6217000011112222"_s, u"工商银行"_s)
        << Payee(u"6217000011112222"_s, u"工商银行"_s)
        << QList<PartyFill>{{kAccount, {}, false}, {kBank, {}, false}};
    QTest::newRow("typed text kept when the entry has none")
        << bare << Payee(u"6217000011112222"_s, {}) << FieldTexts{} << QList<PartyFill>{};
}

void TestPartyFill::plan() {
    QFETCH(store::Suggestion, entry);
    QFETCH(FieldTexts, current);
    QFETCH(FieldTexts, filled);
    QFETCH(QList<PartyFill>, expected);
    current[kName] = entry.text;
    const auto plan = store::PlanPartyFill(kName, entry, current, filled);
    QCOMPARE(plan.size(), expected.size());
    for (qsizetype i = 0; i < plan.size(); ++i) {
        QCOMPARE(plan[i].field, expected[i].field);
        QCOMPARE(plan[i].text, expected[i].text);
        QCOMPARE(plan[i].asks, expected[i].asks);
    }
    // The drawer's side is planned from the drawer's fields, never the payee's.
    QVERIFY(store::PlanPartyFill(FieldOf(FieldRole::DrawerName), entry, current, filled).size() ==
            (entry.account.isEmpty() ? 0 : 2));
    QCOMPARE(store::ReplaceTypedQuestion({kAccount, kEntry.account, true}, u"6217"_s),
             u"收款人账号中已有“6217”，是否换成“6222021234567890123”？"_s);
}

QTEST_GUILESS_MAIN(TestPartyFill)
#include "tst_party_fill.moc"
