#include <QApplication>
#include <QLabel>
#include <QtTest>

#include "gui/progress/indicator.h"

using namespace tf::progress;
using namespace Qt::StringLiterals;

class TestIndicator : public QObject {
    Q_OBJECT

private slots:
    void showsTheStateInItsLabels() {
        qint64 ms = 0;
        Indicator w([&ms] { return ms; });
        auto label = [&w](const char* name) {
            return w.findChild<QLabel*>(QString::fromLatin1(name))->text();
        };
        qint32 start = 0;
        w.ShowProgress(u"正在读取记录…"_s, 3, start);
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), u"Mavrel进度指示器"_s);
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(label("LBL"), u"正在读取记录…"_s);
        QCOMPARE(label("Percent"), u"0%"_s);

        ms = 4000;
        w.StepProgress(1, u"pages"_s);
        w.StepProgress(1, u"pages"_s);
        // Redraws are gathered, so the labels may trail the state by one interval.
        QTRY_COMPARE(label("Percent"), u"66.6%"_s);
        QCOMPARE(label("L1"), u"(2/3)"_s);
        QCOMPARE(label("L2"), u"0:4/0:2/0:6"_s);

        auto* pic = w.findChild<BarArea*>(u"Pic"_s);
        QVERIFY(pic);
        w.StepProgress(1, u"pages"_s);
        QTRY_COMPARE(pic->BarWidth(), pic->width());
        w.StepProgress(0, u"第2页"_s);
        QCOMPARE(label("LBL"), u"第2页"_s);  // a new title shows at once

        w.CloseProgress();
        QVERIFY(!w.isVisible());
        QCOMPARE(label("Percent"), u"0%"_s);
        QCOMPARE(label("L1"), QString());
    }
};

QTEST_MAIN(TestIndicator)
#include "tst_indicator.moc"
