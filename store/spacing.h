#pragma once

#include <QString>

#include "common/app_context.h"
#include "common/fields.h"

namespace tf::store {

// Extra space between the characters of each field, millimetres; 0 without a row.
using Spacing = FieldTable<double>;

// Fills the spacing of the named format. An empty name means the format in use
// (currentFormat), which is then written back into name. False when the query failed.
bool ReadSpacing(const AppContext& ctx, Spacing& spacing, QString& name, const QString& currentFormat);

// Makes the target format's spacing rows equal to the source format's, in one transaction.
bool CopySpacing(const AppContext& ctx, const QString& source, const QString& target);

}  // namespace tf::store
