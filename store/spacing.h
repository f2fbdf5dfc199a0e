#pragma once

#include <QString>
#include <optional>

#include "common/app_context.h"
#include "common/fields.h"

namespace tf::store {

// Extra space between the characters of each field, millimetres; 0 without a row.
using Spacing = FieldTable<double>;

// Fills the spacing of the named format. An empty name means the format in use
// (currentFormat), which is then written back into name. False when the query failed.
bool ReadSpacing(const AppContext& ctx, Spacing& spacing, QString& name,
                 const QString& currentFormat);

// Makes the target format's spacing rows equal to the source format's, in one transaction.
bool CopySpacing(const AppContext& ctx, const QString& source, const QString& target);

class Database;
// The same on a connection whose transaction the caller holds (saving a format copies its
// spacing in the transaction that stores its rows). A source that cannot be read fails the
// copy rather than clearing the target.
bool CopySpacing(Database& db, const QString& source, const QString& target);

// The spacing of one field of a format as the input box proposes it: the stored value as
// text, or empty without a row. Empty optional when the query failed (the user was told).
std::optional<QString> SpacingText(const AppContext& ctx, const QString& format, int field);

// Stores what the user answered for one field: blank changes nothing; a leading number other
// than 0 sets the field's one row (adding it when missing); 0 or no number deletes the row.
// False when the database refused (the user was told).
bool SetSpacing(const AppContext& ctx, const QString& format, int field, const QString& answer);

// Asks for the spacing of one field of the format in use and stores the answer.
void EditSpacing(const AppContext& ctx, const QString& format, int field);

}  // namespace tf::store
