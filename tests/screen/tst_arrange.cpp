#include <QFont>
#include <QFontInfo>
#include <QtTest>
#include <cmath>

#include "common/fonts.h"
#include "screen/arrange.h"
#include "store/default_format.h"
#include "store/formats.h"

// The arithmetic behind the main window's arrangement and the font names it maps, without
// any window.

using namespace tf;

namespace {

bool Near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

}  // namespace

class TestArrange : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    // --- the arrangement as the clerk sees it --------------------------------------------

    void arrangeGeometry_data() {
        QTest::addColumn<double>("W");
        QTest::addColumn<double>("H");
        QTest::addColumn<double>("S");
        QTest::addColumn<bool>("stub");
        QTest::newRow("220x85 with stub") << 220.0 << 85.0 << 65.0 << true;
        QTest::newRow("220x85 stub hidden") << 220.0 << 85.0 << 65.0 << false;
        QTest::newRow("180x100 with stub") << 180.0 << 100.0 << 50.0 << true;
    }

    void arrangeGeometry() {
        QFETCH(double, W);
        QFETCH(double, H);
        QFETCH(double, S);
        QFETCH(bool, stub);

        ArrangeInput in;
        in.screenWidth = 12000;
        in.screenHeight = 9000;
        in.formWidthMm = W;
        in.formHeightMm = H;
        in.stubWidthMm = S;
        in.stubShown = stub;
        const auto r = ArrangeGeometry(in);
        QVERIFY(r);
        // The window stands in the middle of the screen, inside it.
        QVERIFY(r->window.left > 0 && r->window.top > 0);
        QVERIFY(Near(2 * r->window.left + r->window.width, 12000));
        QVERIFY(Near(2 * r->window.top + r->window.height, 9000));
        // The picture shows the part of the form on screen in its proportions, at one scale.
        const double shownMm = stub ? W : W - S;
        QVERIFY(Near(r->pic.width / r->pic.height, shownMm / H));
        QVERIFY(Near(r->pic.height / r->twipsPerMm, H));
        // The stub line stands S mm from the left edge, and only with the stub.
        QCOMPARE(r->lineVisible, stub);
        if (stub) {
            QVERIFY(Near(r->lineX / r->twipsPerMm, S));
            QVERIFY(r->lineY2 >= r->pic.height);
        }
        // The title is centred over the voucher part of the picture.
        const double from = stub ? r->lineX : 0;
        QVERIFY(Near(r->titleLeft - from, r->pic.width - (r->titleLeft + in.titleWidth)));
        // The tab control and the tip line are as wide as the picture; the tip below it.
        QVERIFY(Near(r->tabWidth, r->pic.width));
        QVERIFY(Near(r->tip.width, r->pic.width));
        QVERIFY(r->tip.top > r->pic.top + r->pic.height);
        // The top-row buttons end at the picture's right edge, side by side without
        // overlapping: contact, help, exit.
        QVERIFY(Near(r->exitLeft + in.exitWidth, r->pic.left + r->pic.width));
        QVERIFY(r->helpLeft + in.helpWidth < r->exitLeft);
        QVERIFY(r->contactLeft + in.contactWidth <= r->helpLeft);
    }

    void windowFitsTheFreeArea_data() {
        QTest::addColumn<double>("W");
        QTest::addColumn<double>("H");
        QTest::addColumn<int>("screenWidth");  // pixels, 15 twips each
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<int>("workTop");
        QTest::addColumn<int>("workHeight");
        QTest::addColumn<bool>("scaled");
        QTest::newRow("110 mm form, 1366x768, task bar below")
            << 220.0 << 110.0 << 1366 << 768 << 0 << 728 << true;
        QTest::newRow("110 mm form, 1366x768, panel above")
            << 220.0 << 110.0 << 1366 << 768 << 30 << 738 << true;
        QTest::newRow("tall form") << 100.0 << 300.0 << 800 << 600 << 0 << 560 << true;
        QTest::newRow("85 mm form fits as it is")
            << 220.0 << 85.0 << 1366 << 768 << 0 << 728 << false;
    }

    void windowFitsTheFreeArea() {
        QFETCH(double, W);
        QFETCH(double, H);
        QFETCH(int, screenWidth);
        QFETCH(int, screenHeight);
        QFETCH(int, workTop);
        QFETCH(int, workHeight);
        QFETCH(bool, scaled);
        ArrangeInput in;
        in.screenWidth = screenWidth * 15.0;
        in.screenHeight = screenHeight * 15.0;
        in.workTop = workTop * 15.0;
        in.workHeight = workHeight * 15.0;
        in.formWidthMm = W;
        in.formHeightMm = H;
        in.stubWidthMm = 30;
        const auto r = ArrangeGeometry(in);
        QVERIFY(r);
        QVERIFY(r->window.top >= in.workTop);
        QVERIFY(r->window.top + r->window.height <= in.workTop + in.workHeight + 1e-9);
        QVERIFY(Near(r->pic.width / r->pic.height, W / H));
        QVERIFY(Near(r->window.height, r->pic.height + 1440 + 750));
        QVERIFY(Near(r->window.width, r->pic.width + 200));
        QVERIFY(Near(r->window.left, (in.screenWidth - r->window.width) / 2));
        QCOMPARE(Near(r->window.width, in.screenWidth - 200), !scaled);
        QVERIFY(Near(r->twipsPerMm, r->pic.height / H));
    }

    void arrangeRefusesDegenerateForms_data() {
        QTest::addColumn<double>("W");
        QTest::addColumn<double>("H");
        QTest::addColumn<double>("S");
        QTest::addColumn<bool>("stub");
        QTest::addColumn<bool>("valid");
        QTest::newRow("zero height") << 220.0 << 0.0 << 65.0 << true << false;
        QTest::newRow("zero width") << 0.0 << 85.0 << 65.0 << true << false;
        QTest::newRow("stub as wide as form, hidden") << 220.0 << 85.0 << 220.0 << false << false;
        QTest::newRow("stub wider than form, hidden") << 100.0 << 85.0 << 150.0 << false << false;
        QTest::newRow("stub as wide as form, shown") << 220.0 << 85.0 << 220.0 << true << true;
    }

    void arrangeRefusesDegenerateForms() {
        QFETCH(double, W);
        QFETCH(double, H);
        QFETCH(double, S);
        QFETCH(bool, stub);
        QFETCH(bool, valid);
        ArrangeInput in{12000, 9000, W, H, S, stub};
        QCOMPARE(ArrangeGeometry(in).has_value(), valid);
    }

    void applyLayoutShiftsFieldsByStub() {
        const FieldFormats formats = store::DesignFieldFormats();
        const double k = 4455.0 / 85;
        FieldPlacement shown = DesignPlacement();
        FieldPlacement hidden = DesignPlacement();
        ApplyLayoutGeometry(formats, k, 65, true, shown);
        ApplyLayoutGeometry(formats, k, 65, false, hidden);
        for (int i = kFirstField; i <= kLastField; ++i) {
            QVERIFY2(Near(shown[i].field.left - hidden[i].field.left, 65 * k),
                     qPrintable(QString::number(i)));
            QVERIFY(Near(shown[i].captionLeft - hidden[i].captionLeft, 65 * k));
            QVERIFY(Near(shown[i].field.top, hidden[i].field.top));
            QVERIFY(Near(shown[i].field.width, formats[i].W * k));
            if (i >= 18)
                QVERIFY2(hidden[i].field.left + hidden[i].field.width < 0, "stub field visible");
        }
        // At design scale the design geometry comes back, captions included.
        for (int i : {5, 12, 28}) {
            const auto& g = store::DesignGeometryOf(i);
            QVERIFY(std::abs(shown[i].field.left - g.left) < 1e-6);
            QVERIFY(std::abs(shown[i].captionLeft - g.captionLeft) < 1e-6);
            QVERIFY(std::abs(shown[i].captionTop - g.captionTop) < 1e-6);
        }
    }

    void applyLayoutDateCaptionFollowsRightEdge() {
        FieldFormats formats = store::DesignFieldFormats();
        formats[2].W *= 2;  // year field twice as wide
        formats[5].W *= 2;  // a caption left of its field stays
        const double k = 60;
        FieldPlacement p = DesignPlacement();
        ApplyLayoutGeometry(formats, k, 65, true, p);
        QVERIFY(Near(p[2].captionLeft, p[2].field.left + p[2].field.width));
        const auto& g5 = store::DesignGeometryOf(5);
        QVERIFY(Near(p[5].captionLeft - p[5].field.left, g5.captionLeft - g5.left));
    }

    void captureAfterApply_data() {
        QTest::addColumn<bool>("stub");
        QTest::addColumn<double>("picHeight");
        QTest::newRow("stub shown") << true << 4481.818;
        QTest::newRow("stub hidden") << false << 3870.25;
    }

    void captureAfterApply() {
        QFETCH(bool, stub);
        QFETCH(double, picHeight);
        const FieldFormats formats = store::DesignFieldFormats();
        FieldPlacement p = DesignPlacement();
        ApplyLayoutGeometry(formats, picHeight / 85, 65, stub, p);
        FieldFormats back = formats;
        for (int i = kFirstField; i <= kLastField; ++i)
            back[i].X = back[i].Y = back[i].W = back[i].H = -1;
        CaptureLayoutGeometry(p, 85, picHeight, 65, stub, back);
        for (int i = kFirstField; i <= kLastField; ++i) {
            QVERIFY(std::abs(back[i].X - formats[i].X) < 1e-9);
            QVERIFY(std::abs(back[i].Y - formats[i].Y) < 1e-9);
            QVERIFY(std::abs(back[i].W - formats[i].W) < 1e-9);
            QVERIFY(std::abs(back[i].H - formats[i].H) < 1e-9);
        }
    }

    // --- fonts ---------------------------------------------------------------------------

    void fontSubstitutes() {
        QCOMPARE(FontSubstitutesFor(QStringLiteral("黑体")).value(0),
                 QStringLiteral("Noto Sans CJK SC"));
        QCOMPARE(FontSubstitutesFor(QStringLiteral("宋体")).value(0),
                 QStringLiteral("Noto Serif CJK SC"));
        QVERIFY(FontSubstitutesFor(QStringLiteral("Arial")).isEmpty());
        // The Windows names resolve to the installed CJK faces, and a second install adds nothing.
        InstallFontSubstitutions();
        QCOMPARE(QFont::substitutes(QStringLiteral("宋体")).size(), 3);
        QCOMPARE(QFontInfo(QFont(QStringLiteral("宋体"))).family(),
                 QStringLiteral("Noto Serif CJK SC"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("微软雅黑"))).family(),
                 QStringLiteral("Noto Sans CJK SC"));
    }
};

QTEST_MAIN(TestArrange)
#include "tst_arrange.moc"
