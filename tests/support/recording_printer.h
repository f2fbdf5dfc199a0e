#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "print/print_target.h"
#include "print/printer.h"

namespace tf::test {

// A printer that keeps everything it is asked to do, for tests. Its text metric is simple
// enough to predict by hand: a character below U+0080 is size × 10 twips wide, any other
// (CJK, full-width signs) size × 20; every text is size × 25 twips high, whatever it holds.
class RecordingPrinter : public print::PrintDevice, public print::PrintTarget {
public:
    struct Run {
        QString text;
        double x = 0;
        double y = 0;
        FieldFont font;
    };
    struct Box {
        double x1, y1, x2, y2;
    };

    static double CharWidth(QChar c, double size) {
        return c.unicode() < 0x80 ? size * 10 : size * 20;
    }
    static double LineHeight(double size) { return size * 25; }

    bool SetPaper(print::Paper paper) override;
    bool SetOrientation(print::Orientation orientation) override;
    bool SetFont(const FieldFont& font) override;
    double TextWidth(const QString& text) override;
    double TextHeight(const QString& text) override;
    bool FilledBox(double x1, double y1, double x2, double y2) override;
    bool NewPage() override;
    bool EndDoc() override;
    void AbortDoc() override;
    QPrinter* Printer() override { return nullptr; }

    // Failures to simulate.
    bool refuseA3 = false;
    bool refuseA4 = false;
    bool refuseOrientation = false;
    int failAfterRuns = -1;  // Print fails once this many runs are placed; -1 never

    // What happened, in order: "paper 9", "orientation 1", "font …", "text …", "box", "page",
    // "end", "abort".
    QStringList calls;
    QList<Run> runs;
    QList<Box> boxes;
    print::Paper paper = print::Paper::A4;
    print::Orientation orientation = print::Orientation::Portrait;
    FieldFont font;
    int endDocs = 0;
    int aborts = 0;
    QList<int> pageStarts;  // runs.size() at every new page

protected:
    bool DrawText(const QString& text, double x, double y) override;
};

}  // namespace tf::test
