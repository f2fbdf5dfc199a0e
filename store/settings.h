#pragma once

#include <QString>

#include "common/app_context.h"

// The per-user settings store: short texts addressed by application, section and key.
// It lives in an INI file (the context's settings file, or the user's Tallyform.ini), group
// "application/section", so "Tallyform/Collate/X" holds the horizontal printer margin.

namespace tf::print {

// The stored text, or empty when there is none or the store cannot be read. A malformed line
// elsewhere in the file does not hide a key that can be read. Reading never creates or
// changes anything.
QString ReadSetting(const AppContext& ctx, const QString& app, const QString& section,
                    const QString& key);

// Stores the text; true when it reached the store.
bool WriteSetting(const AppContext& ctx, const QString& app, const QString& section,
                  const QString& key, const QString& value);

// The file that holds the store, for messages.
QString SettingsFilePath(const AppContext& ctx);

inline QString SettingsApp() {
    return QStringLiteral("Tallyform");
}
inline QString CollateSection() {
    return QStringLiteral("Collate");
}
// The settings tab's options that belong to no format.
inline QString OptionsSection() {
    return QStringLiteral("Options");
}
// "0" when the fields do not list history names while the clerk types; on otherwise, and
// when nothing is stored.
inline QString QuickFillKey() {
    return QStringLiteral("QuickFill");
}

// The margin printing assumes when nothing is stored: the calibration square then counts as
// 13 mm from the edge, an offset of 3 mm.
constexpr double kAssumedMarginMm = 13;
// Where the calibration square is printed, mm from the page corner.
constexpr double kCalibrationMarginMm = 10;

// A print offset in millimetres from a stored margin text: its leading number less the
// 10 mm of the calibration square; 3 for an empty text.
double OffsetFromSetting(const QString& text);

// The offsets "X" and "Y" of section "Collate", read afresh.
struct Offsets {
    double x = 0;
    double y = 0;
};
Offsets ReadOffsets(const AppContext& ctx);

}  // namespace tf::print
