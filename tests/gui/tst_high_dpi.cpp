#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "common/fonts.h"
#include "gui/editor/voucher_editor.h"
#include "gui/main/main_window.h"
#include "support/test_env.h"
#include "support/window_support.h"

using namespace tf;
using namespace Qt::StringLiterals;

// The same layout edits on a screen of normal density and on one of twice the density
// (QT_SCALE_FACTOR=2 on a screen of twice the pixels) give the same saved format: the
// millimetre arithmetic works in logical pixels and never sees the device pixels. Each run
// is a child process of this test, since the scale factor is fixed when Qt starts.

namespace {

constexpr char kChildVariable[] = "TALLYFORM_HIGH_DPI_CHILD";

// Edits the default layout as a clerk would, saves it as a format and prints the stored
// rows and the fields' geometry.
int RunChild() {
    test::TestEnv env;
    env.CreateDatabase();
    auto w = test::OpenMainWindow(env);
    if (!w) return 2;
    // Select the drawer's fields with a band, move, widen and enlarge them.
    w->Editor()->Pic_MouseDown(Qt::LeftButton, 3300, 1150);
    w->Editor()->Pic_MouseUp(Qt::LeftButton, 7800, 1800);
    QWidget* focus = w->Editor()->Field(FieldRole::DrawerName);
    focus->setFocus();
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m) {
        for (int n = 0; n < 3; ++n) QTest::keyClick(focus, k, m);
    };
    key(Qt::Key_Right, Qt::NoModifier);
    key(Qt::Key_Down, Qt::NoModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ControlModifier);
    env.prompt.inputs.enqueue(u"高分屏"_s);
    w->Actions().saveFormat->trigger();

    QTextStream out(stdout);
    const auto rows =
        test::Rows(env.ctx, u"SELECT * FROM 参数 WHERE Name=? ORDER BY Ctl"_s, {u"高分屏"_s});
    for (const QVariantList& row : rows) {
        QStringList cells;
        for (const QVariant& v : row) cells << v.toString();
        out << cells.join(u'|') << '\n';
    }
    for (int i = kFirstField; i <= kLastField; ++i) {
        const QRect g = w->Editor()->Field(RoleOf(i))->geometry();
        out << "T" << i << ' ' << g.x() << ',' << g.y() << ',' << g.width() << ',' << g.height()
            << '\n';
    }
    // The picture's canvas has the screen's pixels, so the grid is drawn sharp.
    out << "dpr " << w->devicePixelRatioF() << ' ' << w->Editor()->PicCanvas().devicePixelRatio()
        << '\n';
    env.prompt.yesNo.enqueue(false);
    w->close();
    return rows.isEmpty() ? 3 : 0;
}

}  // namespace

class TestHighDpi : public QObject {
    Q_OBJECT
private slots:
    void savedFormatIndependentOfScale() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto run = [&](int scale, QString& output) {
            const QString config = dir.filePath(u"screen%1.json"_s.arg(scale));
            QFile f(config);
            if (!f.open(QIODevice::WriteOnly)) return false;
            // The same logical screen, 1366 × 768, at scale 1 and 2.
            f.write(QStringLiteral(R"({"screens":[{"name":"s","x":0,"y":0,"width":%1,)"
                                   R"("height":%2,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                        .arg(1366 * scale)
                        .arg(768 * scale)
                        .toUtf8());
            f.close();
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kChildVariable), u"1"_s);
            env.insert(u"QT_SCALE_FACTOR"_s, QString::number(scale));
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen:configfile="_s + config);
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationFilePath(), {});
            if (!p.waitForFinished(120000) || p.exitCode() != 0) {
                qWarning() << p.readAllStandardError();
                return false;
            }
            output = QString::fromUtf8(p.readAllStandardOutput());
            return true;
        };
        QString normal, doubled;
        QVERIFY(run(1, normal));
        QVERIFY(run(2, doubled));
        QVERIFY(normal.contains(u"dpr 1 1\n"_s));
        QVERIFY(doubled.contains(u"dpr 2 2\n"_s));
        normal.remove(u"dpr 1 1\n"_s);
        doubled.remove(u"dpr 2 2\n"_s);
        QVERIFY(normal.count(u'\n') > 32);
        QCOMPARE(doubled, normal);
    }
};

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet(kChildVariable)) {
        QApplication app(argc, argv);
        InstallFontSubstitutions();
        return RunChild();
    }
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_high_dpi.moc"
