#pragma once

#include <QString>
#include <array>
#include <cassert>

// The 32 voucher fields. Each has a role; its number is the key under which the formats, the
// character spacing and the print records store it, and this header is the one place that
// knows the numbers: 2..17 the voucher items, 18..33 the stub's.

namespace tf {

// In the order of the field numbers.
enum class FieldRole {
    Year,
    Month,
    Day,
    DrawerName,
    DrawerAccount,
    DrawerBank,
    PayeeName,
    PayeeAccount,
    PayeeBank,
    CapitalAmount,  // written from the amount in figures
    Amount,         // the amount in figures, printed digit by digit into boxes
    BillKind,
    BillCount,
    BillNumbers,
    Checker,
    BookKeeper,
    StubYear,
    StubMonth,
    StubDay,
    StubDrawerName,
    StubDrawerAccount,
    StubDrawerBank,
    StubPayeeName,
    StubPayeeAccount,
    StubPayeeBank,
    StubRemarks,  // only on the stub
    StubAmount,
    StubBillKind,
    StubBillCount,
    StubBillNumbers,
    StubChecker,
    StubBookKeeper,
};

constexpr int kFirstField = 2;
constexpr int kLastField = 33;
constexpr int kFieldCount = kLastField - kFirstField + 1;
constexpr int kLastVoucherField = 17;

constexpr int FieldOf(FieldRole role) {
    return kFirstField + static_cast<int>(role);
}
constexpr FieldRole RoleOf(int field) {
    assert(field >= kFirstField && field <= kLastField);
    return static_cast<FieldRole>(field - kFirstField);
}

static_assert(FieldOf(FieldRole::BookKeeper) == kLastVoucherField);
static_assert(FieldOf(FieldRole::StubBookKeeper) == kLastField);

constexpr int kAmountField = FieldOf(FieldRole::Amount);
constexpr int kCapitalField = FieldOf(FieldRole::CapitalAmount);
constexpr int kRemarksField = FieldOf(FieldRole::StubRemarks);

constexpr bool IsStubField(int field) {
    return field > kLastVoucherField;
}

// The stub field that receives a voucher field's text when the clerk leaves it; 0 for the
// capital amount and for the stub's own fields.
constexpr int StubCopyOf(int field) {
    switch (RoleOf(field)) {
        case FieldRole::Year:
            return FieldOf(FieldRole::StubYear);
        case FieldRole::Month:
            return FieldOf(FieldRole::StubMonth);
        case FieldRole::Day:
            return FieldOf(FieldRole::StubDay);
        case FieldRole::DrawerName:
            return FieldOf(FieldRole::StubDrawerName);
        case FieldRole::DrawerAccount:
            return FieldOf(FieldRole::StubDrawerAccount);
        case FieldRole::DrawerBank:
            return FieldOf(FieldRole::StubDrawerBank);
        case FieldRole::PayeeName:
            return FieldOf(FieldRole::StubPayeeName);
        case FieldRole::PayeeAccount:
            return FieldOf(FieldRole::StubPayeeAccount);
        case FieldRole::PayeeBank:
            return FieldOf(FieldRole::StubPayeeBank);
        case FieldRole::Amount:
            return FieldOf(FieldRole::StubAmount);
        case FieldRole::BillKind:
            return FieldOf(FieldRole::StubBillKind);
        case FieldRole::BillCount:
            return FieldOf(FieldRole::StubBillCount);
        case FieldRole::BillNumbers:
            return FieldOf(FieldRole::StubBillNumbers);
        case FieldRole::Checker:
            return FieldOf(FieldRole::StubChecker);
        case FieldRole::BookKeeper:
            return FieldOf(FieldRole::StubBookKeeper);
        default:
            return 0;
    }
}

// The amount in figures and its stub copy: printed into the form's digit boxes.
constexpr bool IsAmountInFigures(int field) {
    return RoleOf(field) == FieldRole::Amount || RoleOf(field) == FieldRole::StubAmount;
}

// The year, month and day fields of the voucher and of the stub.
constexpr bool IsDateField(int field) {
    switch (RoleOf(field)) {
        case FieldRole::Year:
        case FieldRole::Month:
        case FieldRole::Day:
        case FieldRole::StubYear:
        case FieldRole::StubMonth:
        case FieldRole::StubDay:
            return true;
        default:
            return false;
    }
}
constexpr bool IsYearField(int field) {
    return RoleOf(field) == FieldRole::Year || RoleOf(field) == FieldRole::StubYear;
}

// The caption beside the field on the voucher picture ("出票人全称", "小写金额" …).
QString FieldCaption(int field);

// A table with one entry per field, indexed by the field number or the role.
template <typename T>
class FieldTable {
public:
    T& operator[](int field) {
        assert(field >= kFirstField && field <= kLastField);
        return entries_[static_cast<size_t>(field - kFirstField)];
    }
    const T& operator[](int field) const {
        assert(field >= kFirstField && field <= kLastField);
        return entries_[static_cast<size_t>(field - kFirstField)];
    }
    T& operator[](FieldRole role) { return (*this)[FieldOf(role)]; }
    const T& operator[](FieldRole role) const { return (*this)[FieldOf(role)]; }
    friend bool operator==(const FieldTable&, const FieldTable&) = default;

private:
    std::array<T, kFieldCount> entries_{};
};

using FieldTexts = FieldTable<QString>;

}  // namespace tf
