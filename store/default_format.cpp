#include "store/default_format.h"

#include <array>

namespace tf::store {

namespace {

// Field and caption positions of the voucher window's design, twips inside the voucher
// picture at 11655 x 4455 with the stub shown. Every field lies inside the 220 x 85 mm form
// (11530 twips wide at this scale), and the amount in figures is wide enough for eleven boxes
// of a 9 pt full-width character each.
constexpr std::array<DesignGeometry, kFieldCount> kDesign{{
    {7200, 630, 495, 200, 7680, 645},     // 2  year
    {7920, 630, 375, 200, 8280, 645},     // 3  month
    {8520, 630, 255, 200, 8760, 645},     // 4  day
    {4320, 1200, 3375, 270, 3420, 1245},  // 5  drawer's name
    {4320, 1440, 3375, 270, 3420, 1485},  // 6  drawer's account
    {4320, 1680, 3375, 270, 3420, 1725},  // 7  drawer's bank
    {8880, 1200, 2595, 270, 7980, 1245},  // 8  payee's name
    {8880, 1440, 2595, 270, 7980, 1485},  // 9  payee's account
    {8880, 1680, 2595, 270, 7980, 1725},  // 10 payee's bank
    {4080, 2160, 5280, 375, 3360, 2205},  // 11 capital amount
    {9420, 2160, 2055, 270, 9420, 1980},  // 12 amount in figures
    {4080, 2640, 1935, 270, 3360, 2685},  // 13 kind of bill
    {6840, 2640, 855, 270, 6120, 2685},   // 14 number of bills
    {4080, 3000, 3615, 270, 3360, 3045},  // 15 bill numbers
    {5520, 4080, 855, 270, 5160, 4140},   // 16 checker
    {6840, 4080, 855, 270, 6480, 4140},   // 17 book-keeper
    {480, 630, 495, 200, 960, 645},       // 18 stub year
    {1200, 630, 375, 200, 1560, 645},     // 19 stub month
    {1800, 630, 255, 200, 2040, 645},     // 20 stub day
    {960, 1200, 2100, 270, 60, 1245},     // 21
    {960, 1440, 2100, 270, 60, 1485},     // 22
    {960, 1680, 2100, 270, 60, 1725},     // 23
    {960, 2400, 2100, 270, 60, 2445},     // 24
    {960, 2640, 2100, 270, 60, 2685},     // 25
    {960, 2880, 2100, 270, 60, 2925},     // 26
    {360, 3720, 2715, 270, 0, 3765},      // 27 remarks
    {960, 2100, 2055, 270, 960, 1920},    // 28 stub amount
    {720, 3120, 1000, 270, 0, 3165},      // 29
    {2520, 3120, 500, 270, 1800, 3165},   // 30
    {720, 3480, 2355, 270, 0, 3525},      // 31
    {840, 4080, 855, 270, 480, 4140},     // 32
    {2160, 4080, 855, 270, 1800, 4140},   // 33
}};

}  // namespace

const DesignGeometry& DesignGeometryOf(int field) {
    return kDesign[static_cast<size_t>(field - kFirstField)];
}

FieldFormats DesignFieldFormats() {
    // Twips become millimetres with the factor (form height in mm) / (picture height).
    const double mmPerTwip = kDesignFormHeightMm / kDesignPictureHeight;
    FieldFormats out;
    for (int i = kFirstField; i <= kLastField; ++i) {
        const DesignGeometry& g = DesignGeometryOf(i);
        FieldFormat& f = out[i];
        f.X = g.left * mmPerTwip;
        f.Y = g.top * mmPerTwip;
        f.W = g.width * mmPerTwip;
        f.H = g.height * mmPerTwip;
        f.font = FieldFont{.family = QStringLiteral("宋体"), .size = 9, .color = 0};
    }
    return out;
}

VoucherSettings DesignSettings() {
    VoucherSettings s;
    s.fieldFormats = DesignFieldFormats();
    return s;
}

}  // namespace tf::store
