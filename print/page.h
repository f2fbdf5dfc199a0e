#pragma once

#include <QString>
#include <array>

#include "common/app_context.h"
#include "common/field_font.h"
#include "common/fields.h"
#include "print/printer.h"
#include "store/formats.h"

// One voucher page: every field at its format position, shifted by the printer offsets,
// in its font and character spacing. The page is computed from the voucher as the main
// window shows it, so what is printed follows the screen.

namespace tf::print {

// Millimetres to printer twips, with the inch-per-millimetre factor the forms were made with.
inline double MmToTwips(double mm) {
    return mm * 0.03937 * 1440;
}

// One field as the main window shows it.
struct FieldOnScreen {
    double left = 0;  // twips inside the voucher picture
    double top = 0;
    double width = 0;
    double height = 0;
    QString text;
    QString caption;  // the caption label L(i); "小写金额" prints the text into digit boxes
    FieldFont font;
};

// The main window's voucher: fields, the picture's size in twips, the settings boxes TT,
// the options CHK and OP and the name of the format in use.
struct VoucherPage {
    FieldTable<FieldOnScreen> fields;
    double picWidth = 0;
    double picHeight = 0;
    std::array<QString, 4> TT;
    std::array<int, 3> CHK{};
    std::array<bool, 2> OP{true, false};
    QString curFormat;
};

inline QString AmountCaption() {
    return QStringLiteral("小写金额");
}

enum class PageResult {
    Printed,  // the page was ended and sent
    Skipped,  // spacing, offsets or paper could not be set up; nothing printed, nothing said
    Failed,   // the printer failed; "打印出错！" was shown and the page was thrown away
};

// Prints one character after another from (x, y), each starting where the previous one
// ended plus sp twips.
bool PrintSpaced(PrintDevice& printer, const QString& text, double x, double y, double sp);

// Prints a text in lines no wider than limit twips, from (x, y) downwards, each line the
// height of "钟" below the previous. Every line takes at least one character.
bool PrintWrapped(PrintDevice& printer, const QString& text, double x, double y, double limit,
                  double sp);

// Prints an amount into the 11 equal boxes of a field widthMm wide starting at x twips: the
// last character in the rightmost box, each centred in its box; "." and "," are left out.
bool PrintAmountInBoxes(PrintDevice& printer, const QString& text, double x, double y,
                        double widthMm);

// Prints every field of the voucher page and ends the document. Spacing comes from the
// format in use, offsets from the settings store, both read afresh.
PageResult PrintVoucher(const AppContext& ctx, const VoucherPage& page, PrintDevice& printer);

}  // namespace tf::print
