#include "support/store_kinds.h"

#include "store/database.h"
#include "support/server_store.h"

namespace tf::test {

QList<StoreKind> StoreKinds() {
    return {
        {QStringLiteral("sqlite"),
         [](TestEnv& env) {
             env.CreateDatabase();
             return true;
         }},
        {QStringLiteral("sqlite without index"),
         [](TestEnv& env) {
             env.CreateDatabase();
             return Exec(env.ctx, QStringLiteral("DROP TABLE 记录检索")) &&
                    Exec(env.ctx, QStringLiteral("DROP TABLE 记录键")) &&
                    Exec(env.ctx, QStringLiteral("DROP TRIGGER 记录_增")) &&
                    Exec(env.ctx, QStringLiteral("DROP TRIGGER 记录_删")) &&
                    Exec(env.ctx, QStringLiteral("DROP TRIGGER 记录_改"));
         }},
        {QStringLiteral("server"), UseServerStore},
    };
}

}  // namespace tf::test
