#include "support/recording_printer.h"

namespace tf::test {

bool RecordingPrinter::SetPaper(print::Paper p) {
    calls << QStringLiteral("paper %1").arg(int(p));
    if ((p == print::Paper::A3 && refuseA3) || (p == print::Paper::A4 && refuseA4)) return false;
    paper = p;
    return true;
}

bool RecordingPrinter::SetOrientation(print::Orientation o) {
    calls << QStringLiteral("orientation %1").arg(int(o));
    if (refuseOrientation) return false;
    orientation = o;
    return true;
}

bool RecordingPrinter::SetFont(const FieldFont& f) {
    calls << QStringLiteral("font ") + f.family + u' ' + QString::number(f.size);
    font = f;
    return true;
}

double RecordingPrinter::TextWidth(const QString& text) {
    double w = 0;
    for (const QChar c : text) w += CharWidth(c, font.size);
    return w;
}

double RecordingPrinter::TextHeight(const QString&) {
    return LineHeight(font.size);
}

bool RecordingPrinter::FilledBox(double x1, double y1, double x2, double y2) {
    calls << QStringLiteral("box");
    boxes.append({x1, y1, x2, y2});
    return true;
}

bool RecordingPrinter::NewPage() {
    calls << QStringLiteral("page");
    pageStarts.append(static_cast<int>(runs.size()));
    return true;
}

bool RecordingPrinter::EndDoc() {
    calls << QStringLiteral("end");
    ++endDocs;
    return true;
}

void RecordingPrinter::AbortDoc() {
    calls << QStringLiteral("abort");
    ++aborts;
}

bool RecordingPrinter::DrawText(const QString& text, double x, double y) {
    if (failAfterRuns >= 0 && runs.size() >= failAfterRuns) return false;
    calls << QStringLiteral("text ") + text;
    runs.append({text, x, y, font});
    return true;
}

}  // namespace tf::test
