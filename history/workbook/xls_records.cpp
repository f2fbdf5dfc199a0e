#include "history/workbook/xls_records.h"

#include <bit>

namespace tf::workbook::detail::xls {

void ThrowDamaged(const char* what) {
    throw WorkbookError(kDamaged, QString::fromLatin1(what));
}

uint8_t ByteCursor::U8() {
    return Take(1)[0];
}

uint16_t ByteCursor::U16() {
    const Bytes b = Take(2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t ByteCursor::U32() {
    const Bytes b = Take(4);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

double ByteCursor::F64() {
    const uint64_t low = U32();
    const uint64_t high = U32();
    return std::bit_cast<double>(high << 32 | low);
}

Bytes ByteCursor::Take(size_t n) {
    if (n > Left()) ThrowDamaged("record shorter than its content");
    const Bytes taken = bytes_.subspan(at_, n);
    at_ += n;
    return taken;
}

RecordStream::RecordStream(Bytes stream, size_t at) : stream_(stream), at_(at) {
    if (at_ > stream_.size()) ThrowDamaged("sheet offset past the stream");
}

bool RecordStream::Next(Record* record) {
    if (stream_.size() - at_ < 4) return false;
    ByteCursor header(stream_.subspan(at_, 4));
    record->type = header.U16();
    const uint16_t length = header.U16();
    if (length > stream_.size() - at_ - 4) ThrowDamaged("record past the end of the stream");
    record->data = stream_.subspan(at_ + 4, length);
    at_ += 4 + size_t(length);
    return true;
}

uint16_t RecordStream::PeekType() const {
    if (stream_.size() - at_ < 4) return 0;
    return static_cast<uint16_t>(stream_[at_] | stream_[at_ + 1] << 8);
}

void CodePage::Set(uint16_t number) {
    number_ = number;
    decoderSet_ = false;
}

QString CodePage::Decode(Bytes bytes) {
    const QByteArrayView view(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
    if (!decoderSet_) {
        decoderSet_ = true;
        const char* name = nullptr;
        switch (number_) {
            case 932:
                name = "Shift_JIS";
                break;
            case 936:
                name = "GBK";
                break;
            case 949:
                name = "windows-949";
                break;
            case 950:
                name = "Big5";
                break;
            case 1200:
                name = nullptr;
                break;
            default:
                if (number_ >= 1250 && number_ <= 1258) {
                    static const char* const kWindows[] = {
                        "windows-1250", "windows-1251", "windows-1252",
                        "windows-1253", "windows-1254", "windows-1255",
                        "windows-1256", "windows-1257", "windows-1258"};
                    name = kWindows[number_ - 1250];
                } else if (number_ == 10000 || number_ == 32768) {
                    name = "macintosh";
                }
                break;
        }
        decoder_ = name ? QStringDecoder(name) : QStringDecoder();
    }
    // A code page Qt does not know reads as Latin-1: every byte stays one character.
    if (!decoder_.isValid()) return QString::fromLatin1(view);
    return decoder_.decode(view);
}

bool ContinuedData::Advance() {
    while (part_ < parts_.size() && at_ >= parts_[part_].size()) {
        if (part_ + 1 >= parts_.size()) return false;
        ++part_;
        at_ = 0;
    }
    return part_ < parts_.size();
}

bool ContinuedData::AtEnd() {
    return !Advance();
}

uint8_t ContinuedData::U8() {
    if (!Advance()) ThrowDamaged("text past its records");
    return parts_[part_][at_++];
}

uint16_t ContinuedData::U16() {
    const uint8_t low = U8();
    return static_cast<uint16_t>(low | U8() << 8);
}

uint32_t ContinuedData::U32() {
    const uint32_t low = U16();
    return low | static_cast<uint32_t>(U16()) << 16;
}

void ContinuedData::Skip(size_t n) {
    while (n > 0) {
        if (!Advance()) ThrowDamaged("text past its records");
        const size_t step = std::min(n, parts_[part_].size() - at_);
        at_ += step;
        n -= step;
    }
}

void ContinuedData::Chars(size_t n, bool wide, QString* out) {
    if (parts_.empty()) ThrowDamaged("text without a record");
    out->reserve(out->size() + static_cast<qsizetype>(n));
    while (n > 0) {
        if (at_ >= parts_[part_].size()) {
            // The characters go on in the next record, after its own flags byte.
            if (part_ + 1 >= parts_.size()) ThrowDamaged("text past its records");
            ++part_;
            at_ = 0;
            wide = (U8() & 0x01) != 0;
            continue;
        }
        const Bytes part = parts_[part_];
        const size_t width = wide ? 2 : 1;
        const size_t fit = std::min(n, (part.size() - at_) / width);
        if (fit == 0) ThrowDamaged("character split between records");
        for (size_t i = 0; i < fit; ++i, at_ += width)
            out->append(QChar(wide ? char16_t(part[at_] | part[at_ + 1] << 8) : part[at_]));
        n -= fit;
    }
}

QString ReadRichString(ContinuedData& data) {
    const uint16_t count = data.U16();
    const uint8_t flags = data.U8();
    const uint16_t runs = (flags & 0x08) ? data.U16() : 0;
    const uint32_t phonetic = (flags & 0x04) ? data.U32() : 0;
    QString text;
    data.Chars(count, (flags & 0x01) != 0, &text);
    data.Skip(size_t(runs) * 4);
    data.Skip(phonetic);
    return text;
}

QString ReadText(ByteCursor& cursor, bool biff8, bool wideCount, CodePage& codePage) {
    const size_t count = wideCount ? cursor.U16() : cursor.U8();
    if (!biff8) return codePage.Decode(cursor.Take(count));
    const bool wide = (cursor.U8() & 0x01) != 0;
    const Bytes chars = cursor.Take(count * (wide ? 2 : 1));
    QString text(static_cast<qsizetype>(count), Qt::Uninitialized);
    for (size_t i = 0; i < count; ++i)
        text[static_cast<qsizetype>(i)] =
            QChar(wide ? char16_t(chars[2 * i] | chars[2 * i + 1] << 8) : chars[i]);
    return text;
}

}  // namespace tf::workbook::detail::xls
