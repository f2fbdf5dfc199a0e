#include <QtTest>

#include "history/grid_ops.h"

using namespace tf::history;
using namespace Qt::StringLiterals;

namespace {

// 70 twips per character, so a text of 14 characters is 980 twips wide.
double Width(const QString& text) {
    return 70.0 * text.size();
}

// A grid like the history list: rows 0 and 1 fixed, columns 0 and 1 fixed, one data row
// per entry of `column2`, numbered from 1.
TextGrid MakeGrid(const QStringList& column2, int cols = 4) {
    TextGrid g;
    g.SetCols(cols);
    g.SetRows(2);
    g.SetFixedRows(2);
    g.SetFixedCols(2);
    g.SetWidth(100000);
    for (int c = 2; c < cols; ++c) g.SetText(1, c, QStringLiteral("H%1").arg(c));
    for (const QString& text : column2) {
        const int r = g.AddRow();
        g.SetText(r, 0, QStringLiteral("key%1").arg(r));
        g.SetText(r, 1, QString::number(r - 1));
        g.SetText(r, 2, text);
    }
    return g;
}

// The texts in the order the history list sorts them by: ascending, or descending.
QStringList Sorted(const QStringList& texts, bool descending) {
    const std::vector<QStringView> views(texts.cbegin(), texts.cend());
    QStringList out;
    for (const quint32 i : SortedIndexes(views, descending)) out << texts[i];
    return out;
}

}  // namespace

class TestGridOps : public QObject {
    Q_OBJECT
private slots:
    void fitColumns_data();
    void fitColumns();
    void fitColumnsFillsTheGridWithTheLastColumn();
    void mixedColumnIsOrderedConsistently_data();
    void mixedColumnIsOrderedConsistently();
    void numbersSortExactly_data();
    void numbersSortExactly();
    void equalValuesKeepTheirOrder();
};

void TestGridOps::fitColumns_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("header");
    QTest::addColumn<double>("gridWidth");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<double>("expected");
    const QString text980(14, u'x');
    QTest::newRow("widest text plus 100")
        << QStringList{u"ab"_s, text980, {}} << u"H"_s << 100000.0 << 2 << 1080.0;
    QTest::newRow("header wider than texts")
        << QStringList{u"ab"_s} << QString(20, u'h') << 100000.0 << 2 << 1500.0;
    QTest::newRow("empty column is 50 despite its header")
        << QStringList{{}, {}} << u"a long header"_s << 100000.0 << 2 << 50.0;
    QTest::newRow("from the header row, the header counts")
        << QStringList{{}, {}} << u"a long header"_s << 100000.0 << 1 << 1010.0;
    QTest::newRow("capped at half the grid width")
        << QStringList{QString(100, u'x')} << u"H"_s << 3000.0 << 1 << 1500.0;
}

void TestGridOps::fitColumns() {
    QFETCH(QStringList, texts);
    QFETCH(QString, header);
    QFETCH(double, gridWidth);
    QFETCH(int, firstRow);
    QFETCH(double, expected);
    TextGrid g = MakeGrid(texts);
    g.SetText(1, 2, header);
    g.SetWidth(gridWidth);
    FitColumns(g, firstRow, Width);
    QCOMPARE(g.ColWidth(2), expected);
    QCOMPARE(g.ColWidth(0), 0.0);  // left of the numbering column
}

void TestGridOps::fitColumnsFillsTheGridWithTheLastColumn() {
    // No data rows: measured from row 0, so the hidden mapping row counts too.
    TextGrid g = MakeGrid({});
    g.SetText(0, 2, QString(30, u'm'));
    g.SetWidth(10000);
    FitColumns(g, 1, Width);
    QCOMPARE(g.ColWidth(2), 30 * 70.0 + 100);
    double total = 0;
    for (int c = 0; c < g.Cols(); ++c) total += g.ColWidth(c);
    QCOMPARE(total, 10000.0 - 400);
}

void TestGridOps::mixedColumnIsOrderedConsistently_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("cycle of the pairwise rule") << QStringList{u"2"_s, u"1a"_s, u"10"_s};
    QTest::newRow("amounts, accounts, names and blanks") << QStringList{u"￥999.00"_s,
                                                                        u"张三"_s,
                                                                        u"6222021234567890123"_s,
                                                                        {},
                                                                        u"￥1234.50"_s,
                                                                        u"-3"_s,
                                                                        u"abc"_s,
                                                                        u"0.5"_s,
                                                                        u"李四"_s,
                                                                        u"1a"_s,
                                                                        u"2"_s,
                                                                        u"10"_s};
    QStringList many;
    for (int i = 0; i < 3000; ++i)
        many << (i % 3 == 0 ? QString::number((i * 7919) % 1000)
                            : QString::number((i * 104729) % 1000) + QStringLiteral("号"));
    QTest::newRow("3000 mixed rows") << many;
}

void TestGridOps::mixedColumnIsOrderedConsistently() {
    QFETCH(QStringList, texts);
    for (const bool descending : {false, true}) {
        const QStringList sorted = Sorted(texts, descending);
        QCOMPARE(sorted.size(), texts.size());
        // Every pair of two numbers and every pair of two texts is in the rule's order.
        QStringList numbers, others;
        for (const QString& t : sorted) (ReadsAsNumber(t) ? numbers : others) << t;
        for (const QStringList* part : {&numbers, &others})
            for (qsizetype i = 1; i < part->size(); ++i) {
                const int c = GenericCompare(part->at(i - 1), part->at(i));
                QVERIFY2(descending ? c >= 0 : c <= 0,
                         qPrintable(part->at(i - 1) + u" / "_s + part->at(i)));
            }
    }
}

void TestGridOps::numbersSortExactly_data() {
    QTest::addColumn<QStringList>("ascending");
    // Beyond 15 digits a double no longer tells these apart.
    QTest::newRow("19-digit accounts and an 18-digit one")
        << QStringList{u"622202123456789012"_s, u"6222021234567890123"_s, u"6222021234567890125"_s,
                       u"6222021234567890129"_s};
    QTest::newRow("long fractions")
        << QStringList{u"0.10000000000000000001"_s, u"0.1000000000000000001"_s, u"0.11"_s};
    QTest::newRow("negative numbers of many digits")
        << QStringList{u"-99999999999999999999"_s, u"-99999999999999999998"_s, u"-0.5"_s, u"3"_s};
    QTest::newRow("leading zeros, currency and sign")
        << QStringList{u"-12"_s, u"007"_s, u"￥8.50"_s, u"+9"_s, u"10"_s};
}

void TestGridOps::numbersSortExactly() {
    QFETCH(QStringList, ascending);
    QStringList shuffled = ascending;
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 1, shuffled.end());
    QCOMPARE(Sorted(shuffled, false), ascending);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(Sorted(shuffled, true), descending);
    // The pairwise rule agrees with the sort, and equal values compare equal.
    for (qsizetype i = 1; i < ascending.size(); ++i) {
        QCOMPARE(GenericCompare(ascending[i - 1], ascending[i]) < 0, true);
        QCOMPARE(GenericCompare(ascending[i], ascending[i - 1]) > 0, true);
    }
    QCOMPARE(GenericCompare(u"007.50"_s, u"7.5"_s), 0);
    QCOMPARE(GenericCompare(u"-0"_s, u"0.0"_s), 0);
}

void TestGridOps::equalValuesKeepTheirOrder() {
    // Distinct texts of one value, and repeated texts, stay in the order they had, whichever
    // way the column is sorted.
    const std::vector<QStringView> texts{u"1.0", u"2", u"01", {}, u"1", u"2", {}};
    QCOMPARE(SortedIndexes(texts, false), (std::vector<quint32>{3, 6, 0, 2, 4, 1, 5}));
    QCOMPARE(SortedIndexes(texts, true), (std::vector<quint32>{1, 5, 0, 2, 4, 3, 6}));
}

QTEST_APPLESS_MAIN(TestGridOps)
#include "tst_grid_ops.moc"
