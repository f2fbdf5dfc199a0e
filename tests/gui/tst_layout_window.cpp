#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "common/fonts.h"
#include "gui/editor/voucher_editor.h"
#include "gui/format/format_chooser.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"
#include "screen/millimetre_grid.h"
#include "store/default_format.h"
#include "support/test_env.h"
#include "support/window_support.h"

using namespace tf;

namespace {

const QColor kSelected(149, 149, 177);
const QColor kGrey(221, 221, 221);

double Tpp() {
    return TwipsPerPixel();
}

// Puts the fields in six columns of 80 × 20 pixels with gaps of 40 and 20 pixels, from
// (20, 20) pixels, so that every edge lies on a whole pixel and no two fields touch.
// Field i stands in column (i − 2) mod 6, row (i − 2) div 6.
void GridLayout(MF& w) {
    for (int i = kFirstField; i <= kLastField; ++i) {
        const int c = (i - 2) % 6, r = (i - 2) / 6;
        PlacedField& p = w.Editor()->Placement()[i];
        p.field = {(20 + 120.0 * c) * Tpp(), (20 + 40.0 * r) * Tpp(), 80 * Tpp(), 20 * Tpp()};
        p.captionLeft = p.field.left;
        p.captionTop = p.field.top + 2 * Tpp();
        w.Editor()->FieldLabel(RoleOf(i))->hide();  // captions are not part of these tests
    }
    w.Editor()->PlaceFieldWidgets();
}

QList<int> SelectedFields(MF& w) {
    QList<int> out;
    for (int i = kFirstField; i <= kLastField; ++i)
        if (w.FieldFormats()[i].Selected) out << i;
    return out;
}

QColor Background(MF& w, int i) {
    return w.Editor()->Field(RoleOf(i))->palette().color(QPalette::Base);
}

// Selects the fields by a click with the left button at a point of the picture, twips.
void SelectAt(MF& w, double x, double y) {
    w.Editor()->Pic_MouseDown(Qt::LeftButton, x, y);
    w.Editor()->Pic_MouseUp(Qt::LeftButton, x, y);
}
void SelectField(MF& w, int i) {
    const TwipsRect& f = w.Editor()->Placement()[i].field;
    SelectAt(w, f.left + f.width / 2, f.top + f.height / 2);
}

void SendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers mods,
             bool repeat = false) {
    QKeyEvent e(type, key, mods, QString(), repeat);
    QApplication::sendEvent(to, &e);
}

// Runs f on the popup menu as soon as it is open.
void WhenMenuOpen(std::function<void(QMenu*)> f) {
    test::RetryUntil([f] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu) f(menu);
        return menu != nullptr;
    });
}

bool HasColour(const QImage& img, const QColor& c) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c) return true;
    return false;
}

}  // namespace

class TestLayoutWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    // --- selecting ---------------------------------------------------------------------

    void clickSelectsOnlyFieldUnderPoint_data() {
        QTest::addColumn<int>("x");  // pixels inside Pic
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("realMouse");  // false: the point lies under the field widget
        QTest::addColumn<int>("selected");    // 0: none
        // Field 9 (column 1, row 1) covers pixels 140..219 × 60..79.
        QTest::newRow("right edge") << 220 << 70 << true << 9;
        QTest::newRow("bottom edge") << 180 << 80 << true << 9;
        QTest::newRow("bottom-right corner") << 220 << 80 << true << 9;
        QTest::newRow("a pixel right of the edge") << 221 << 70 << true << 0;
        QTest::newRow("between two rows") << 180 << 90 << true << 0;
        QTest::newRow("empty picture") << 760 << 280 << true << 0;
        QTest::newRow("left edge") << 140 << 70 << false << 9;
        QTest::newRow("top-left corner") << 140 << 60 << false << 9;
        QTest::newRow("inside") << 150 << 65 << false << 9;
    }

    void clickSelectsOnlyFieldUnderPoint() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, realMouse);
        QFETCH(int, selected);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        GridLayout(*w);
        const QColor white = Background(*w, 9);
        SelectField(*w, 30);  // an earlier selection, cleared by the click
        QCOMPARE(SelectedFields(*w), QList<int>{30});
        if (realMouse) {
            QTest::mouseClick(w->Editor(), Qt::LeftButton, {}, QPoint(x, y));
        } else {
            SelectAt(*w, x * Tpp(), y * Tpp());
        }
        const QList<int> expected = selected ? QList<int>{selected} : QList<int>{};
        QCOMPARE(SelectedFields(*w), expected);
        QCOMPARE(Background(*w, 9), selected ? kSelected : white);
        QCOMPARE(Background(*w, 30), white);
        QCOMPARE(w->LBL()->text(),
                 selected ? VoucherEditor::SelectedTip() : VoucherEditor::DragTip());
    }

    void bandSelectsSameFieldsEitherWay_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        // Gaps around columns 1–2 and rows 1–2: x 120 and 360, y 50 and 130.
        QTest::newRow("top-left to bottom-right") << QPoint(120, 50) << QPoint(360, 130);
        QTest::newRow("bottom-right to top-left") << QPoint(360, 130) << QPoint(120, 50);
        QTest::newRow("top-right to bottom-left") << QPoint(360, 50) << QPoint(120, 130);
        QTest::newRow("bottom-left to top-right") << QPoint(120, 130) << QPoint(360, 50);
    }

    void bandSelectsSameFieldsEitherWay() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        GridLayout(*w);
        w->Editor()->NetLine();
        const QImage clean = w->Editor()->PicCanvas();
        QWidget* pic = w->Editor();
        QTest::mousePress(pic, Qt::LeftButton, {}, from);
        QVERIFY(w->Editor()->Dragging());
        QCOMPARE(w->LBL()->text(), VoucherEditor::DragTip());
        // A small movement draws nothing yet.
        QTest::mouseMove(pic, from + QPoint(4, 4));
        QCOMPARE(w->Editor()->PicCanvas(), clean);
        QTest::mouseMove(pic, (from + to) / 2);
        QTest::mouseMove(pic, to);
        QVERIFY2(
            HasColour(w->Editor()->PicCanvas(), Qt::black) && w->Editor()->PicCanvas() != clean,
            "no band drawn");
        QTest::mouseRelease(pic, Qt::LeftButton, {}, to);
        QVERIFY(!w->Editor()->Dragging());
        QCOMPARE(SelectedFields(*w), (QList<int>{9, 10, 15, 16}));
        for (int i : {9, 10, 15, 16}) QCOMPARE(Background(*w, i), kSelected);
        QCOMPARE(Background(*w, 8), QColor(Qt::white));
        QCOMPARE(w->LBL()->text(), VoucherEditor::SelectedTip());
        // The band is gone and the grid is whole again.
        QCOMPARE(w->Editor()->PicCanvas(), clean);
    }

    void bandWithoutGridLeavesCleanPicture() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        w->SST()->setCurrentIndex(1);
        QTest::mouseClick(test::Child<QCheckBox>(*w, QStringLiteral("showGrid")), Qt::LeftButton);
        QVERIFY(!test::Child<QCheckBox>(*w, QStringLiteral("showGrid"))->isChecked());
        const QColor bg = w->Editor()->PicCanvas().pixelColor(0, 0);
        QVERIFY(!HasColour(w->Editor()->PicCanvas(), kMillimetreGridMajorColour));
        QTest::mousePress(w->Editor(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(w->Editor(), QPoint(200, 150));
        QTest::mouseRelease(w->Editor(), Qt::LeftButton, {}, QPoint(200, 150));
        QImage all(w->Editor()->PicCanvas().size(), QImage::Format_RGB32);
        all.fill(bg);
        QCOMPARE(w->Editor()->PicCanvas(), all);
        QVERIFY(!SelectedFields(*w).isEmpty());
    }

    void selectionClearedBy_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("left press on the picture") << "left";
        QTest::newRow("right press on the picture") << "right";
        QTest::newRow("grid option") << "showGrid";
        QTest::newRow("stub option") << "printStub";
        QTest::newRow("feeder option") << "centreOnFeeder";
        QTest::newRow("tab of the tab control") << "tab";
        QTest::newRow("settings box") << "formWidth";
        QTest::newRow("save command") << "actionSaveFormat";
    }

    void selectionClearedBy() {
        QFETCH(QString, action);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        FieldTable<QColor> own;
        for (int i = kFirstField; i <= kLastField; ++i) own[i] = Background(*w, i);
        // Every field that can be seen, the grey date and capital fields among them.
        w->Editor()->Pic_MouseDown(Qt::LeftButton, 0, 0);
        w->Editor()->Pic_MouseUp(Qt::LeftButton, w->Arrangement()->pic.width,
                                 w->Arrangement()->pic.height);
        QCOMPARE(SelectedFields(*w).size(), 32);
        for (int i = kFirstField; i <= kLastField; ++i) QCOMPARE(Background(*w, i), kSelected);
        w->SST()->setCurrentIndex(1);
        QCoreApplication::processEvents();
        if (action == u"left" || action == u"right") {
            QTest::mousePress(w->Editor(), action == u"left" ? Qt::LeftButton : Qt::RightButton, {},
                              QPoint(w->Editor()->width() - 3, w->Editor()->height() - 3));
        } else if (auto* option = w->findChild<QCheckBox*>(action)) {
            QTest::mouseClick(option, Qt::LeftButton);
        } else if (action == u"tab") {
            QTest::mouseClick(w->SST()->tabBar(), Qt::LeftButton, {},
                              w->SST()->tabBar()->tabRect(0).center());
        } else if (auto* box = w->findChild<QLineEdit*>(action)) {
            box->setFocus(Qt::MouseFocusReason);
            QCoreApplication::processEvents();
        } else {
            env.prompt.inputs.enqueue(std::nullopt);
            test::Child<QAction>(*w, action)->trigger();
        }
        QCOMPARE(SelectedFields(*w), QList<int>{});
        for (int i = kFirstField; i <= kLastField; ++i) QCOMPARE(Background(*w, i), own[i]);
        QCOMPARE(Background(*w, 2), kGrey);
        QCOMPARE(Background(*w, 5), QColor(Qt::white));
    }

    // --- keys --------------------------------------------------------------------------

    void keyTable_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("presses");             // the first and then key repeats
        QTest::addColumn<QVector<double>>("change");  // left, top, width, height, font size
        const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
        using V = QVector<double>;
        QTest::newRow("Left moves left") << int(Qt::Key_Left) << none << 1 << V{-10, 0, 0, 0, 0};
        QTest::newRow("Up moves up") << int(Qt::Key_Up) << none << 1 << V{0, -10, 0, 0, 0};
        QTest::newRow("Right moves right") << int(Qt::Key_Right) << none << 1 << V{10, 0, 0, 0, 0};
        QTest::newRow("Down moves down") << int(Qt::Key_Down) << none << 1 << V{0, 10, 0, 0, 0};
        QTest::newRow("Shift+Left narrows")
            << int(Qt::Key_Left) << shift << 1 << V{0, 0, -10, 0, 0};
        QTest::newRow("Shift+Up lowers") << int(Qt::Key_Up) << shift << 1 << V{0, 0, 0, -10, 0};
        QTest::newRow("Shift+Right widens")
            << int(Qt::Key_Right) << shift << 1 << V{0, 0, 10, 0, 0};
        QTest::newRow("Shift+Down heightens")
            << int(Qt::Key_Down) << shift << 1 << V{0, 0, 0, 10, 0};
        QTest::newRow("Ctrl+Left smaller") << int(Qt::Key_Left) << ctrl << 1 << V{0, 0, 0, 0, -1};
        QTest::newRow("Ctrl+Up smaller") << int(Qt::Key_Up) << ctrl << 1 << V{0, 0, 0, 0, -1};
        QTest::newRow("Ctrl+Right larger") << int(Qt::Key_Right) << ctrl << 1 << V{0, 0, 0, 0, 1};
        QTest::newRow("Ctrl+Down larger") << int(Qt::Key_Down) << ctrl << 1 << V{0, 0, 0, 0, 1};
        QTest::newRow("repeated Right") << int(Qt::Key_Right) << none << 4 << V{40, 0, 0, 0, 0};
        QTest::newRow("repeated Ctrl+Down") << int(Qt::Key_Down) << ctrl << 3 << V{0, 0, 0, 0, 3};
        QTest::newRow("Alt+Left does nothing")
            << int(Qt::Key_Left) << int(Qt::AltModifier) << 1 << V{0, 0, 0, 0, 0};
        QTest::newRow("Ctrl+Shift+Right does nothing")
            << int(Qt::Key_Right) << (ctrl | shift) << 1 << V{0, 0, 0, 0, 0};
        QTest::newRow("Home does nothing") << int(Qt::Key_Home) << none << 1 << V{0, 0, 0, 0, 0};
    }

    void keyTable() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, presses);
        QFETCH(QVector<double>, change);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        GridLayout(*w);
        SelectField(*w, 15);
        w->FieldFormats()[22].Selected = true;  // selected by other means: acts as well
        const FieldPlacement before = w->Editor()->Placement();
        const double size15 = w->Editor()->Field(FieldRole::BillNumbers)->font().pointSizeF();
        const FieldFormat format15 = w->FieldFormats()[15];
        // Typed into a field: the field keeps the key and the selected fields act on it.
        QLineEdit* typing = w->Editor()->Field(FieldRole::DrawerName);
        typing->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(typing->hasFocus());
        const auto mods = Qt::KeyboardModifiers(modifiers);
        for (int n = 0; n < presses; ++n) SendKey(typing, QEvent::KeyPress, key, mods, n > 0);
        SendKey(typing, QEvent::KeyRelease, key, mods);

        for (int i : {15, 22}) {
            const TwipsRect& a = w->Editor()->Placement()[i].field;
            const TwipsRect& b = before[i].field;
            QCOMPARE(a.left - b.left, change[0]);
            QCOMPARE(a.top - b.top, change[1]);
            QCOMPARE(a.width - b.width, change[2]);
            QCOMPARE(a.height - b.height, change[3]);
            QCOMPARE(w->Editor()->Placement()[i].captionLeft - before[i].captionLeft, change[0]);
            QCOMPARE(w->Editor()->Field(RoleOf(i))->x(), TwipsToPixels(a.left));
            QCOMPARE(w->Editor()->Field(RoleOf(i))->width(),
                     TwipsToPixels(a.left + a.width) - TwipsToPixels(a.left));
        }
        QCOMPARE(w->Editor()->Field(FieldRole::BillNumbers)->font().pointSizeF() - size15,
                 change[4]);
        QCOMPARE(w->Editor()->Placement()[16], before[16]);  // not selected
        // Releasing the key took the screen into the layout, in millimetres.
        const double mmPerTwip = 85 / w->Arrangement()->pic.height;
        const bool arrow = key != Qt::Key_Home;
        const bool capture = arrow && (mods == Qt::NoModifier || mods == Qt::ShiftModifier ||
                                       mods == Qt::ControlModifier);
        const FieldFormat& f = w->FieldFormats()[15];
        QVERIFY(std::abs(f.X - w->Editor()->Placement()[15].field.left * mmPerTwip) < 1e-9 ||
                !capture);
        if (capture) {
            QVERIFY(std::abs(f.W - w->Editor()->Placement()[15].field.width * mmPerTwip) < 1e-9);
            QCOMPARE(f.font.size,
                     float(w->Editor()->Field(FieldRole::BillNumbers)->font().pointSizeF()));
        } else {
            QCOMPARE(f.X, format15.X);
        }
        QVERIFY(f.Selected);
    }

    void edgesOfThePicture() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        GridLayout(*w);
        const double picW = w->Arrangement()->pic.width;
        const double picH = w->Arrangement()->pic.height;
        TwipsRect& f = w->Editor()->Placement()[15].field;
        f = {picW - 600 - 5, picH - 300 - 5, 600, 300};
        w->Editor()->PlaceFieldWidgets();
        SelectField(*w, 15);
        QWidget* typing = w->Editor()->Field(FieldRole::DrawerName);
        auto press = [&](int key, Qt::KeyboardModifiers m, int times) {
            for (int n = 0; n < times; ++n) SendKey(typing, QEvent::KeyPress, key, m, n > 0);
            SendKey(typing, QEvent::KeyRelease, key, m);
        };
        press(Qt::Key_Right, Qt::NoModifier, 3);
        press(Qt::Key_Down, Qt::NoModifier, 3);
        QCOMPARE(f.left + f.width, picW);
        QCOMPARE(f.top + f.height, picH);
        press(Qt::Key_Right, Qt::ShiftModifier, 2);  // no room to grow
        QCOMPARE(f.width, 600.0);
        press(Qt::Key_Left, Qt::ShiftModifier, 60);
        press(Qt::Key_Up, Qt::ShiftModifier, 60);
        QCOMPARE(f.width, 50.0);
        QCOMPARE(f.height, 50.0);
        // All the way to the top-left corner and beyond.
        press(Qt::Key_Left, Qt::NoModifier, int(picW / 10) + 5);
        press(Qt::Key_Up, Qt::NoModifier, int(picH / 10) + 5);
        QCOMPARE(f.left, 0.0);
        QCOMPARE(f.top, 0.0);
        QCOMPARE(w->FieldFormats()[15].X, 0.0);
        press(Qt::Key_Right, Qt::ShiftModifier, int(picW / 10) + 5);
        QCOMPARE(f.width, picW);
        // Fonts stop at 1 point.
        press(Qt::Key_Left, Qt::ControlModifier, 200);
        QCOMPARE(w->Editor()->Field(FieldRole::BillNumbers)->font().pointSizeF(), 1.0);
        QCOMPARE(w->FieldFormats()[15].font.size, 1.0f);
    }

    void dateCaptionFollowsItsField() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        SelectField(*w, 3);                    // month, caption "月" right of it
        w->FieldFormats()[5].Selected = true;  // caption on the left
        const PlacedField month = w->Editor()->Placement()[3];
        const PlacedField drawer = w->Editor()->Placement()[5];
        QVERIFY(month.captionLeft > month.field.left);
        w->Editor()->ResizeSelected(10, 0);
        w->Editor()->ResizeSelected(10, 0);
        const PlacedField& m = w->Editor()->Placement()[3];
        QCOMPARE(m.captionLeft, m.field.left + m.field.width);
        QCOMPARE(m.field.width, double(qRound(month.field.width + 10) + 10));
        QCOMPARE(w->Editor()->FieldLabel(FieldRole::Month)->x(), TwipsToPixels(m.captionLeft));
        w->Editor()->ResizeSelected(-40, 0);
        QCOMPARE(w->Editor()->Placement()[3].captionLeft,
                 w->Editor()->Placement()[3].field.left + w->Editor()->Placement()[3].field.width);
        QCOMPARE(w->Editor()->Placement()[5].captionLeft, drawer.captionLeft);
        QVERIFY(w->Editor()->Placement()[5].field.width != drawer.field.width);
    }

    void keyUpWithoutSelectionRefreshesLayout_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("refreshed");
        QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier) << true;
        QTest::newRow("Shift+Down") << int(Qt::Key_Down) << int(Qt::ShiftModifier) << true;
        QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << int(Qt::ControlModifier) << true;
        QTest::newRow("Alt+Left") << int(Qt::Key_Left) << int(Qt::AltModifier) << false;
        QTest::newRow("letter A") << int(Qt::Key_A) << int(Qt::NoModifier) << false;
    }

    void keyUpWithoutSelectionRefreshesLayout() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, refreshed);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QVERIFY(SelectedFields(*w).isEmpty());
        const float size = w->FieldFormats()[8].font.size;
        QFont font = w->Editor()->Field(FieldRole::PayeeName)->font();
        font.setPointSizeF(size + 5);
        w->Editor()->Field(FieldRole::PayeeName)->setFont(font);
        w->Editor()->Field(FieldRole::DrawerName)->setFocus();
        QCoreApplication::processEvents();
        SendKey(w->Editor()->Field(FieldRole::DrawerName), QEvent::KeyRelease, key,
                Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w->FieldFormats()[8].font.size, refreshed ? size + 5 : size);
    }

    void editsReachSavedAndReloadedFormat() {
        test::TestEnv env;
        env.CreateDatabase();
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const FieldFormat original = w->FieldFormats()[7];
        SelectField(*w, 7);
        QWidget* typing = w->Editor()->Field(FieldRole::DrawerName);
        for (int n = 0; n < 3; ++n) QTest::keyClick(typing, Qt::Key_Right);
        QTest::keyClick(typing, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(typing, Qt::Key_Right, Qt::ControlModifier);
        const FieldFormat edited = w->FieldFormats()[7];
        const double mmPerTwip = 85 / w->Arrangement()->pic.height;
        QVERIFY(std::abs(edited.X - original.X - 30 * mmPerTwip) < 0.5 * mmPerTwip);
        QVERIFY(std::abs(edited.H - original.H - 10 * mmPerTwip) < 0.5 * mmPerTwip);
        QCOMPARE(edited.font.size, original.font.size + 1);

        env.prompt.inputs.enqueue(QStringLiteral("右移"));
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("saveFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("右移"));
        test::PickInChooser(store::DefaultFormatName());
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("loadFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->FieldFormats()[7].X, original.X);
        test::PickInChooser(QStringLiteral("右移"));
        QTest::mouseClick(test::Child<QPushButton>(*w, QStringLiteral("loadFormatButton")),
                          Qt::LeftButton);
        QCOMPARE(w->CurFormat()->text(), QStringLiteral("右移"));
        QVERIFY(std::abs(w->FieldFormats()[7].X - edited.X) < 1e-9);
        QVERIFY(std::abs(w->FieldFormats()[7].H - edited.H) < 1e-9);
        QCOMPARE(w->FieldFormats()[7].font.size, edited.font.size);
        QCOMPARE(w->Editor()->Field(FieldRole::DrawerBank)->font().pointSizeF(),
                 double(edited.font.size));
        QVERIFY(std::abs(w->Editor()->Placement()[7].field.left - edited.X / mmPerTwip) < 1e-6);
    }

    // --- font menu ---------------------------------------------------------------------

    void menuOffersSpacingExceptOnAmount_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("spacing");
        QTest::newRow("amount in figures") << 12 << false;
        QTest::newRow("drawer name") << 5 << true;
        QTest::newRow("capital amount") << 11 << true;
        QTest::newRow("stub amount") << 28 << true;
    }

    void menuOffersSpacingExceptOnAmount() {
        QFETCH(int, field);
        QFETCH(bool, spacing);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        w->Editor()->Field(RoleOf(field))->setFocus();
        QCoreApplication::processEvents();
        const FieldTexts texts = w->Texts();
        bool seen = false, enabledWhileOpen = true, fontItem = false, spacingItem = !spacing;
        WhenMenuOpen([&](QMenu* menu) {
            seen = menu->objectName() == u"FontMenu";
            enabledWhileOpen = w->Editor()->Field(RoleOf(field))->isEnabled();
            auto* fs = menu->findChild<QAction*>(QStringLiteral("FontStyle"));
            auto* ms = menu->findChild<QAction*>(QStringLiteral("mModiSpace"));
            fontItem = fs && fs->isVisible() && fs->text() == u"修改字体/字号";
            spacingItem = ms && ms->isVisible() && ms->text() == u"修改字符间距";
            menu->close();
        });
        QTest::mousePress(w->Editor()->Field(RoleOf(field)), Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(seen);
        QVERIFY(!enabledWhileOpen);
        QVERIFY(fontItem);
        QCOMPARE(spacingItem, spacing);
        QCOMPARE(w->Editor()->MenuField(), field);
        QVERIFY(w->Editor()->Field(RoleOf(field))->isEnabled());
        QCOMPARE(w->focusWidget(), w->Editor()->Field(RoleOf(field)));
        // Opening the menu is not leaving the field: no field rule ran.
        QCOMPARE(w->Texts(), texts);
        QVERIFY(env.prompt.shown.isEmpty());
    }

    void menuFontReachesLayout() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        const FieldFont choice{.family = QStringLiteral("黑体"),
                               .size = 16,
                               .bold = true,
                               .italic = true,
                               .underline = true,
                               .color = 0x0000FF};
        env.prompt.fonts.enqueue(choice);
        WhenMenuOpen([](QMenu* menu) {
            menu->setActiveAction(menu->findChild<QAction*>(QStringLiteral("FontStyle")));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mousePress(w->Editor()->Field(FieldRole::DrawerAccount), Qt::RightButton, {},
                          QPoint(5, 5));
        QCOMPARE(env.prompt.lastFontPreset.family, QStringLiteral("宋体"));
        const FieldFormat& f = w->FieldFormats()[6];
        QCOMPARE(f.font.family, QStringLiteral("黑体"));
        QCOMPARE(f.font.size, 16.0f);
        QVERIFY(f.font.bold && f.font.italic && f.font.underline && !f.font.strikeout);
        QCOMPARE(f.font.color, 0x0000FF);
        QCOMPARE(w->Editor()->Field(FieldRole::DrawerAccount)->palette().color(QPalette::Text),
                 QColor(255, 0, 0));
    }

    void menuSpacingUsesFormatInUse() {
        test::TestEnv env;
        env.CreateDatabase();
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        env.prompt.inputs.enqueue(QStringLiteral("2.5"));
        WhenMenuOpen([](QMenu* menu) {
            menu->setActiveAction(menu->findChild<QAction*>(QStringLiteral("mModiSpace")));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mousePress(w->Editor()->Field(FieldRole::PayeeAccount), Qt::RightButton, {},
                          QPoint(5, 5));
        QCOMPARE(env.prompt.Texts(QStringLiteral("input")),
                 QStringList{QStringLiteral("请输入字符间距(单位：毫米)：")});
        const auto rows = test::Rows(env.ctx, QStringLiteral("SELECT Name, CID, Sp FROM 字距"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("默认格式"));
        QCOMPARE(rows[0][1].toInt(), 9);
        QCOMPARE(rows[0][2].toDouble(), 2.5);
    }

    void fontDialogPresetAndCancel() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QFont font(QStringLiteral("楷体"));
        font.setPointSizeF(13);
        font.setItalic(true);
        font.setStrikeOut(true);
        w->Editor()->Field(FieldRole::PayeeBank)->setFont(font);
        QPalette p = w->Editor()->Field(FieldRole::PayeeBank)->palette();
        p.setColor(QPalette::Text, QColor(0, 128, 255));
        w->Editor()->Field(FieldRole::PayeeBank)->setPalette(p);
        env.prompt.fonts.enqueue(std::nullopt);
        w->Editor()->ChangeFieldFont(10);
        const FieldFont preset = env.prompt.lastFontPreset;
        QCOMPARE(preset, (FieldFont{.family = QStringLiteral("楷体"),
                                    .size = 13,
                                    .italic = true,
                                    .strikeout = true,
                                    .color = 0xFF8000}));
        QCOMPARE(w->Editor()->Field(FieldRole::PayeeBank)->font(), font);
        QCOMPARE(w->Editor()->Field(FieldRole::PayeeBank)->palette().color(QPalette::Text),
                 QColor(0, 128, 255));
    }

    // --- the grid ----------------------------------------------------------------------

    void optionClicks_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("rearranges");
        QTest::newRow("grid redraws only") << "showGrid" << false;
        QTest::newRow("stub re-arranges") << "printStub" << true;
        QTest::newRow("feeder re-arranges") << "centreOnFeeder" << true;
    }

    void optionClicks() {
        QFETCH(QString, option);
        QFETCH(bool, rearranges);
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        w->SST()->setCurrentIndex(1);
        // Moved on screen but not yet taken into the layout.
        const double stored = w->Editor()->Placement()[7].field.left;
        w->Editor()->Placement()[7].field.left += 300;
        w->Editor()->PlaceFieldWidgets();
        const bool grid = test::Child<QCheckBox>(*w, QStringLiteral("showGrid"))->isChecked();
        QTest::mouseClick(test::Child<QCheckBox>(*w, option), Qt::LeftButton);
        QCOMPARE(test::Child<QCheckBox>(*w, QStringLiteral("showGrid"))->isChecked(),
                 option == u"showGrid" ? !grid : grid);
        if (option == u"printStub")
            QTest::mouseClick(test::Child<QCheckBox>(*w, QStringLiteral("printStub")),
                              Qt::LeftButton);  // stub shown again
        QCOMPARE(w->Editor()->Placement()[7].field.left, rearranges ? stored : stored + 300);
        QCOMPARE(HasColour(w->Editor()->PicCanvas(), kMillimetreGridMajorColour),
                 test::Child<QCheckBox>(*w, QStringLiteral("showGrid"))->isChecked());
    }

    void gridOnTheWindow() {
        test::TestEnv env;
        auto w = test::OpenMainWindow(env);
        QVERIFY(w);
        QVERIFY(test::Child<QCheckBox>(*w, QStringLiteral("showGrid"))->isChecked());
        const double step = std::nearbyint(w->Arrangement()->pic.height / 85);
        QCOMPARE(w->Editor()->PicCanvas().size(), w->Editor()->size());
        // Near the top, above every field: the 1 cm line is major, the 2 mm and 8 mm lines minor.
        const int y = 4;
        auto colourAt = [&](const QImage& img, double twips) {
            const int x = int(twips / Tpp());
            return img.pixelColor(x, y) == kMillimetreGridMinorColour ||
                           img.pixelColor(x, y) == kMillimetreGridMajorColour
                       ? img.pixelColor(x, y)
                       : img.pixelColor(x + 1, y);
        };
        QCOMPARE(colourAt(w->Editor()->PicCanvas(), step * 10), kMillimetreGridMajorColour);
        QCOMPARE(colourAt(w->Editor()->PicCanvas(), step * 2), kMillimetreGridMinorColour);
        QCOMPARE(colourAt(w->Editor()->PicCanvas(), step * 8), kMillimetreGridMinorColour);
        // The picture shows the canvas when it paints, behind the fields.
        w->Editor()->repaint();
        const QImage shown = w->Editor()->grab().toImage();
        QCOMPARE(colourAt(shown, step * 10), kMillimetreGridMajorColour);

        // "85m" reads as 85: the same picture.
        const QImage at85 = w->Editor()->PicCanvas();
        test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->setText(QStringLiteral("85m"));
        w->NetLine();
        QCOMPARE(w->Editor()->PicCanvas(), at85);
        test::Child<QLineEdit>(*w, QStringLiteral("formHeight"))->setText(QStringLiteral("90"));
        w->NetLine();
        QVERIFY(w->Editor()->PicCanvas() != at85);
    }
};

QTEST_MAIN(TestLayoutWindow)
#include "tst_layout_window.moc"
