#include "store/party_fill.h"

using namespace Qt::StringLiterals;

namespace tf::store {

QList<PartyFill> PlanPartyFill(int nameField, const Suggestion& entry, const FieldTexts& current,
                               const FieldTexts& filled) {
    FieldRole account;
    FieldRole bank;
    switch (RoleOf(nameField)) {
        case FieldRole::DrawerName:
            account = FieldRole::DrawerAccount;
            bank = FieldRole::DrawerBank;
            break;
        case FieldRole::PayeeName:
            account = FieldRole::PayeeAccount;
            bank = FieldRole::PayeeBank;
            break;
        default:
            return {};
    }
    QList<PartyFill> plan;
    for (const auto& [role, text] :
         {std::pair{account, entry.account}, std::pair{bank, entry.bank}}) {
        const QString& now = current[role];
        if (now == text) continue;
        const bool ours = now.isEmpty() || now == filled[role];
        // Typed text stays without a question when the entry has nothing to put in its place.
        if (!ours && text.isEmpty()) continue;
        plan.append({FieldOf(role), text, !ours});
    }
    return plan;
}

QString ReplaceTypedQuestion(const PartyFill& fill, const QString& typed) {
    return u"%1中已有“%2”，是否换成“%3”？"_s.arg(FieldCaption(fill.field), typed, fill.text);
}

}  // namespace tf::store
