#pragma once

#include <QString>

#include "common/fields.h"
#include "print/page.h"
#include "print/print_target.h"
#include "print/printer.h"

class QWidget;

namespace tf {

// What the history window and its batch print need of the window that holds the voucher
// being filled in: its texts and page, its printer, and a way to take a record back.
class VoucherHost {
public:
    virtual ~VoucherHost() = default;

    // The voucher as it stands, ready for the print job.
    virtual print::VoucherPage CurrentPage() = 0;
    virtual FieldTexts Texts() const = 0;
    // The currency sign put before the amount in figures.
    virtual QString CurrencySign() const = 0;
    // Puts a text into a field as if it had been typed there and the field left.
    virtual void TakeText(int field, const QString& text) = 0;
    // The printer in use.
    virtual print::PrintTarget& Target() = 0;
    virtual print::PrintDevice& Device() = 0;
    // The window the history window belongs to.
    virtual QWidget* HostWindow() = 0;
};

}  // namespace tf
