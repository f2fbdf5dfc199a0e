#pragma once

#include <QString>
#include <QtGlobal>

namespace tf {

// A field's font: what the font dialog presets and returns, what a format stores for each
// field, what the screen shows and what the printer is set to.
// Every member has an initialiser, so a designated initialiser may leave any of them out.
struct FieldFont {
    QString family{};
    // Points. Single precision, as the formats store it; a size of 0 stands for none.
    float size = 9;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    qint32 color = 0;  // 0x00BBGGRR: red in the low byte
    friend bool operator==(const FieldFont&, const FieldFont&) = default;
};

}  // namespace tf
