#pragma once

#include <QTemporaryDir>

#include "common/app_context.h"
#include "support/recording_progress.h"
#include "support/scripted_prompt.h"

namespace tf::test {

// A data directory of its own, a scripted prompt, a recording progress display and a settable
// clock for one test.
struct TestEnv {
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    RecordingProgress progress;
    QDateTime clock{QDate(2026, 3, 7), QTime(9, 30, 15)};
    AppContext ctx;

    TestEnv();
    // Creates Par.mdb with its tables and the default format, as a first start does.
    void CreateDatabase();
};

}  // namespace tf::test

namespace tf::test {

// Runs a query on the test's Par.mdb through a connection of its own and returns every
// row's values .
QList<QVariantList> Rows(const AppContext& ctx, const QString& sql,
                         const QVariantList& params = {});
// The first column of the first row, or an invalid QVariant.
QVariant Scalar(const AppContext& ctx, const QString& sql, const QVariantList& params = {});
// Runs a statement; false on error.
bool Exec(const AppContext& ctx, const QString& sql);

}  // namespace tf::test
