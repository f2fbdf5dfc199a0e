#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

#include "history/workbook/workbook_impl.h"

// BIFF8 records as the Workbook stream of an .xls file holds them: a byte buffer of records,
// the shared string table with its CONTINUE records, and the cell formats (XF) with the
// colour palette they refer to.

namespace tf::workbook::detail::biff8 {

constexpr int kMaxRecordData = 8224;

class RecordBuffer {
public:
    // Starts a record; End() sets its length. Records do not nest.
    void Begin(uint16_t type);
    void End();
    // A complete record of fixed content.
    void Record(uint16_t type, std::initializer_list<uint16_t> words);

    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    // A text with an 8-bit length (short) or 16-bit length, flags byte, then its characters,
    // 8-bit when every character fits, else UTF-16LE.
    void ShortString(QStringView text);
    void Chars(QStringView text, bool wide);

    size_t Size() const { return bytes_.size(); }
    // Bytes written since the current record began (its header included).
    size_t RecordLength() const { return bytes_.size() - start_; }
    void PatchU32(size_t at, uint32_t v);
    void PatchU16(size_t at, uint16_t v);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    void Reserve(size_t n) { bytes_.reserve(n); }

private:
    std::vector<uint8_t> bytes_;
    size_t start_ = 0;
};

bool NeedsWide(QStringView text);

// The distinct texts of a workbook, numbered in order of first use.
class SharedStrings {
public:
    uint32_t Add(const QString& text);
    size_t Count() const { return texts_.size(); }
    // SST with CONTINUE records, then EXTSST. base is the stream offset at which out starts.
    void Write(RecordBuffer& out, uint32_t references) const;

private:
    std::vector<QString> texts_;
    QHash<QString, uint32_t> index_;
};

// The XF records a workbook needs: the 15 style XFs and the default cell XF (15) every
// workbook has, then one per formatting combination in order of first use.
class CellFormats {
public:
    static constexpr uint16_t kDefaultXf = 15;
    uint16_t XfFor(const CellStyle& style);
    // FONT records (a bold one at index 5), PALETTE when custom colours are used, XF, STYLE.
    void Write(RecordBuffer& out) const;

private:
    uint8_t ColourIndex(qint32 bgr);
    struct Xf {
        CellStyle style;
        uint16_t index;
        uint8_t colour;  // palette index of the fill
    };
    std::vector<Xf> xfs_;
    std::vector<std::pair<uint32_t, uint8_t>> custom_;  // RGB → palette index
};

}  // namespace tf::workbook::detail::biff8
