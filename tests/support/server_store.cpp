#include "support/server_store.h"

#include "store/server_record_store.h"
#include "support/test_server.h"

namespace tf::test {

bool UseServerStore(TestEnv& env) {
    if (TestServer::SocketFolder().isEmpty()) return false;
    env.CreateDatabase();
    auto server = std::make_shared<TestServer>();
    if (!server->Ok()) return false;
    server->Use(env.ctx, AdminLogin());
    // The database lives as long as the context that opens stores on it.
    env.ctx.openRecordStore = [server](const AppContext& ctx) {
        return std::make_unique<store::ServerRecordStore>(ctx);
    };
    return true;
}

}  // namespace tf::test
