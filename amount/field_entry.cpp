#include "amount/field_entry.h"

#include "amount/amount.h"

namespace tf::amount {

void LeaveField(FieldTexts& texts, int i, const QString& sign, bool* highDigitsCut) {
    if (highDigitsCut) *highDigitsCut = false;
    if (i == kAmountField && !texts[kAmountField].isEmpty()) {
        texts[kAmountField] = NormaliseAmount(texts[kAmountField], sign, highDigitsCut);
        texts[kCapitalField] = CapitalAmount(texts[kAmountField], sign, sign, sign);
    }
    if (const int stub = StubCopyOf(i)) texts[stub] = texts[i];
}

}  // namespace tf::amount
