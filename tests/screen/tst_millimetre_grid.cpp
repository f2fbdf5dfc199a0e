#include <QGuiApplication>
#include <QtTest>

#include "screen/millimetre_grid.h"

using namespace tf;

namespace {

std::vector<MillimetreGridLine> Lines(const MillimetreGrid& g, bool vertical) {
    std::vector<MillimetreGridLine> out;
    for (const MillimetreGridLine& l : g.lines)
        if ((l.x1 == l.x2) == vertical) out.push_back(l);
    return out;
}

}  // namespace

class TestMillimetreGrid : public QObject {
    Q_OBJECT

private slots:
    void step_data() {
        QTest::addColumn<double>("picWidth");
        QTest::addColumn<double>("picHeight");
        QTest::addColumn<double>("H");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("nx");
        QTest::addColumn<int>("ny");
        QTest::newRow("85 mm in 5780 twips") << 14960.0 << 5780.0 << 85.0 << 68 << 225 << 90;
        // 4455 / 85 = 52.41; 11655 / 4455 × 85 + 5 = 227.37.
        QTest::newRow("design picture") << 11655.0 << 4455.0 << 85.0 << 52 << 227 << 90;
        // 90 / 80 = 1.125 → 1; 160 / 80 × 80.5 + 5 = 166; 80.5 + 5 = 85.5 → 86 (even).
        QTest::newRow("halves go to even") << 160.0 << 80.0 << 80.5 << 1 << 166 << 86;
        QTest::newRow("step 62.5 rounds to 62") << 10000.0 << 5000.0 << 80.0 << 62 << 165 << 85;
    }

    void step() {
        QFETCH(double, picWidth);
        QFETCH(double, picHeight);
        QFETCH(double, H);
        QFETCH(int, step);
        QFETCH(int, nx);
        QFETCH(int, ny);
        const auto g = MillimetreGridGeometry(picWidth, picHeight, H);
        QVERIFY(g);
        QCOMPARE(g->step, step);
        QCOMPARE(g->nx, nx);
        QCOMPARE(g->ny, ny);
    }

    void linesEveryTwoMillimetres() {
        const auto g = MillimetreGridGeometry(14960, 5780, 85);
        QVERIFY(g);
        const auto vertical = Lines(*g, true);
        const auto horizontal = Lines(*g, false);
        QCOMPARE(vertical.size(), size_t(113));   // 0, 2, … 224
        QCOMPARE(horizontal.size(), size_t(46));  // 0, 2, … 90
        // Vertical lines come first, so horizontal ones are drawn over them.
        QCOMPARE(g->lines.front().x1, 0.0);
        QVERIFY(g->lines[112].x1 == g->lines[112].x2);
        QVERIFY(g->lines[113].y1 == g->lines[113].y2);
        for (size_t n = 0; n < vertical.size(); ++n) {
            const MillimetreGridLine& l = vertical[n];
            QCOMPARE(l.x1, 136.0 * double(n));
            QCOMPARE(l.y1, 0.0);
            QCOMPARE(l.y2, 5780.0);
            // Major every centimetre: 0, 680, 1360 …
            QCOMPARE(l.major, int(l.x1) % 680 == 0);
        }
        for (size_t n = 0; n < horizontal.size(); ++n) {
            QCOMPARE(horizontal[n].y1, 136.0 * double(n));
            QCOMPARE(horizontal[n].x2, 14960.0);
            QCOMPARE(horizontal[n].major, n % 5 == 0);
        }
    }

    void labelsEveryTwoCentimetres() {
        const auto g = MillimetreGridGeometry(14960, 5780, 85);
        QVERIFY(g);
        std::vector<MillimetreGridLabel> expected;
        for (int cm = 2; cm <= 22; cm += 2)
            expected.push_back({68.0 * cm * 10 - 40, 20, QString::number(cm)});
        for (int cm = 2; cm <= 8; cm += 2)
            expected.push_back({20, 68.0 * cm * 10 - 80, QString::number(cm)});
        QCOMPARE(g->labels, expected);
    }

    void noScaleNoGrid_data() {
        QTest::addColumn<double>("picHeight");
        QTest::addColumn<double>("H");
        QTest::newRow("height 0") << 4000.0 << 0.0;
        QTest::newRow("negative height") << 4000.0 << -85.0;
        QTest::newRow("picture without height") << 0.0 << 85.0;
        QTest::newRow("infinite height") << 4000.0 << std::numeric_limits<double>::infinity();
    }

    void noScaleNoGrid() {
        QFETCH(double, picHeight);
        QFETCH(double, H);
        QVERIFY(!MillimetreGridGeometry(10000, picHeight, H));
    }

    void drawnInItsColours() {
        // 15 twips to a pixel: major lines at 680 twips fall on pixel 45, minor ones at 136
        // on pixel 9.
        const auto g = MillimetreGridGeometry(14960, 5780, 85);
        QVERIFY(g);
        QImage canvas(998, 386, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        DrawMillimetreGrid(canvas, *g, 15, QFont(), Qt::black);
        QCOMPARE(canvas.pixelColor(45, 300), kMillimetreGridMajorColour);
        QCOMPARE(canvas.pixelColor(9, 300), kMillimetreGridMinorColour);
        QCOMPARE(canvas.pixelColor(300, 45), kMillimetreGridMajorColour);
        QCOMPARE(canvas.pixelColor(300, 9), kMillimetreGridMinorColour);
        // A crossing of a minor horizontal with a major vertical takes the later horizontal.
        QCOMPARE(canvas.pixelColor(45, 9), kMillimetreGridMinorColour);
        QCOMPARE(canvas.pixelColor(30, 300), QColor(Qt::white));
        // The label "2" stands just left of and below the top of the 2 cm line (1320, 20).
        bool ink = false;
        for (int x = 88; x < 100 && !ink; ++x)
            for (int y = 1; y < 16 && !ink; ++y) ink = canvas.pixelColor(x, y) == QColor(Qt::black);
        QVERIFY(ink);
    }

    void boxWipesWhatItDrew() {
        QImage canvas(200, 100, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        DrawBox(canvas, 1500, 1200, 150, 150, Qt::black, 15);  // corners in any order
        QCOMPARE(canvas.pixelColor(10, 10), QColor(Qt::black));
        QCOMPARE(canvas.pixelColor(100, 50), QColor(Qt::black));
        QCOMPARE(canvas.pixelColor(50, 50), QColor(Qt::white));
        DrawBox(canvas, 150, 150, 1500, 1200, Qt::white, 15);
        QCOMPARE(canvas, [] {
            QImage clean(200, 100, QImage::Format_RGB32);
            clean.fill(Qt::white);
            return clean;
        }());
    }
};

QTEST_MAIN(TestMillimetreGrid)
#include "tst_millimetre_grid.moc"
