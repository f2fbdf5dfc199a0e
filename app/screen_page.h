#pragma once

#include "app/arrange.h"
#include "common/fields.h"
#include "print/page.h"
#include "store/formats.h"

namespace tf {

// The page printing takes from the voucher as the screen shows it: every field where the
// placement puts it (twips inside the picture), with its text, its caption and its font from
// the format; the settings boxes, options and format name from the settings.
print::VoucherPage ScreenPage(const store::VoucherSettings& settings,
                              const FieldPlacement& placement, const FieldTexts& texts,
                              const FieldTexts& captions, double picWidth, double picHeight);

}  // namespace tf
