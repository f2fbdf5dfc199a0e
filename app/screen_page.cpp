#include "app/screen_page.h"

namespace tf {

print::VoucherPage ScreenPage(const store::VoucherSettings& settings,
                              const FieldPlacement& placement, const FieldTexts& texts,
                              const FieldTexts& captions, double picWidth, double picHeight) {
    print::VoucherPage page;
    page.TT = settings.TT;
    page.CHK = settings.CHK;
    page.OP = settings.OP;
    page.curFormat = settings.CurFormat;
    page.picWidth = picWidth;
    page.picHeight = picHeight;
    for (int i = kFirstField; i <= kLastField; ++i) {
        const TwipsRect& r = placement[i].field;
        const store::FieldFormat& f = settings.fieldFormats[i];
        page.fields[i] = print::FieldOnScreen{.left = r.left,
                                              .top = r.top,
                                              .width = r.width,
                                              .height = r.height,
                                              .text = texts[i],
                                              .caption = captions[i],
                                              .font = f.font};
    }
    return page;
}

}  // namespace tf
