#include "support/voucher_page.h"

#include "amount/number.h"
#include "app/arrange.h"
#include "app/screen_page.h"

namespace tf::test {

print::VoucherPage BuildVoucherPage(const store::VoucherSettings& settings, const FieldTexts& texts,
                                    double picHeight) {
    const double w = LenientNumber(settings.TT[1]);
    const double h = LenientNumber(settings.TT[2]);
    const double s = LenientNumber(settings.TT[3]);
    const bool stubShown = settings.CHK[1] == 1;
    const double k = h != 0 ? picHeight / h : 0;
    const double picWidth = h != 0 ? picHeight * (stubShown ? w : w - s) / h : 0;

    // The window's own arithmetic places the fields; the page is then what the screen shows.
    FieldPlacement placement = DesignPlacement();
    ApplyLayoutGeometry(settings.fieldFormats, k, s, stubShown, placement);
    FieldTexts captions;
    captions[kAmountField] = print::AmountCaption();
    captions[kAmountField + 16] = print::AmountCaption();
    return ScreenPage(settings, placement, texts, captions, picWidth, picHeight);
}

}  // namespace tf::test
