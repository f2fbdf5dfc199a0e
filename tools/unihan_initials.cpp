// Writes the pinyin initials of every CJK Unified Ideograph of the Basic block and Extension A
// as a C++ source file, from the Unihan readings file of the Unicode Character Database
// (Unihan_Readings.txt, plain or bzip2-compressed as Debian's unicode-data ships it).
//   unihan_initials READINGS OUTPUT
// Every Mandarin reading counts, so a character read several ways gets every initial. The
// table is two bytes per character indexing a list of the distinct letter sets (some 600).
#include <bzlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char32_t kExtAFirst = 0x3400;
constexpr char32_t kExtALast = 0x4DBF;
constexpr char32_t kBasicFirst = 0x4E00;
constexpr char32_t kBasicLast = 0x9FFF;

// The fields that list Mandarin readings. Their forms: "xíng" (kMandarin), "20811.060:háng,xìng"
// (kHanyuPinyin), "0442.080:háng" (kXHC1983, kTGHZ2013), "xíng(2943)" (kHanyuPinlu).
constexpr std::array<std::string_view, 5> kReadingFields{"kMandarin", "kHanyuPinyin", "kXHC1983",
                                                         "kTGHZ2013", "kHanyuPinlu"};

bool ReadWhole(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const bool compressed = path.size() > 4 && path.compare(path.size() - 4, 4, ".bz2") == 0;
    char buf[1 << 16];
    bool ok = true;
    if (!compressed) {
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
        ok = !std::ferror(f);
    } else {
        int err = BZ_OK;
        BZFILE* bz = BZ2_bzReadOpen(&err, f, 0, 0, nullptr, 0);
        while (err == BZ_OK) {
            const int n = BZ2_bzRead(&err, bz, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<size_t>(n));
        }
        ok = err == BZ_STREAM_END;
        BZ2_bzReadClose(&err, bz);
    }
    std::fclose(f);
    return ok;
}

// The first code point of UTF-8 text; 0 for none or a broken sequence.
char32_t FirstCodePoint(std::string_view s) {
    if (s.empty()) return 0;
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c < 0x80) return c;
    size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (len == 0 || s.size() < len) return 0;
    char32_t cp = c & (0x3F >> (len - 1));
    for (size_t i = 1; i < len; ++i) cp = (cp << 6) | (b(i) & 0x3F);
    return cp;
}

// The letter a reading starts with, its tone mark or other diacritic removed; 0 when the
// first character is not one pinyin uses.
char BaseLetter(char32_t cp) {
    if (cp >= U'a' && cp <= U'z') return static_cast<char>(cp);
    if (cp >= U'A' && cp <= U'Z') return static_cast<char>(cp - U'A' + U'a');
    static const std::map<char32_t, char> accented{
        {U'ā', 'a'}, {U'á', 'a'}, {U'ǎ', 'a'}, {U'à', 'a'}, {U'ē', 'e'}, {U'é', 'e'}, {U'ě', 'e'},
        {U'è', 'e'}, {U'ê', 'e'}, {U'ế', 'e'}, {U'ề', 'e'}, {U'ī', 'i'}, {U'í', 'i'}, {U'ǐ', 'i'},
        {U'ì', 'i'}, {U'ō', 'o'}, {U'ó', 'o'}, {U'ǒ', 'o'}, {U'ò', 'o'}, {U'ū', 'u'}, {U'ú', 'u'},
        {U'ǔ', 'u'}, {U'ù', 'u'}, {U'ü', 'u'}, {U'ǘ', 'u'}, {U'ǚ', 'u'}, {U'ǜ', 'u'}, {U'ń', 'n'},
        {U'ň', 'n'}, {U'ǹ', 'n'}, {U'ḿ', 'm'}};
    const auto it = accented.find(cp);
    return it == accented.end() ? 0 : it->second;
}

// Adds the initials of one field value to the set; false (with the reading named) when a
// reading starts with a character that is not a pinyin letter.
bool AddInitials(std::string_view value, std::uint32_t& set, std::string& bad) {
    std::istringstream tokens{std::string(value)};
    for (std::string token; tokens >> token;) {
        const size_t colon = token.rfind(':');
        std::string_view readings(token);
        if (colon != std::string::npos) readings.remove_prefix(colon + 1);
        while (!readings.empty()) {
            const size_t comma = readings.find(',');
            const std::string_view reading = readings.substr(0, comma);
            readings =
                comma == std::string_view::npos ? std::string_view{} : readings.substr(comma + 1);
            const char letter = BaseLetter(FirstCodePoint(reading));
            if (letter == 0) {
                bad = token;
                return false;
            }
            set |= 1u << (letter - 'a');
        }
    }
    return true;
}

std::string VersionLine(const std::string& text) {
    const std::string key = "# Unicode version: ";
    const size_t at = text.find(key);
    if (at == std::string::npos) return "unknown";
    return text.substr(at + key.size(), text.find('\n', at) - at - key.size());
}

void WriteIndex(std::ostream& out, const char* name, const std::vector<std::uint16_t>& index) {
    out << "extern const std::uint16_t " << name << "[" << index.size() << "] = {";
    for (size_t i = 0; i < index.size(); ++i)
        out << (i % 24 == 0 ? "\n    " : "") << index[i] << ',';
    out << "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s Unihan_Readings.txt[.bz2] OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    std::string text;
    if (!ReadWhole(argv[1], text)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    std::vector<std::uint32_t> sets(kBasicLast - kExtAFirst + 1, 0);
    std::istringstream lines(text);
    size_t used = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("U+", 0) != 0) continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
        const std::string_view field(line.data() + tab1 + 1, tab2 - tab1 - 1);
        bool wanted = false;
        for (std::string_view f : kReadingFields) wanted = wanted || f == field;
        if (!wanted) continue;
        const char32_t cp =
            static_cast<char32_t>(std::stoul(line.substr(2, tab1 - 2), nullptr, 16));
        const bool inTable =
            (cp >= kExtAFirst && cp <= kExtALast) || (cp >= kBasicFirst && cp <= kBasicLast);
        if (!inTable) continue;
        std::string bad;
        if (!AddInitials(std::string_view(line).substr(tab2 + 1), sets[cp - kExtAFirst], bad)) {
            std::fprintf(stderr, "%s: U+%04X %.*s: no pinyin letter at the start of \"%s\"\n",
                         argv[0], static_cast<unsigned>(cp), static_cast<int>(field.size()),
                         field.data(), bad.c_str());
            return 1;
        }
        ++used;
    }
    if (used == 0) {
        std::fprintf(stderr, "%s: %s holds no Mandarin readings\n", argv[0], argv[1]);
        return 1;
    }

    // Distinct sets, the empty set first, and two bytes per character indexing them.
    std::vector<std::uint32_t> palette{0};
    std::map<std::uint32_t, std::uint16_t> slot{{0, 0}};
    const auto indexOf = [&](std::uint32_t set) -> int {
        const auto it = slot.find(set);
        if (it != slot.end()) return it->second;
        if (palette.size() > 0xFFFF) return -1;
        palette.push_back(set);
        return slot[set] = static_cast<std::uint16_t>(palette.size() - 1);
    };
    std::vector<std::uint16_t> extA, basic;
    size_t withReading = 0;
    for (char32_t cp = kExtAFirst; cp <= kBasicLast; ++cp) {
        const bool isExtA = cp <= kExtALast;
        if (!isExtA && cp < kBasicFirst) continue;
        const std::uint32_t set = sets[cp - kExtAFirst];
        const int i = indexOf(set);
        if (i < 0) {
            std::fprintf(stderr, "%s: more than 65536 distinct sets of initials\n", argv[0]);
            return 1;
        }
        withReading += set != 0 ? 1 : 0;
        (isExtA ? extA : basic).push_back(static_cast<std::uint16_t>(i));
    }

    std::ostringstream out;
    out << "// Generated by tools/unihan_initials.cpp from Unihan_Readings.txt, Unicode "
        << VersionLine(text) << ". Do not edit.\n"
        << "// " << withReading << " of " << extA.size() + basic.size()
        << " ideographs have a Mandarin reading.\n"
        << "#include <cstdint>\n\nnamespace tf::pinyin::detail {\n\n"
        << "// Sets of initials, bit 0 for 'a' to bit 25 for 'z'.\n"
        << "extern const std::uint32_t kInitialSets[" << palette.size() << "] = {";
    for (size_t i = 0; i < palette.size(); ++i)
        out << (i % 8 == 0 ? "\n    " : "") << "0x" << std::hex << palette[i] << std::dec << ',';
    out << "\n};\nextern const int kInitialSetCount = " << palette.size() << ";\n\n"
        << "// U+3400..U+4DBF, an index into kInitialSets per character.\n";
    WriteIndex(out, "kExtensionA", extA);
    out << "\n// U+4E00..U+9FFF.\n";
    WriteIndex(out, "kBasic", basic);
    out << "\n}  // namespace tf::pinyin::detail\n";

    // Written only when changed, so an unchanged table rebuilds nothing.
    const std::string result = out.str();
    std::ifstream old(argv[2], std::ios::binary);
    std::stringstream oldText;
    oldText << old.rdbuf();
    if (old && oldText.str() == result) return 0;
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << result;
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
