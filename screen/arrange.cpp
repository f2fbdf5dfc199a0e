#include "screen/arrange.h"

#include <algorithm>

#include "store/default_format.h"

namespace tf {

std::optional<ArrangeResult> ArrangeGeometry(const ArrangeInput& in) {
    const double W = in.formWidthMm;
    const double H = in.formHeightMm;
    const double S = in.stubWidthMm;
    // Without these the picture would have no size or a negative one.
    if (!(W > 0) || !(H > 0)) return std::nullopt;
    if (!in.stubShown && !(W > S)) return std::nullopt;

    ArrangeResult r;
    double windowWidth = in.screenWidth - 200;
    if (!in.stubShown) windowWidth = (W - S) * windowWidth / W;
    r.window.width = windowWidth;
    r.window.left = (in.screenWidth - windowWidth) / 2;

    r.pic.left = in.picLeft;
    r.pic.top = in.picTop;
    r.pic.width = windowWidth - 2 * in.picLeft - 80;
    r.pic.height = in.stubShown ? r.pic.width * H / W : r.pic.width * H / (W - S);

    r.window.height = r.pic.height + in.picTop + 750;
    const double workHeight = in.workHeight > 0 ? in.workHeight : in.screenHeight;
    const double workTop = in.workHeight > 0 ? in.workTop : 0;
    if (r.window.height > workHeight) {
        // The picture keeps the form's proportions at the height that fits.
        r.pic.height = std::max(1.0, workHeight - in.picTop - 750);
        r.pic.width = in.stubShown ? r.pic.height * W / H : r.pic.height * (W - S) / H;
        r.window.width = r.pic.width + 2 * in.picLeft + 80;
        r.window.left = (in.screenWidth - r.window.width) / 2;
        r.window.height = r.pic.height + in.picTop + 750;
    }
    r.window.top = workTop + std::max(0.0, (workHeight - r.window.height) / 2);

    // The line runs as far down as the picture is wide, which covers its whole height for
    // any form wider than tall.
    r.lineX = r.pic.width * S / W;
    r.lineY1 = 0;
    r.lineY2 = r.pic.width;
    r.lineVisible = in.stubShown;
    if (in.stubShown)
        r.titleLeft = (r.pic.width - in.titleWidth - r.lineX) / 2 + r.lineX;
    else
        r.titleLeft = (r.pic.width - in.titleWidth) / 2;
    r.titleTop = r.pic.width * 1.2 / H;

    r.tip.top = in.picTop + r.pic.height + 60;
    r.tip.left = in.picLeft;
    r.tip.width = r.pic.width;

    r.tabWidth = r.pic.width;
    r.exitLeft = in.picLeft + r.pic.width - in.exitWidth;
    r.helpLeft = r.exitLeft - in.helpWidth - 40;
    r.contactLeft = r.helpLeft - in.contactWidth;

    r.twipsPerMm = r.pic.height / H;
    r.formHeightMm = H;
    r.stubWidthMm = S;
    r.stubShown = in.stubShown;
    return r;
}

FieldPlacement DesignPlacement() {
    FieldPlacement p;
    for (int i = kFirstField; i <= kLastField; ++i) {
        const auto& g = store::DesignGeometryOf(i);
        p[i].field = {double(g.left), double(g.top), double(g.width), double(g.height)};
        p[i].captionLeft = g.captionLeft;
        p[i].captionTop = g.captionTop;
    }
    return p;
}

void ApplyLayoutGeometry(const FieldFormats& formats, double k, double stubWidthMm, bool stubShown,
                         FieldPlacement& placement) {
    for (int i = kFirstField; i <= kLastField; ++i) {
        const FieldFormat& f = formats[i];
        PlacedField& p = placement[i];

        const double newLeft = k * f.X;
        p.captionLeft += newLeft - p.field.left;
        p.field.left = newLeft;

        const double newTop = k * f.Y;
        p.captionTop += newTop - p.field.top;
        p.field.top = newTop;

        if (!stubShown) {
            const double s = stubWidthMm * k;
            p.captionLeft -= s;
            p.field.left -= s;
        }

        p.field.width = k * f.W;
        p.field.height = k * f.H;

        // Date captions stand right of their field and follow its right edge.
        if (p.captionLeft > p.field.left + 20) p.captionLeft = p.field.left + p.field.width;
    }
}

void CaptureLayoutGeometry(const FieldPlacement& placement, double formHeightMm, double picHeight,
                           double stubWidthMm, bool stubShown, FieldFormats& formats) {
    if (!(picHeight > 0)) return;
    const double m = formHeightMm / picHeight;
    for (int i = kFirstField; i <= kLastField; ++i) {
        const TwipsRect& r = placement[i].field;
        FieldFormat& f = formats[i];
        f.X = r.left * m + (stubShown ? 0 : stubWidthMm);
        f.Y = r.top * m;
        f.W = r.width * m;
        f.H = r.height * m;
    }
}

}  // namespace tf
