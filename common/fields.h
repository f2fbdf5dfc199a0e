#pragma once

#include <QString>
#include <array>
#include <cassert>

// Voucher fields are numbered 2..33: 2..17 the voucher items, 18..33 their stub items.

namespace tf {

constexpr int kFirstField = 2;
constexpr int kLastField = 33;
constexpr int kFieldCount = kLastField - kFirstField + 1;
constexpr int kLastVoucherField = 17;
constexpr int kAmountField = 12;
constexpr int kCapitalField = 11;

// A table with one entry per field, indexed by the field number.
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
    friend bool operator==(const FieldTable&, const FieldTable&) = default;

private:
    std::array<T, kFieldCount> entries_{};
};

using FieldTexts = FieldTable<QString>;

}  // namespace tf
