#pragma once

#include <optional>

#include "common/field_format.h"
#include "common/fields.h"

// The arithmetic of the main window's arrangement, kept free of widgets so that it can be
// checked exactly. All lengths are twips unless a name says mm.

namespace tf {

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

// What the arrangement depends on: the screen, the voucher dimensions and the design sizes
// of the controls it places.
struct ArrangeInput {
    double screenWidth = 0;
    double screenHeight = 0;
    double formWidthMm = 220;  // W, "单据宽度"
    double formHeightMm = 85;  // H, "单据高度"
    double stubWidthMm = 65;   // S, "票根宽度"
    bool stubShown = true;     // "连同票根打印"
    double picLeft = 60;
    double picTop = 1440;
    double titleWidth = 4695;    // the title
    double exitWidth = 975;      // "退  出"
    double helpWidth = 735;      // "帮  助"
    double contactWidth = 1215;  // "QQ在线帮助"
    // The free area of the screen (without panels and task bars), vertically; a height of 0
    // means the whole screen.
    double workTop = 0;
    double workHeight = 0;
};

struct ArrangeResult {
    TwipsRect window;  // outer frame of the main window
    TwipsRect pic;     // the voucher picture, relative to the window's client area
    double lineX = 0;  // the stub line, inside Pic
    double lineY1 = 0;
    double lineY2 = 0;
    bool lineVisible = true;
    double titleLeft = 0;  // the title, inside Pic
    double titleTop = 0;
    TwipsRect tip;           // the tip line (its height is left as it is: 0 here)
    double tabWidth = 0;     // the tab control
    double exitLeft = 0;     // "退  出"
    double helpLeft = 0;     // "帮  助"
    double contactLeft = 0;  // "QQ在线帮助"
    double twipsPerMm = 0;   // k = Pic height / H
    // The dimensions the arrangement was built from: fields are read back from the screen
    // with these, never with a text still being typed into a dimension box.
    double formHeightMm = 0;
    double stubWidthMm = 0;
    bool stubShown = true;
};

// The window geometry for the given input. Empty when the dimensions give no picture
// (H or W not positive, or W not larger than S while the stub is hidden). A window that would
// be taller than the free area gets a smaller picture instead, and it is never placed above
// the free area's top, so its title bar and buttons stay reachable.
std::optional<ArrangeResult> ArrangeGeometry(const ArrangeInput& in);

// Where one field and its caption stand inside Pic.
struct PlacedField {
    TwipsRect field;
    double captionLeft = 0;
    double captionTop = 0;
    friend bool operator==(const PlacedField&, const PlacedField&) = default;
};
using FieldPlacement = FieldTable<PlacedField>;

// The fields and captions as the window's design places them (stub shown, design size).
FieldPlacement DesignPlacement();

// Places every field from its millimetres with k twips per mm. With the stub hidden every
// field and caption moves left by S mm. Captions keep their offset to their field, except a
// caption right of its field, which follows the field's right edge.
void ApplyLayoutGeometry(const FieldFormats& formats, double twipsPerMm, double stubWidthMm,
                         bool stubShown, FieldPlacement& placement);

// The inverse: the millimetres of every field's position and size. Fonts, colours and
// Selected are left alone.
void CaptureLayoutGeometry(const FieldPlacement& placement, double formHeightMm, double picHeight,
                           double stubWidthMm, bool stubShown, FieldFormats& formats);

}  // namespace tf
