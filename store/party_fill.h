#pragma once

#include <QList>
#include <QString>

#include "common/fields.h"
#include "store/parties.h"

// What accepting a quick-fill entry in a full-name field puts into the rest of that side of
// the voucher: the account and the bank the name was used with.

namespace tf::store {

struct PartyFill {
    int field = 0;
    QString text;
    // The field holds text the clerk typed: replaced only when the clerk agrees.
    bool asks = false;
};

// The account and bank to fill when `entry` is accepted in `nameField` (出票人全称 or 收款人全称;
// nothing for other fields). A field is filled when it is empty or still holds what an earlier
// quick fill put there (`filled`), even with an empty text, so a previous party's account never
// stays beside a new name; a field with other typed text is listed with `asks`; a field that
// already holds the entry's text is left out.
QList<PartyFill> PlanPartyFill(int nameField, const Suggestion& entry, const FieldTexts& current,
                               const FieldTexts& filled);

// The question before typed text is replaced, e.g. "收款人账号中已有“6222…”，是否换成“6217…”？".
QString ReplaceTypedQuestion(const PartyFill& fill, const QString& typed);

}  // namespace tf::store
