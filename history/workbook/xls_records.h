#pragma once

#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <span>
#include <vector>

#include "history/workbook/workbook.h"

// Reading the records of an .xls workbook stream. Every byte is read through a cursor over a
// span that checks the length left before each read: a size in the file that says more than
// the file holds ends the reading with kDamaged, never a read past the data.

namespace tf::workbook::detail::xls {

using Bytes = std::span<const uint8_t>;

[[noreturn]] void ThrowDamaged(const char* what);

class ByteCursor {
public:
    explicit ByteCursor(Bytes bytes) : bytes_(bytes) {}
    size_t Left() const { return bytes_.size() - at_; }
    size_t At() const { return at_; }
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    double F64();
    // The next n bytes.
    Bytes Take(size_t n);
    void Skip(size_t n) { Take(n); }

private:
    Bytes bytes_;
    size_t at_ = 0;
};

// Record types this reader knows.
enum RecordType : uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kDateMode = 0x0022,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kArray = 0x0221,
    kTableOp = 0x0236,
    kRk = 0x027E,
    kFormatRecord = 0x041E,
    kSharedFormula = 0x04BC,
    kBof = 0x0809,
};

struct Record {
    uint16_t type = 0;
    Bytes data;
};

// The records of a stream from an offset on.
class RecordStream {
public:
    RecordStream(Bytes stream, size_t at);
    // The next record; false at the end of the stream. kDamaged for a record whose length
    // runs past the stream.
    bool Next(Record* record);
    // The type of the next record, 0 at the end of the stream.
    uint16_t PeekType() const;

private:
    Bytes stream_;
    size_t at_;
};

// The 8-bit texts of a BIFF5 workbook in its code page; BIFF8 texts are UTF-16 or, compressed,
// Latin-1.
class CodePage {
public:
    void Set(uint16_t number);
    QString Decode(Bytes bytes);

private:
    uint16_t number_ = 1252;
    QStringDecoder decoder_;
    bool decoderSet_ = false;
};

// A text that may go on over CONTINUE records: the data of a record and of the CONTINUE
// records after it, read as one. Where a text's characters go on in the next record, that
// record starts with a new flags byte saying whether they are 8 or 16 bits wide.
class ContinuedData {
public:
    explicit ContinuedData(std::vector<Bytes> parts) : parts_(std::move(parts)) {}
    bool AtEnd();
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    void Skip(size_t n);
    // n characters, wide or compressed as flags bit 0 says at the start.
    void Chars(size_t n, bool wide, QString* out);

private:
    // Moves to the next part when the current one is read; false when none is left.
    bool Advance();
    std::vector<Bytes> parts_;
    size_t part_ = 0;
    size_t at_ = 0;
};

// BIFF8 XLUnicodeString and its rich/phonetic variant as the shared string table has it:
// count, flags, [runs], [phonetic size], characters, [runs], [phonetic block].
QString ReadRichString(ContinuedData& data);

// A text of a cell record: BIFF8 count (16-bit), flags, characters; BIFF5 count (8 or
// 16-bit) and bytes in the code page.
QString ReadText(ByteCursor& cursor, bool biff8, bool wideCount, CodePage& codePage);

}  // namespace tf::workbook::detail::xls
