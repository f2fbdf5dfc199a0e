#include <QtTest>

#include "progress/progress_state.h"

using namespace tf::progress;
using namespace Qt::StringLiterals;

namespace {

// A state on a clock the test sets, in milliseconds.
struct Fixture {
    qint64 ms = 1'000'000;
    ProgressState state{[this] { return ms; }};

    void Show(const QString& title, qint32 total, qint32 start = 0) {
        state.Show(title, total, start);
    }
};

}  // namespace

class TestProgressState : public QObject {
    Q_OBJECT

private slots:
    void formatDuration_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << u"0:0"_s;
        QTest::newRow("negative is zero") << qint64(-7) << u"0:0"_s;
        QTest::newRow("seconds only") << qint64(5) << u"0:5"_s;
        QTest::newRow("minutes") << qint64(65) << u"1:5"_s;
        QTest::newRow("last second below an hour") << qint64(3599) << u"59:59"_s;
        QTest::newRow("one hour") << qint64(3600) << u"1:0:0"_s;
        QTest::newRow("hours") << qint64(3725) << u"1:2:5"_s;
    }

    void formatDuration() {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatDuration(seconds), text);
    }

    void threeSteps() {
        Fixture f;
        f.Show(u"正在读取记录…"_s, 3);
        const QStringList percents{u"33.3%"_s, u"66.6%"_s, u"100%"_s};
        const QStringList counts{u"(1/3)"_s, u"(2/3)"_s, u"(3/3)"_s};
        for (int i = 0; i < 3; ++i) {
            f.state.Step(1, u"pages"_s);
            QCOMPARE(f.state.PercentText(), percents[i]);
            QCOMPARE(f.state.CountText(), counts[i]);
            QCOMPARE(f.state.Current(), i + 1);
        }
        QCOMPARE(f.state.BarFraction(), 1.0);
        QCOMPARE(f.state.Title(), u"正在读取记录…"_s);
    }

    // Times: elapsed / remaining / estimated total, the estimate elapsed ÷ f rounded with
    // halves to the even neighbour.
    void times_data() {
        QTest::addColumn<qint32>("total");
        QTest::addColumn<qint32>("steps");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("times");
        QTest::newRow("a third after 10 s") << 3 << 1 << qint64(10'000) << u"0:10/0:20/0:30"_s;
        QTest::newRow("part seconds are dropped")
            << 3 << 1 << qint64(10'999) << u"0:10/0:20/0:30"_s;
        QTest::newRow("2.5 rounds to 2") << 5 << 2 << qint64(1'000) << u"0:1/0:1/0:2"_s;
        QTest::newRow("7.5 rounds to 8") << 5 << 2 << qint64(3'000) << u"0:3/0:5/0:8"_s;
        QTest::newRow("one hour on") << 4 << 1 << qint64(1'000'000) << u"16:40/50:0/1:6:40"_s;
        QTest::newRow("past the total remains 0:0") << 2 << 3 << qint64(6'000) << u"0:6/0:0/0:4"_s;
    }

    void times() {
        QFETCH(qint32, total);
        QFETCH(qint32, steps);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, times);
        Fixture f;
        f.Show(u"导出"_s, total);
        f.ms += elapsedMs;
        for (int i = 0; i < steps; ++i) f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.TimesText(), times);
    }

    void belowOnePerMilleShowsNoTimes() {
        Fixture f;
        f.Show(u"导出"_s, 2000);
        f.ms += 5000;
        f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.PercentText(), u"0%"_s);
        QCOMPARE(f.state.CountText(), QString());
        QCOMPARE(f.state.TimesText(), QString());
        f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.PercentText(), u"0.1%"_s);
        QCOMPARE(f.state.CountText(), u"(2/2000)"_s);
    }

    void textOfStep_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("updatesTimes");
        QTest::addColumn<QString>("title");
        QTest::newRow("pages") << u"pages"_s << true << u"正在保存"_s;
        QTest::newRow("PAGES") << u"PAGES"_s << true << u"正在保存"_s;
        QTest::newRow("Pages") << u"Pages"_s << true << u"正在保存"_s;
        QTest::newRow("another text is a title") << u"第2页"_s << false << u"第2页"_s;
        QTest::newRow("empty") << QString() << false << u"正在保存"_s;
    }

    void textOfStep() {
        QFETCH(QString, text);
        QFETCH(bool, updatesTimes);
        QFETCH(QString, title);
        Fixture f;
        f.Show(u"正在保存"_s, 4);
        f.ms += 2000;
        f.state.Step(1, text);
        QCOMPARE(f.state.Title(), title);
        QCOMPARE(f.state.PercentText(), u"25%"_s);
        QCOMPARE(f.state.CountText(), updatesTimes ? u"(1/4)"_s : QString());
        QCOMPARE(f.state.TimesText(), updatesTimes ? u"0:2/0:6/0:8"_s : QString());
    }

    void stepPastTotal() {
        Fixture f;
        f.Show(u"导出"_s, 2);
        for (int i = 0; i < 3; ++i) f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.PercentText(), u"150%"_s);
        QCOMPARE(f.state.CountText(), u"(3/2)"_s);
        QVERIFY(f.state.BarFraction() > 1.0);
    }

    void totalBelowOneIsRaisedAtTheFirstStep() {
        Fixture f;
        f.Show(u"导出"_s, 0);
        QCOMPARE(f.state.BarFraction(), 0.0);
        f.state.Step(0, QString());
        QCOMPARE(f.state.Total(), 1);
        QCOMPARE(f.state.PercentText(), u"0%"_s);
        f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.PercentText(), u"100%"_s);
        QCOMPARE(f.state.BarFraction(), 1.0);
    }

    void negativeStartContinues() {
        Fixture f;
        f.Show(u"第一段"_s, 10);
        for (int i = 0; i < 4; ++i) f.state.Step(1, u"pages"_s);
        f.state.Close();
        QCOMPARE(f.state.PercentText(), u"0%"_s);
        QCOMPARE(f.state.CountText(), QString());

        qint32 start = -1;
        f.state.Show(u"第二段"_s, 10, start);
        QCOMPARE(start, 4);
        QCOMPARE(f.state.BarFraction(), 0.4);
        f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.CountText(), u"(5/10)"_s);
    }

    void barNeverShrinksUntilShow() {
        Fixture f;
        f.Show(u"导出"_s, 10, 6);
        f.state.DrawBar(2);
        QCOMPARE(f.state.Current(), 2);
        QCOMPARE(f.state.BarFraction(), 0.6);
        f.Show(u"导出"_s, 10, 2);
        QCOMPARE(f.state.BarFraction(), 0.2);
    }

    // The window redraws only what these bits name, so a change must never go unreported.
    void changesAreReported() {
        Fixture f;
        f.Show(u"导出"_s, 2000);
        f.state.TakeChanges();
        f.state.Step(1, u"pages"_s);  // 0 %: only the bar grows
        QCOMPARE(f.state.TakeChanges(), unsigned(ProgressState::kBar));
        f.state.Step(1, u"pages"_s);
        QCOMPARE(f.state.TakeChanges(), unsigned(ProgressState::kBar | ProgressState::kPercent |
                                                 ProgressState::kCount | ProgressState::kTimes));
        f.state.Step(1, u"pages"_s);  // same second, same 0.1 %
        QCOMPARE(f.state.TakeChanges(), unsigned(ProgressState::kBar | ProgressState::kCount));
        f.state.Step(0, u"第2页"_s);
        QCOMPARE(f.state.TakeChanges(), unsigned(ProgressState::kTitle));
    }
};

QTEST_APPLESS_MAIN(TestProgressState)
#include "tst_progress_state.moc"
