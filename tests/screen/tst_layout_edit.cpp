#include <QtTest>

#include "screen/layout_edit.h"

using namespace tf;

namespace {

constexpr PicExtent kPic{10000, 4000};

// Field 7 at (1000, 500), 2000 × 300, caption 600 to its left; field 3 with its caption at
// its right edge, as the date fields have it.
FieldPlacement Layout() {
    FieldPlacement p;
    for (int i = kFirstField; i <= kLastField; ++i) p[i].field = {100.0 * i, 3000, 50, 50};
    p[7] = {{1000, 500, 2000, 300}, 400, 520};
    p[3] = {{5000, 1000, 400, 300}, 5400, 1000};
    return p;
}

Selection Only(std::initializer_list<int> fields) {
    Selection s;
    for (int i : fields) s[i] = true;
    return s;
}

}  // namespace

class TestLayoutEdit : public QObject {
    Q_OBJECT

private slots:
    void roundHalfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("0.5 to 0") << 0.5 << 0;
        QTest::newRow("1.5 to 2") << 1.5 << 2;
        QTest::newRow("2.5 to 2") << 2.5 << 2;
        QTest::newRow("-2.5 to -2") << -2.5 << -2;
        QTest::newRow("1017.5 to 1018") << 1017.5 << 1018;
        QTest::newRow("2.49 to 2") << 2.49 << 2;
        QTest::newRow("-7.6 to -8") << -7.6 << -8;
        QTest::newRow("huge saturates") << 1e12 << std::numeric_limits<qint32>::max();
        QTest::newRow("NaN is 0") << std::nan("") << 0;
    }

    void roundHalfEven() {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(RoundHalfEvenInt32(value), rounded);
    }

    void fieldTouchesRect_data() {
        // Field 1000..3000 × 500..800.
        QTest::addColumn<int>("x1");
        QTest::addColumn<int>("y1");
        QTest::addColumn<int>("x2");
        QTest::addColumn<int>("y2");
        QTest::addColumn<bool>("touches");
        QTest::newRow("point inside") << 2000 << 600 << 2000 << 600 << true;
        QTest::newRow("point on left edge") << 1000 << 600 << 1000 << 600 << true;
        QTest::newRow("point on right edge") << 3000 << 600 << 3000 << 600 << true;
        QTest::newRow("point on top edge") << 2000 << 500 << 2000 << 500 << true;
        QTest::newRow("point on bottom-right corner") << 3000 << 800 << 3000 << 800 << true;
        QTest::newRow("point just right") << 3001 << 600 << 3001 << 600 << false;
        QTest::newRow("point just above") << 2000 << 499 << 2000 << 499 << false;
        QTest::newRow("point just left") << 999 << 600 << 999 << 600 << false;
        QTest::newRow("band overlapping corner") << 2500 << 700 << 4000 << 2000 << true;
        QTest::newRow("band overlapping, corners reversed") << 4000 << 2000 << 2500 << 700 << true;
        QTest::newRow("band ending on left edge") << 0 << 0 << 1000 << 500 << true;
        QTest::newRow("band reversed ending on left edge") << 1000 << 500 << 0 << 0 << true;
        QTest::newRow("band enclosing") << 0 << 0 << 9000 << 3000 << true;
        QTest::newRow("band below") << 0 << 801 << 9000 << 3000 << false;
        QTest::newRow("band below, reversed in y") << 9000 << 3000 << 0 << 801 << false;
    }

    void fieldTouchesRect() {
        QFETCH(int, x1);
        QFETCH(int, y1);
        QFETCH(int, x2);
        QFETCH(int, y2);
        QFETCH(bool, touches);
        QCOMPARE(FieldTouchesRect({1000, 500, 2000, 300}, x1, y1, x2, y2), touches);
    }

    void move_data() {
        QTest::addColumn<double>("startLeft");
        QTest::addColumn<double>("startTop");
        QTest::addColumn<double>("dx");
        QTest::addColumn<double>("dy");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::newRow("right by 10") << 1000.0 << 500.0 << 10.0 << 0.0 << 1010.0 << 500.0;
        QTest::newRow("up by 10") << 1000.0 << 500.0 << 0.0 << -10.0 << 1000.0 << 490.0;
        QTest::newRow("fraction rounds half to even")
            << 1006.5 << 500.0 << 10.0 << 0.0 << 1016.0 << 500.0;
        QTest::newRow("stops at left edge") << 5.0 << 500.0 << -10.0 << 0.0 << 0.0 << 500.0;
        QTest::newRow("stops at top edge") << 1000.0 << 4.0 << 0.0 << -10.0 << 1000.0 << 0.0;
        QTest::newRow("stops at right edge") << 7995.0 << 500.0 << 10.0 << 0.0 << 8000.0 << 500.0;
        QTest::newRow("at right edge stays") << 8000.0 << 500.0 << 10.0 << 0.0 << 8000.0 << 500.0;
        QTest::newRow("stops at bottom edge")
            << 1000.0 << 3695.0 << 0.0 << 10.0 << 1000.0 << 3700.0;
    }

    void move() {
        QFETCH(double, startLeft);
        QFETCH(double, startTop);
        QFETCH(double, dx);
        QFETCH(double, dy);
        QFETCH(double, left);
        QFETCH(double, top);
        FieldPlacement p = Layout();
        p[7].field.left = startLeft;
        p[7].field.top = startTop;
        p[7].captionLeft = startLeft - 600;
        p[7].captionTop = startTop + 20;
        const FieldPlacement before = p;
        tf::MoveSelected(p, Only({7}), kPic, dx, dy);
        QCOMPARE(p[7].field.left, left);
        QCOMPARE(p[7].field.top, top);
        // The caption moves by exactly what the field moved.
        QCOMPARE(p[7].captionLeft, left - 600);
        QCOMPARE(p[7].captionTop, top + 20);
        QCOMPARE(p[7].field.width, 2000.0);
        p[7] = before[7];
        QCOMPARE(p, before);  // nothing else moved
    }

    void fieldLargerThanPictureKeepsLeftInside() {
        FieldPlacement p = Layout();
        p[7].field = {0, 0, 12000, 300};
        tf::MoveSelected(p, Only({7}), kPic, 10, 0);
        QCOMPARE(p[7].field.left, 0.0);
    }

    void fieldArgumentLimitsTheOperation_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("moves7");
        QTest::addColumn<bool>("moves3");
        QTest::newRow("all fields") << -1 << true << true;
        QTest::newRow("only 7") << 7 << true << false;
        QTest::newRow("unselected 9 alone") << 9 << false << false;
        QTest::newRow("outside the fields") << 40 << false << false;
    }

    void fieldArgumentLimitsTheOperation() {
        QFETCH(int, field);
        QFETCH(bool, moves7);
        QFETCH(bool, moves3);
        const Selection sel = Only({7, 3});
        FieldPlacement p = Layout();
        tf::MoveSelected(p, sel, kPic, 0, 10, field);
        QCOMPARE(p[7].field.top != 500, moves7);
        QCOMPARE(p[3].field.top != 1000, moves3);
        QCOMPARE(p[9].field.top, 3000.0);

        FieldPlacement q = Layout();
        tf::ResizeSelected(q, sel, kPic, 10, 0, field);
        QCOMPARE(q[7].field.width != 2000, moves7);
        QCOMPARE(q[3].field.width != 400, moves3);

        FieldTable<double> sizes;
        for (int i = kFirstField; i <= kLastField; ++i) sizes[i] = 9;
        tf::ChangeSelectedFontSize(sizes, sel, 1, field);
        QCOMPARE(sizes[7] == 10, moves7);
        QCOMPARE(sizes[3] == 10, moves3);
        QCOMPARE(sizes[9], 9.0);
    }

    void resize_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("dw");
        QTest::addColumn<double>("dh");
        QTest::addColumn<double>("newWidth");
        QTest::addColumn<double>("newHeight");
        QTest::newRow("wider by 10") << 2000.0 << 300.0 << 10.0 << 0.0 << 2010.0 << 300.0;
        QTest::newRow("lower by 10") << 2000.0 << 300.0 << 0.0 << -10.0 << 2000.0 << 290.0;
        QTest::newRow("shrinking stops at 50 wide")
            << 55.0 << 300.0 << -10.0 << 0.0 << 50.0 << 300.0;
        QTest::newRow("shrinking stops at 50 high")
            << 2000.0 << 50.0 << 0.0 << -10.0 << 2000.0 << 50.0;
        // Field 7 stands at left 1000, top 500 in a 10000 × 4000 picture.
        QTest::newRow("growing stops at right edge")
            << 8995.0 << 300.0 << 10.0 << 0.0 << 9000.0 << 300.0;
        QTest::newRow("growing stops at bottom edge")
            << 2000.0 << 3498.0 << 0.0 << 10.0 << 2000.0 << 3500.0;
    }

    void resize() {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(double, dw);
        QFETCH(double, dh);
        QFETCH(double, newWidth);
        QFETCH(double, newHeight);
        FieldPlacement p = Layout();
        p[7].field.width = width;
        p[7].field.height = height;
        tf::ResizeSelected(p, Only({7}), kPic, dw, dh);
        QCOMPARE(p[7].field.width, newWidth);
        QCOMPARE(p[7].field.height, newHeight);
        QCOMPARE(p[7].field.left, 1000.0);
        QCOMPARE(p[7].captionLeft, 400.0);  // a caption on the left stays
    }

    void captionRightOfFieldFollowsItsEdge() {
        FieldPlacement p = Layout();
        tf::ResizeSelected(p, Only({3}), kPic, 10, 0);
        QCOMPARE(p[3].captionLeft, 5410.0);
        tf::ResizeSelected(p, Only({3}), kPic, -30, 0);
        QCOMPARE(p[3].captionLeft, 5380.0);
        QCOMPARE(p[3].captionTop, 1000.0);
    }

    void fontSizeNeverBelowOnePoint_data() {
        QTest::addColumn<double>("size");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("result");
        QTest::newRow("9 up to 10") << 9.0 << 1.0 << 10.0;
        QTest::newRow("10.5 down to 9.5") << 10.5 << -1.0 << 9.5;
        QTest::newRow("2 down to 1") << 2.0 << -1.0 << 1.0;
        QTest::newRow("1 stays 1") << 1.0 << -1.0 << 1.0;
        QTest::newRow("1.5 down to 1") << 1.5 << -1.0 << 1.0;
    }

    void fontSizeNeverBelowOnePoint() {
        QFETCH(double, size);
        QFETCH(double, step);
        QFETCH(double, result);
        FieldTable<double> sizes;
        sizes[12] = size;
        tf::ChangeSelectedFontSize(sizes, Only({12}), step);
        QCOMPARE(sizes[12], result);
    }
};

QTEST_APPLESS_MAIN(TestLayoutEdit)
#include "tst_layout_edit.moc"
