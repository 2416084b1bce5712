#include "mcp/base/transports/http_server/detail/unicode_text.hpp"

#include <algorithm>
#include <iterator>

namespace mcp::detail {

namespace {

struct ScalarRange {
    char32_t first;
    char32_t last;
};

// Every code point whose numeric type is not None, as inclusive ranges in ascending order
// (Unicode 15.0).
constexpr ScalarRange kNumericRanges[] = {
    {0x0030, 0x0039}, {0x00B2, 0x00B3}, {0x00B9, 0x00B9}, {0x00BC, 0x00BE}, {0x0660, 0x0669},
    {0x06F0, 0x06F9}, {0x07C0, 0x07C9}, {0x0966, 0x096F}, {0x09E6, 0x09EF}, {0x09F4, 0x09F9},
    {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF}, {0x0B66, 0x0B6F}, {0x0B72, 0x0B77}, {0x0BE6, 0x0BF2},
    {0x0C66, 0x0C6F}, {0x0C78, 0x0C7E}, {0x0CE6, 0x0CEF}, {0x0D58, 0x0D5E}, {0x0D66, 0x0D78},
    {0x0DE6, 0x0DEF}, {0x0E50, 0x0E59}, {0x0ED0, 0x0ED9}, {0x0F20, 0x0F33}, {0x1040, 0x1049},
    {0x1090, 0x1099}, {0x1369, 0x137C}, {0x16EE, 0x16F0}, {0x17E0, 0x17E9}, {0x17F0, 0x17F9},
    {0x1810, 0x1819}, {0x1946, 0x194F}, {0x19D0, 0x19DA}, {0x1A80, 0x1A89}, {0x1A90, 0x1A99},
    {0x1B50, 0x1B59}, {0x1BB0, 0x1BB9}, {0x1C40, 0x1C49}, {0x1C50, 0x1C59}, {0x2070, 0x2070},
    {0x2074, 0x2079}, {0x2080, 0x2089}, {0x2150, 0x2182}, {0x2185, 0x2189}, {0x2460, 0x249B},
    {0x24EA, 0x24FF}, {0x2776, 0x2793}, {0x2CFD, 0x2CFD}, {0x3007, 0x3007}, {0x3021, 0x3029},
    {0x3038, 0x303A}, {0x3192, 0x3195}, {0x3220, 0x3229}, {0x3248, 0x324F}, {0x3251, 0x325F},
    {0x3280, 0x3289}, {0x32B1, 0x32BF}, {0x3405, 0x3405}, {0x3483, 0x3483}, {0x382A, 0x382A},
    {0x3B4D, 0x3B4D}, {0x4E00, 0x4E00}, {0x4E03, 0x4E03}, {0x4E07, 0x4E07}, {0x4E09, 0x4E09},
    {0x4E5D, 0x4E5D}, {0x4E8C, 0x4E8C}, {0x4E94, 0x4E94}, {0x4E96, 0x4E96}, {0x4EBF, 0x4EC0},
    {0x4EDF, 0x4EDF}, {0x4EE8, 0x4EE8}, {0x4F0D, 0x4F0D}, {0x4F70, 0x4F70}, {0x5104, 0x5104},
    {0x5146, 0x5146}, {0x5169, 0x5169}, {0x516B, 0x516B}, {0x516D, 0x516D}, {0x5341, 0x5341},
    {0x5343, 0x5345}, {0x534C, 0x534C}, {0x53C1, 0x53C4}, {0x56DB, 0x56DB}, {0x58F1, 0x58F1},
    {0x58F9, 0x58F9}, {0x5E7A, 0x5E7A}, {0x5EFE, 0x5EFF}, {0x5F0C, 0x5F0E}, {0x5F10, 0x5F10},
    {0x62FE, 0x62FE}, {0x634C, 0x634C}, {0x67D2, 0x67D2}, {0x6F06, 0x6F06}, {0x7396, 0x7396},
    {0x767E, 0x767E}, {0x8086, 0x8086}, {0x842C, 0x842C}, {0x8CAE, 0x8CAE}, {0x8CB3, 0x8CB3},
    {0x8D30, 0x8D30}, {0x9621, 0x9621}, {0x9646, 0x9646}, {0x964C, 0x964C}, {0x9678, 0x9678},
    {0x96F6, 0x96F6}, {0xA620, 0xA629}, {0xA6E6, 0xA6EF}, {0xA830, 0xA835}, {0xA8D0, 0xA8D9},
    {0xA900, 0xA909}, {0xA9D0, 0xA9D9}, {0xA9F0, 0xA9F9}, {0xAA50, 0xAA59}, {0xABF0, 0xABF9},
    {0xF96B, 0xF96B}, {0xF973, 0xF973}, {0xF978, 0xF978}, {0xF9B2, 0xF9B2}, {0xF9D1, 0xF9D1},
    {0xF9D3, 0xF9D3}, {0xF9FD, 0xF9FD}, {0xFF10, 0xFF19}, {0x10107, 0x10133}, {0x10140, 0x10178},
    {0x1018A, 0x1018B}, {0x102E1, 0x102FB}, {0x10320, 0x10323}, {0x10341, 0x10341}, {0x1034A, 0x1034A},
    {0x103D1, 0x103D5}, {0x104A0, 0x104A9}, {0x10858, 0x1085F}, {0x10879, 0x1087F}, {0x108A7, 0x108AF},
    {0x108FB, 0x108FF}, {0x10916, 0x1091B}, {0x109BC, 0x109BD}, {0x109C0, 0x109CF}, {0x109D2, 0x109FF},
    {0x10A40, 0x10A48}, {0x10A7D, 0x10A7E}, {0x10A9D, 0x10A9F}, {0x10AEB, 0x10AEF}, {0x10B58, 0x10B5F},
    {0x10B78, 0x10B7F}, {0x10BA9, 0x10BAF}, {0x10CFA, 0x10CFF}, {0x10D30, 0x10D39}, {0x10E60, 0x10E7E},
    {0x10F1D, 0x10F26}, {0x10F51, 0x10F54}, {0x10FC5, 0x10FCB}, {0x11052, 0x1106F}, {0x110F0, 0x110F9},
    {0x11136, 0x1113F}, {0x111D0, 0x111D9}, {0x111E1, 0x111F4}, {0x112F0, 0x112F9}, {0x11450, 0x11459},
    {0x114D0, 0x114D9}, {0x11650, 0x11659}, {0x116C0, 0x116C9}, {0x11730, 0x1173B}, {0x118E0, 0x118F2},
    {0x11950, 0x11959}, {0x11C50, 0x11C6C}, {0x11D50, 0x11D59}, {0x11DA0, 0x11DA9}, {0x11F50, 0x11F59},
    {0x11FC0, 0x11FD4}, {0x12400, 0x1246E}, {0x16A60, 0x16A69}, {0x16AC0, 0x16AC9}, {0x16B50, 0x16B59},
    {0x16B5B, 0x16B61}, {0x16E80, 0x16E96}, {0x1D2C0, 0x1D2D3}, {0x1D2E0, 0x1D2F3}, {0x1D360, 0x1D378},
    {0x1D7CE, 0x1D7FF}, {0x1E140, 0x1E149}, {0x1E2F0, 0x1E2F9}, {0x1E4F0, 0x1E4F9}, {0x1E8C7, 0x1E8CF},
    {0x1E950, 0x1E959}, {0x1EC71, 0x1ECAB}, {0x1ECAD, 0x1ECAF}, {0x1ECB1, 0x1ECB4}, {0x1ED01, 0x1ED2D},
    {0x1ED2F, 0x1ED3D}, {0x1F100, 0x1F10C}, {0x1FBF0, 0x1FBF9}, {0x20001, 0x20001}, {0x20064, 0x20064},
    {0x200E2, 0x200E2}, {0x20121, 0x20121}, {0x2092A, 0x2092A}, {0x20983, 0x20983}, {0x2098C, 0x2098C},
    {0x2099C, 0x2099C}, {0x20AEA, 0x20AEA}, {0x20AFD, 0x20AFD}, {0x20B19, 0x20B19}, {0x22390, 0x22390},
    {0x22998, 0x22998}, {0x23B1B, 0x23B1B}, {0x2626D, 0x2626D}, {0x2F890, 0x2F890},
};

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool inRange(unsigned char byte, unsigned char low, unsigned char high) noexcept {
    return byte >= low && byte <= high;
}

void appendUTF8(std::string& out, char32_t scalar) {
    if (scalar < 0x80) {
        out.push_back(static_cast<char>(scalar));
    } else if (scalar < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    }
}

}  // namespace

UTF8Step decodeUTF8(std::string_view text, std::size_t position) noexcept {
    const auto lead = static_cast<unsigned char>(text[position]);
    if (lead < 0x80) return {lead, true, 1};

    // The well-formed sequences: the range allowed for the second byte depends on the lead byte.
    std::size_t length;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    char32_t scalar;
    if (inRange(lead, 0xC2, 0xDF)) {
        length = 2;
        scalar = lead & 0x1F;
    } else if (inRange(lead, 0xE0, 0xEF)) {
        length = 3;
        scalar = lead & 0x0F;
        if (lead == 0xE0) secondLow = 0xA0;
        if (lead == 0xED) secondHigh = 0x9F;
    } else if (inRange(lead, 0xF0, 0xF4)) {
        length = 4;
        scalar = lead & 0x07;
        if (lead == 0xF0) secondLow = 0x90;
        if (lead == 0xF4) secondHigh = 0x8F;
    } else {
        return {0, false, 1};
    }

    for (std::size_t i = 1; i < length; ++i) {
        if (position + i >= text.size()) return {0, false, i};
        const auto byte = static_cast<unsigned char>(text[position + i]);
        const bool fits = i == 1 ? inRange(byte, secondLow, secondHigh) : inRange(byte, 0x80, 0xBF);
        if (!fits) return {0, false, i};
        scalar = (scalar << 6) | (byte & 0x3F);
    }
    return {scalar, true, length};
}

std::string repairingUTF8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        const auto step = decodeUTF8(text, position);
        if (step.valid) {
            out.append(text.substr(position, step.length));
        } else {
            appendUTF8(out, kReplacementCharacter);
        }
        position += step.length;
    }
    return out;
}

bool isUnicodeWhiteSpace(char32_t scalar) noexcept {
    if (scalar <= 0x20) return scalar == 0x20 || (scalar >= 0x09 && scalar <= 0x0D);
    switch (scalar) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return scalar >= 0x2000 && scalar <= 0x200A;
    }
}

bool isUnicodeNumeric(char32_t scalar) noexcept {
    const auto* end = std::end(kNumericRanges);
    const auto* found = std::upper_bound(std::begin(kNumericRanges), end, scalar,
                                         [](char32_t value, const ScalarRange& range) { return value < range.first; });
    if (found == std::begin(kNumericRanges)) return false;
    return scalar <= std::prev(found)->last;
}

std::string_view trimmingSpacesAndTabs(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::size_t skipWhiteSpace(std::string_view text, std::size_t position) noexcept {
    while (position < text.size()) {
        const auto step = decodeUTF8(text, position);
        if (!step.valid || !isUnicodeWhiteSpace(step.scalar)) break;
        position += step.length;
    }
    return position;
}

std::size_t findWhiteSpace(std::string_view text) noexcept {
    std::size_t position = 0;
    while (position < text.size()) {
        const auto step = decodeUTF8(text, position);
        if (step.valid && isUnicodeWhiteSpace(step.scalar)) return position;
        position += step.length;
    }
    return std::string_view::npos;
}

std::string_view trimmingWhiteSpace(std::string_view text) noexcept {
    const auto first = skipWhiteSpace(text, 0);
    // The end of the last character that is not white space.
    std::size_t end = first;
    std::size_t position = first;
    while (position < text.size()) {
        const auto step = decodeUTF8(text, position);
        position += step.length;
        if (!step.valid || !isUnicodeWhiteSpace(step.scalar)) end = position;
    }
    return text.substr(first, end - first);
}

bool isAllNumeric(std::string_view text) noexcept {
    if (text.empty()) return false;
    std::size_t position = 0;
    while (position < text.size()) {
        const auto step = decodeUTF8(text, position);
        if (!step.valid || !isUnicodeNumeric(step.scalar)) return false;
        position += step.length;
    }
    return true;
}

}  // namespace mcp::detail
