#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "support/test_env.h"

// The record stores a store test runs against, each on a fresh database of its own.

namespace tf::test {

struct StoreKind {
    QString name;
    // Makes the environment's database ready for its store (env.ctx then opens it), as a
    // first start does. False when the kind cannot run here.
    std::function<bool(TestEnv& env)> prepare;
};

// The local file, with its index of the records and without it (a file whose index could not
// be built), and any other store this machine offers.
QList<StoreKind> StoreKinds();

}  // namespace tf::test
