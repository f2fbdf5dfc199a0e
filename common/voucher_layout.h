#pragma once

#include <QString>

// The voucher as a whole, as a format keeps it besides its fields: the form's size, the
// currency sign and the printing options.

namespace tf {

struct VoucherLayout {
    // Put before the amount in figures.
    QString currencySign = QStringLiteral("￥");
    // The whole form, stub included; its height; the stub, the form's left part.
    double formWidthMm = 220;
    double formHeightMm = 85;
    double stubWidthMm = 65;
    // "显示基准网格": the reference grid on the voucher picture.
    bool showGrid = true;
    // "连同票根打印": the stub is shown and printed.
    bool printStub = true;
    // "进纸器两边向中间收缩": the feeder's guides close in on the centre of the paper.
    bool centreOnFeeder = false;
    // "横向打印" prints in the printer's portrait orientation, "纵向打印" in landscape. The
    // window offers them as a pair, but a stored format keeps both flags as they are, also
    // both cleared.
    bool portrait = true;
    bool landscape = false;
    friend bool operator==(const VoucherLayout&, const VoucherLayout&) = default;
};

}  // namespace tf
