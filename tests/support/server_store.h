#pragma once

#include "support/test_env.h"

// The office server as a store the record store's test set runs against: a database of its own
// on the test run's cluster (support/test_server.h), with the program's tables, used by an
// administrator (who may do everything the store offers).

namespace tf::test {

// Points env's context at a fresh database on the cluster, dropped with the context, and at
// the server's record store; the kept voucher text stays in env's local file, as on a desk.
// False when the run has no cluster.
bool UseServerStore(TestEnv& env);

}  // namespace tf::test
