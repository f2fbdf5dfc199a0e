#pragma once

#include <QString>
#include <functional>

#include "common/app_context.h"
#include "common/field_format.h"
#include "common/voucher_layout.h"

namespace tf::store {

inline QString DefaultFormatName() {
    return QStringLiteral("默认格式");
}

// The format in use as the main window holds it: the voucher's layout, every field's
// layout and the format's name.
struct VoucherSettings {
    VoucherLayout layout;
    QString CurFormat = DefaultFormatName();
    FieldFormats fieldFormats;
};

// What loading and deleting need from the windows around them.
struct FormatHooks {
    // Shows the format chooser and waits for it; returns the chosen name, empty on cancel.
    std::function<QString()> chooseFormat;
    // Runs after a load has filled the settings: ends a rubber band and re-arranges the window.
    std::function<void()> formatApplied;
};

// Makes the named format the one in use. An empty name lets the user choose; the chosen
// name is written back. Failing steps are skipped.
void LoadFormat(const AppContext& ctx, QString& name, VoucherSettings& s, const FormatHooks& hooks);

// Stores the settings and field layout under the name (asks for one when empty, asks before
// overwriting another format). Returns true when the format was stored.
bool SaveFormat(const AppContext& ctx, QString& name, VoucherSettings& s);

// Removes the named format (lets the user choose when empty). Returns true when deleted.
bool DeleteFormat(const AppContext& ctx, QString& name, const VoucherSettings& s,
                  const FormatHooks& hooks);

// The names of all stored formats in the database's text order.
QStringList FormatNames(const AppContext& ctx);

class Database;
// Creates the formats table holding the format "默认格式" made from the settings, in one
// transaction. False when anything failed (nothing is then created).
bool CreateFormatsTable(Database& db, const VoucherSettings& defaults);
// Adds the format "默认格式" made from the window's design (the voucher row and the 32 field
// rows), in the caller's transaction.
bool InsertDefaultFormat(Database& db);

}  // namespace tf::store
