#pragma once

#include "common/fields.h"
#include "print/page.h"
#include "store/formats.h"

namespace tf::test {

// The page the main window hands to printing when its picture is picHeight twips high: k =
// picHeight ÷ H twips per mm; a field stands at k × its millimetres, moved left by k × S when
// the stub is hidden (the picture then starts at the voucher part); the picture is k × W
// wide, or k × (W − S) with the stub hidden. Fields 12 and 28 carry the caption "小写金额".
print::VoucherPage BuildVoucherPage(const store::VoucherSettings& settings, const FieldTexts& texts,
                                    double picHeight);

}  // namespace tf::test
