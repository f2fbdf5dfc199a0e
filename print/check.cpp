#include "print/check.h"

#include <algorithm>

#include "common/prompt.h"

namespace tf::print {

namespace {

// Half a twip: the layout works in fractions, the paper in whole device dots.
constexpr double kTolerance = 0.5;

bool OffPaper(const PlacedRun& run, const QSizeF& paper) {
    return run.x < -kTolerance || run.y < -kTolerance ||
           run.x + run.width > paper.width() + kTolerance ||
           run.y + run.height > paper.height() + kTolerance;
}

// How many text lines the runs of a field make.
int LineCount(const PlacedField& f) {
    QList<double> tops;
    for (const PlacedRun& run : f.runs)
        if (!tops.contains(run.y)) tops.append(run.y);
    return static_cast<int>(tops.size());
}

}  // namespace

QList<FieldProblem> CheckPage(const LaidOutPage& page) {
    QList<FieldProblem> out;
    for (const PlacedField& f : page.fields) {
        const auto add = [&](Overflow kind) { out.append({f.field, f.caption, kind}); };
        if (f.amount) {
            if (f.amountChars > kAmountBoxes) add(Overflow::Amount);
        } else {
            const int lines = LineCount(f);
            if (lines > 1 && lines * f.lineHeight > f.box.height() + kTolerance)
                add(Overflow::Height);
        }
        if (std::any_of(f.runs.cbegin(), f.runs.cend(),
                        [&](const PlacedRun& run) { return OffPaper(run, page.paperSize); }))
            add(Overflow::Paper);
    }
    return out;
}

QList<int> OverflowingFields(const QList<FieldProblem>& problems) {
    QList<int> out;
    for (const FieldProblem& p : problems)
        if (!out.contains(p.field)) out.append(p.field);
    return out;
}

QString DescribeProblem(const FieldProblem& problem) {
    const QString name =
        IsStubField(problem.field) ? QStringLiteral("票根") + problem.caption : problem.caption;
    switch (problem.kind) {
        case Overflow::Height:
            return name + QStringLiteral("：文字超出栏高");
        case Overflow::Paper:
            return name + QStringLiteral("：文字超出纸边");
        case Overflow::Amount:
            return name + QStringLiteral("：超过11位");
    }
    return name;
}

QString OverflowQuestion(const QStringList& lines) {
    return QStringLiteral("以下内容打印时放不下：\n") + lines.join(u'\n') +
           QStringLiteral("\n\n是否仍然打印？");
}

bool ConfirmFit(const AppContext& ctx, const LaidOutJob& job, const QList<int>& numbers) {
    // A long batch lists its first problems and counts the rest.
    constexpr qsizetype kMaxLines = 20;
    QStringList lines;
    qsizetype found = 0;
    for (qsizetype p = 0; p < job.pages.size(); ++p) {
        if (!job.pages[p]) continue;
        for (const FieldProblem& problem : CheckPage(*job.pages[p])) {
            ++found;
            if (lines.size() >= kMaxLines) continue;
            const QString prefix =
                p < numbers.size() ? QStringLiteral("第%1条 ").arg(numbers[p]) : QString();
            lines.append(prefix + DescribeProblem(problem));
        }
    }
    if (found == 0) return true;
    if (found > lines.size()) lines.append(QStringLiteral("……共%1处").arg(found));
    return ctx.UserPrompt().AskYesNo(OverflowQuestion(lines));
}

}  // namespace tf::print
