#include "history/workbook/biff8.h"

#include <algorithm>

namespace tf::workbook::detail::biff8 {
namespace {

constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kExtSst = 0x00FF;

// The default colour palette of indices 8 … 63, as 0xRRGGBB.
constexpr uint32_t kPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};
constexpr uint8_t kAutoColour = 0x40;

uint8_t LineStyle(int weight) {
    switch (weight) {
        case 1:
            return 7;  // hair
        case 4:
            return 5;  // thick
        case -4138:
            return 2;  // medium
        default:
            return 1;  // thin
    }
}

}  // namespace

void RecordBuffer::Begin(uint16_t type) {
    start_ = bytes_.size();
    U16(type);
    U16(0);
}

void RecordBuffer::End() {
    PatchU16(start_ + 2, static_cast<uint16_t>(bytes_.size() - start_ - 4));
}

void RecordBuffer::Record(uint16_t type, std::initializer_list<uint16_t> words) {
    U16(type);
    U16(static_cast<uint16_t>(2 * words.size()));
    for (uint16_t w : words) U16(w);
}

void RecordBuffer::U16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
}

void RecordBuffer::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
}

void RecordBuffer::PatchU16(size_t at, uint16_t v) {
    bytes_[at] = static_cast<uint8_t>(v);
    bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
}

void RecordBuffer::PatchU32(size_t at, uint32_t v) {
    PatchU16(at, static_cast<uint16_t>(v));
    PatchU16(at + 2, static_cast<uint16_t>(v >> 16));
}

bool NeedsWide(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

void RecordBuffer::Chars(QStringView text, bool wide) {
    for (QChar c : text) {
        if (wide)
            U16(c.unicode());
        else
            U8(static_cast<uint8_t>(c.unicode()));
    }
}

void RecordBuffer::ShortString(QStringView text) {
    text = text.left(255);
    const bool wide = NeedsWide(text);
    U8(static_cast<uint8_t>(text.size()));
    U8(wide ? 1 : 0);
    Chars(text, wide);
}

uint32_t SharedStrings::Add(const QString& text) {
    const auto found = index_.constFind(text);
    if (found != index_.constEnd()) return *found;
    const auto n = static_cast<uint32_t>(texts_.size());
    texts_.push_back(text);
    index_.insert(text, n);
    return n;
}

void SharedStrings::Write(RecordBuffer& out, uint32_t references) const {
    const auto unique = static_cast<uint32_t>(texts_.size());
    // EXTSST points at every dsst-th string so a reader can seek; at most 128 buckets.
    const uint16_t dsst = static_cast<uint16_t>(std::max<uint32_t>(8, unique / 128 + 1));
    std::vector<std::pair<uint32_t, uint16_t>> buckets;

    out.Begin(kSst);
    out.U32(references);
    out.U32(unique);
    for (uint32_t i = 0; i < unique; ++i) {
        const QStringView text = QStringView(texts_[i]);
        const bool wide = NeedsWide(text);
        const size_t charSize = wide ? 2 : 1;
        // A string's header and first character never straddle two records.
        if (out.RecordLength() - 4 + 3 + charSize > kMaxRecordData) {
            out.End();
            out.Begin(kContinue);
        }
        if (i % dsst == 0)
            buckets.emplace_back(static_cast<uint32_t>(out.Size()),
                                 static_cast<uint16_t>(out.RecordLength()));
        out.U16(static_cast<uint16_t>(text.size()));
        out.U8(wide ? 1 : 0);
        qsizetype done = 0;
        while (done < text.size()) {
            const size_t room = (kMaxRecordData - (out.RecordLength() - 4)) / charSize;
            if (room == 0) {
                // The rest continues in a CONTINUE record that starts with its own flags byte.
                out.End();
                out.Begin(kContinue);
                out.U8(wide ? 1 : 0);
                continue;
            }
            const qsizetype n =
                std::min<qsizetype>(static_cast<qsizetype>(room), text.size() - done);
            out.Chars(text.mid(done, n), wide);
            done += n;
        }
    }
    out.End();

    out.Begin(kExtSst);
    out.U16(dsst);
    for (const auto& [pos, offset] : buckets) {
        out.U32(pos);
        out.U16(offset);
        out.U16(0);
    }
    out.End();
}

uint16_t CellFormats::XfFor(const CellStyle& style) {
    if (style.IsPlain()) return kDefaultXf;
    for (const Xf& xf : xfs_)
        if (xf.style == style) return xf.index;
    const auto index = static_cast<uint16_t>(16 + xfs_.size());
    xfs_.push_back({style, index, style.filled ? ColourIndex(style.fill) : uint8_t(0)});
    return index;
}

uint8_t CellFormats::ColourIndex(qint32 bgr) {
    const auto v = static_cast<uint32_t>(bgr);
    const uint32_t rgb = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    for (const auto& [c, index] : custom_)
        if (c == rgb) return index;
    for (int i = 0; i < 56; ++i)
        if (kPalette[i] == rgb) return static_cast<uint8_t>(8 + i);
    // New colours replace palette entries from the last one down; past 40 of them the
    // nearest existing colour is used.
    if (custom_.size() < 40) {
        const auto index = static_cast<uint8_t>(63 - custom_.size());
        custom_.emplace_back(rgb, index);
        return index;
    }
    auto distance = [rgb](uint32_t c) {
        const int dr = int((c >> 16) & 0xFF) - int((rgb >> 16) & 0xFF);
        const int dg = int((c >> 8) & 0xFF) - int((rgb >> 8) & 0xFF);
        const int db = int(c & 0xFF) - int(rgb & 0xFF);
        return dr * dr + dg * dg + db * db;
    };
    const auto best = std::min_element(custom_.begin(), custom_.end(), [&](auto& a, auto& b) {
        return distance(a.first) < distance(b.first);
    });
    return best->second;
}

namespace {

void WriteFont(RecordBuffer& out, bool bold) {
    out.Begin(0x0031);
    out.U16(240);               // 12 points
    out.U16(bold ? 1 : 0);      // the old bold flag beside the weight, as readers expect
    out.U16(0x7FFF);            // automatic colour
    out.U16(bold ? 700 : 400);  // weight
    out.U16(0);                 // no super-/subscript
    out.U8(0);                  // no underline
    out.U8(0);                  // family
    out.U8(134);                // GB2312 character set
    out.U8(0);
    out.ShortString(u"宋体");
    out.End();
}

// One XF record. parent 0xFFF marks a style XF.
void WriteXf(RecordBuffer& out, bool styleXf, uint16_t font, uint8_t usedAttributes,
             uint32_t border1, uint32_t border2, uint16_t colours) {
    out.Begin(0x00E0);
    out.U16(font);
    out.U16(0);  // general number format
    out.U16(styleXf ? 0xFFF5 : 0x0001);
    out.U8(0x20);  // bottom aligned
    out.U8(0);
    out.U8(0);
    out.U8(usedAttributes);
    out.U32(border1);
    out.U32(border2);
    out.U16(colours);
    out.End();
}

}  // namespace

void CellFormats::Write(RecordBuffer& out) const {
    // Font index 4 does not exist in BIFF: the fifth FONT record is font 5, the bold one.
    for (int i = 0; i < 4; ++i) WriteFont(out, false);
    WriteFont(out, true);

    if (!custom_.empty()) {
        out.Begin(0x0092);
        out.U16(56);
        for (int i = 0; i < 56; ++i) {
            uint32_t rgb = kPalette[i];
            for (const auto& [c, index] : custom_)
                if (index == 8 + i) rgb = c;
            out.U8(static_cast<uint8_t>(rgb >> 16));
            out.U8(static_cast<uint8_t>(rgb >> 8));
            out.U8(static_cast<uint8_t>(rgb));
            out.U8(0);
        }
        out.End();
    }

    constexpr uint16_t kNoFill = kAutoColour | (kAutoColour + 1) << 7;
    WriteXf(out, true, 0, 0x00, 0, 0, kNoFill);
    for (int i = 1; i < 15; ++i) WriteXf(out, true, 0, 0xF4, 0, 0, kNoFill);
    WriteXf(out, false, 0, 0x00, 0, 0, kNoFill);
    for (const Xf& xf : xfs_) {
        const CellStyle& style = xf.style;
        uint32_t border1 = 0, border2 = 0;
        if (style.border != 0) {
            const uint32_t dg = LineStyle(style.border);
            border1 = dg | dg << 4 | dg << 8 | dg << 12 | uint32_t(kAutoColour) << 16 |
                      uint32_t(kAutoColour) << 23;
            border2 = uint32_t(kAutoColour) | uint32_t(kAutoColour) << 7;
        }
        uint16_t colours = kNoFill;
        if (style.filled) {
            border2 |= 1u << 26;  // solid pattern
            colours = static_cast<uint16_t>(xf.colour | (kAutoColour + 1) << 7);
        }
        WriteXf(out, false, style.bold ? 5 : 0, 0xF8, border1, border2, colours);
    }

    out.Record(0x0293, {0x8000, 0xFF00});  // STYLE: XF 0 is the built-in "Normal"
}

}  // namespace tf::workbook::detail::biff8
