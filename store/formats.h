#pragma once

#include <QString>
#include <array>
#include <functional>

#include "common/app_context.h"
#include "common/field_font.h"
#include "common/fields.h"

namespace tf::store {

inline QString DefaultFormatName() {
    return QStringLiteral("默认格式");
}

// One field's layout: millimetres from the top-left corner of the whole form (stub
// included), and its font with the text colour.
struct FieldFormat {
    double X = 0;
    double Y = 0;
    double W = 0;
    double H = 0;
    // Until a format is read a field has no font size, and the screen keeps the field's own.
    FieldFont font{.size = 0};
    bool Selected = false;  // selected in the layout editor; never stored
    friend bool operator==(const FieldFormat&, const FieldFormat&) = default;
};

using FieldFormats = FieldTable<FieldFormat>;

// The voucher settings a format carries besides its field layout, and the format in use.
// The main window owns one of these.
struct VoucherSettings {
    // TT[0] currency symbol, TT[1] form width, TT[2] form height, TT[3] stub width (mm).
    std::array<QString, 4> TT{QStringLiteral("￥"), QStringLiteral("220"), QStringLiteral("85"),
                              QStringLiteral("65")};
    // CHK[0] show grid, CHK[1] print with stub, CHK[2] feeder closes in on the centre; 0 or 1.
    std::array<int, 3> CHK{1, 1, 0};
    // OP[0] "横向打印", OP[1] "纵向打印".
    std::array<bool, 2> OP{true, false};
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
// Adds the format "默认格式" made from the window's design (the voucher row and the 32 field
// rows), in the caller's transaction.
bool InsertDefaultFormat(Database& db);

}  // namespace tf::store
