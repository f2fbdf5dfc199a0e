#pragma once

#include <QList>
#include <QString>

#include "print/layout.h"

// The check made before a voucher is printed: texts that will not fit their boxes on paper.

namespace tf::print {

enum class Overflow {
    Height,  // the wrapped text needs more lines than its box is high
    Paper,   // a character runs past the paper's edge
    Amount,  // the amount has more characters than its eleven boxes
};

struct FieldProblem {
    int field = 0;
    QString caption;
    Overflow kind = Overflow::Height;
    friend bool operator==(const FieldProblem&, const FieldProblem&) = default;
};

// Every field of the laid-out page whose text will not fit, in field order, each problem
// once. A single line always fits its box's height: the box marks where the line starts.
QList<FieldProblem> CheckPage(const LaidOutPage& page);

// The fields with a problem, as a set of field numbers.
QList<int> OverflowingFields(const QList<FieldProblem>& problems);

// One line for the message: the field's caption (the stub's marked as such) and what is
// wrong.
QString DescribeProblem(const FieldProblem& problem);

// The question asked before printing when the check found something; `lines` are the
// described problems. True to print anyway.
QString OverflowQuestion(const QStringList& lines);

// Checks every page of the job. When something is found asks once, listing the fields
// (with the record numbers for a batch: numbers[i] belongs to the job's page i); true to print.
// Nothing found, or nothing laid out: true, without a question.
bool ConfirmFit(const AppContext& ctx, const LaidOutJob& job, const QList<int>& numbers = {});

}  // namespace tf::print
