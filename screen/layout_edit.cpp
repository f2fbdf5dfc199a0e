#include "screen/layout_edit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tf {

namespace {

// The fields an operation acts on: all selected ones, or the one named when it is selected.
template <typename F>
void ForSelected(const Selection& selected, int field, F f) {
    if (field >= 0) {
        if (field >= kFirstField && field <= kLastField && selected[field]) f(field);
        return;
    }
    for (int i = kFirstField; i <= kLastField; ++i)
        if (selected[i]) f(i);
}

}  // namespace

Selection SelectionOf(const FieldFormats& formats) {
    Selection s;
    for (int i = kFirstField; i <= kLastField; ++i) s[i] = formats[i].Selected;
    return s;
}

bool FieldTouchesRect(const TwipsRect& f, qint32 x1, qint32 y1, qint32 x2, qint32 y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    return !(f.left + f.width < x1 || f.left > x2 || f.top + f.height < y1 || f.top > y2);
}

void MoveSelected(FieldPlacement& placement, const Selection& selected, PicExtent pic, double dx,
                  double dy, int field) {
    ForSelected(selected, field, [&](int i) {
        PlacedField& p = placement[i];
        double newLeft = RoundHalfEvenInt32(p.field.left + dx);
        double newTop = RoundHalfEvenInt32(p.field.top + dy);
        if (newLeft + p.field.width > pic.width) newLeft = pic.width - p.field.width;
        if (newTop + p.field.height > pic.height) newTop = pic.height - p.field.height;
        // Checked last, so that a field larger than the picture keeps its top-left corner
        // inside rather than moving out to the left or top.
        newLeft = std::max(newLeft, 0.0);
        newTop = std::max(newTop, 0.0);
        p.captionLeft += newLeft - p.field.left;
        p.field.left = newLeft;
        p.captionTop += newTop - p.field.top;
        p.field.top = newTop;
    });
}

void ResizeSelected(FieldPlacement& placement, const Selection& selected, PicExtent pic, double dw,
                    double dh, int field) {
    ForSelected(selected, field, [&](int i) {
        PlacedField& p = placement[i];
        double newWidth = std::max<double>(RoundHalfEvenInt32(p.field.width + dw), kMinFieldExtent);
        double newHeight =
            std::max<double>(RoundHalfEvenInt32(p.field.height + dh), kMinFieldExtent);
        if (p.field.left + newWidth > pic.width) newWidth = pic.width - p.field.left;
        if (p.field.top + newHeight > pic.height) newHeight = pic.height - p.field.top;
        // Date captions ("年", "月", "日") stand right of their field and follow its edge.
        if (p.captionLeft > p.field.left) p.captionLeft = p.field.left + newWidth;
        p.field.width = newWidth;
        p.field.height = newHeight;
    });
}

void ChangeSelectedFontSize(FieldTable<double>& fontSizes, const Selection& selected, double step,
                            int field) {
    ForSelected(selected, field,
                [&](int i) { fontSizes[i] = std::max(fontSizes[i] + step, kMinFontSize); });
}

}  // namespace tf
