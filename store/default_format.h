#pragma once

#include "store/formats.h"

namespace tf::store {

// The layout of the voucher window's design, converted to millimetres for an 85 mm high
// form: the format a new database starts with.
FieldFormats DesignFieldFormats();
VoucherSettings DesignSettings();

// The caption offsets of the design, in twips inside the voucher picture at design size.
struct DesignGeometry {
    int left, top, width, height;  // field, twips
    int captionLeft, captionTop;   // its caption, twips
};
const DesignGeometry& DesignGeometryOf(int field);
constexpr double kDesignPictureWidth = 11655;
constexpr double kDesignPictureHeight = 4455;
constexpr double kDesignFormHeightMm = 85;
constexpr double kDesignFormWidthMm = 220;

}  // namespace tf::store
