#pragma once

#include <QColor>

namespace tf {

// Stored colours are 0x00BBGGRR values: red in the low byte.
inline QColor ColourFromBgr(qint32 bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
inline qint32 BgrFromColour(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

}  // namespace tf
