#pragma once

// The text primitives of the JSON writers: output buffer, string escaping and numbers. One
// implementation shared by the DOM writer (write.cpp) and the token writer (TextWriter).

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/json/encoding_error.hpp"
#include "platform/text.hpp"
#include "platform/utf8.hpp"

namespace platform::json::detail {

// The writers below pass the output cursor by value and return it moved on: a cursor kept in memory
// would be reloaded after every byte stored, since a char store may alias anything.

/// Where the text goes: a buffer on the stack first, so a small document costs one allocation of its
/// exact size; past that the output string itself, kept at full size while writing and cut back to
/// what was written at the end.
class Sink {
public:
    explicit Sink(std::string& out) : out_(out), start_(out.size()) {}

    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    char* begin() { return buffer_; }

    /// Makes room for `n` bytes at `at` and returns where to write them.
    char* reserve(char* at, std::size_t n) {
        if (static_cast<std::size_t>(end_ - at) < n) [[unlikely]] return grow(at, n);
        return at;
    }

    void finish(char* at) {
        if (local_) out_.append(buffer_, static_cast<std::size_t>(at - buffer_));
        else out_.resize(static_cast<std::size_t>(at - out_.data()));
    }

    /// Leaves the output string as it was before.
    void abandon() {
        if (!local_) out_.resize(start_);
    }

private:
    static constexpr std::size_t kBufferSize = 4096;

    [[gnu::noinline]] char* grow(char* at, std::size_t n) {
        if (local_) {
            auto used = static_cast<std::size_t>(at - buffer_);
            out_.resize(start_ + std::max(2 * kBufferSize, used + n + n / 4));
            std::memcpy(out_.data() + start_, buffer_, used);
            local_ = false;
            end_ = out_.data() + out_.size();
            return out_.data() + start_ + used;
        }
        auto used = static_cast<std::size_t>(at - out_.data());
        // Double, but leave slack after a large piece so the text that follows it fits without a
        // second copy of everything written so far.
        auto size = std::max(out_.size() * 2, used + n + n / 4);
        out_.resize(size);
        end_ = out_.data() + size;
        return out_.data() + used;
    }

    std::string& out_;
    std::size_t start_;
    bool local_ = true;
    char* end_ = buffer_ + kBufferSize;
    char buffer_[kBufferSize];
};

inline char* put(char* at, const char* text, std::size_t n) {
    std::memcpy(at, text, n);
    return at + n;
}

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7FULL;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// The masks below set the high bit of exactly those bytes that match, with no carry from one byte
// into the next, so the lowest set bit finds the first match.

constexpr std::uint64_t bytesEqual(std::uint64_t word, unsigned char c) {
    std::uint64_t t = word ^ (kOnes * c);
    return ~(((t & kLows) + kLows) | t) & kHighs;
}

constexpr std::uint64_t bytesBelowSpace(std::uint64_t word) {
    return ~((word & kLows) + kOnes * (0x80 - 0x20)) & ~word & kHighs;
}

/// The high bit of each of the eight bytes of `word` that needs an escape.
constexpr std::uint64_t escapeMask(std::uint64_t word, bool slash) {
    std::uint64_t mask = bytesBelowSpace(word) | bytesEqual(word, '"') | bytesEqual(word, '\\');
    if (slash) mask |= bytesEqual(word, '/');
    return mask;
}

static_assert(escapeMask(0x2021227E7F80FF5CULL, false) == 0x0000800000000080ULL);
static_assert(escapeMask(0x1F2F000120305B5DULL, true) == 0x8080808000000000ULL);

/// The first `n` (below 8) bytes at `p` in the low bytes of a word, the rest zero; reads only those
/// bytes.
inline std::uint64_t loadShort(const char* p, std::size_t n) {
    if (n >= 4) {
        std::uint32_t low;
        std::uint32_t high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + n - 4, 4);  // overlaps `low` by 8 - n bytes, which hold the same values
        return low | static_cast<std::uint64_t>(high) << (8 * (n - 4));
    }
    if (n == 0) return 0;
    auto byte = [p](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])); };
    return byte(0) | byte(n / 2) << (8 * (n / 2)) | byte(n - 1) << (8 * (n - 1));
}

/// For each byte, its escape in the low bytes (in memory order) and the escape's length in the top
/// byte.
using EscapeTexts = std::array<std::uint64_t, 256>;

constexpr std::uint64_t packEscape(std::string_view text) {
    std::uint64_t entry = static_cast<std::uint64_t>(text.size()) << 56;
    for (std::size_t i = 0; i < text.size(); ++i) {
        entry |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return entry;
}

constexpr EscapeTexts makeEscapeTexts() {
    static_assert(std::endian::native == std::endian::little);
    constexpr char hex[] = "0123456789abcdef";
    EscapeTexts table{};
    for (int c = 0; c < 0x20; ++c) {
        const char text[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
        table[c] = packEscape(std::string_view(text, sizeof text));
    }
    table['\b'] = packEscape("\\b");
    table['\f'] = packEscape("\\f");
    table['\n'] = packEscape("\\n");
    table['\r'] = packEscape("\\r");
    table['\t'] = packEscape("\\t");
    table['"'] = packEscape("\\\"");
    table['\\'] = packEscape("\\\\");
    table['/'] = packEscape("\\/");
    return table;
}

inline constexpr EscapeTexts kEscapes = makeEscapeTexts();

/// Writes the escape of `c`; stores eight bytes, those past the escape being scratch.
inline char* writeEscape(char* at, unsigned char c) {
    std::uint64_t entry = kEscapes[c];
    std::memcpy(at, &entry, sizeof entry);
    return at + (entry >> 56);
}

using EscapeFlags = std::array<bool, 256>;

constexpr EscapeFlags makeEscapeFlags(bool slash) {
    EscapeFlags flags{};
    for (int c = 0; c < 0x20; ++c) flags[c] = true;
    flags['"'] = true;
    flags['\\'] = true;
    flags['/'] = slash;
    return flags;
}

inline constexpr EscapeFlags kEscapeWithSlash = makeEscapeFlags(true);
inline constexpr EscapeFlags kEscapeWithoutSlash = makeEscapeFlags(false);

/// Writes the bytes [p, end) escaped one at a time, given room for six bytes each and two more:
/// for short texts, where words do not pay. ORs every byte into `seen`.
inline char* writeEscapedBytes(char* at, const char* p, const char* end, bool slash, unsigned char& seen) {
    const auto& flags = slash ? kEscapeWithSlash : kEscapeWithoutSlash;
    for (; p != end; ++p) {
        auto c = static_cast<unsigned char>(*p);
        seen |= c;
        if (flags[c]) [[unlikely]] at = writeEscape(at, c);
        else *at++ = static_cast<char>(c);
    }
    return at;
}

/// Writes the bytes [p, end) escaped, given room for six bytes each and eight more. Sixteen bytes at
/// a time where SSE2 is there, then eight: each block is stored whole and the cursor moves only up
/// to its first byte that needs an escape.
inline char* writeEscaped(char* at, const char* p, const char* end, bool slash) {
#if defined(__SSE2__)
    // The long texts (descriptions, documents) are mostly plain.
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i solidus = _mm_set1_epi8('/');
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    // Unsigned c < 0x20 as a signed comparison of c ^ 0x80.
    const __m128i space = _mm_set1_epi8(static_cast<char>(0x20 ^ 0x80));
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash));
        hits = _mm_or_si128(hits, _mm_cmplt_epi8(_mm_xor_si128(chunk, flip), space));
        if (slash) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, solidus));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), chunk);
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask == 0) {
            p += 16;
            at += 16;
            continue;
        }
        const auto plain = static_cast<std::size_t>(std::countr_zero(mask));
        p += plain;
        at = writeEscape(at + plain, static_cast<unsigned char>(*p++));
    }
#endif
    while (p != end) {
        auto rest = static_cast<std::size_t>(end - p);
        std::uint64_t word;
        std::uint64_t mask;
        std::size_t take;
        if (rest >= 8) [[likely]] {
            std::memcpy(&word, p, sizeof word);
            mask = escapeMask(word, slash);
            take = 8;
        } else {
            word = loadShort(p, rest);
            // The zero bytes past the text would count as control characters.
            mask = escapeMask(word, slash) & ((std::uint64_t{1} << (8 * rest)) - 1);
            take = rest;
        }
        std::memcpy(at, &word, sizeof word);
        if (mask == 0) {
            p += take;
            at += take;
            continue;
        }
        auto plain = static_cast<std::size_t>(std::countr_zero(mask) / 8);
        p += plain;
        at = writeEscape(at + plain, static_cast<unsigned char>(*p++));
    }
    return at;
}

inline constexpr std::size_t kStringBlock = 256;

inline char* writeString(Sink& sink, char* at, std::string_view text, bool slash);

// Bytes that are no UTF-8 would make text no peer can read; they are written as U+FFFD.
[[gnu::noinline]] inline char* writeRepaired(Sink& sink, char* at, std::string_view text, bool slash) {
    const std::string repaired = repairUTF8(text);
    return writeString(sink, at, repaired, slash);
}

inline char* writeString(Sink& sink, char* at, std::string_view text, bool slash) {
    const char* p = text.data();
    const char* const end = p + text.size();
    // Short texts, keys above all, take one reservation.
    at = sink.reserve(at, std::min(text.size(), kStringBlock) * 6 + 10);
    if (text.size() < 16) {
        // Checked for UTF-8 only when a byte beyond ASCII went by; nothing moved the buffer since.
        char* const open = at;
        *at++ = '"';
        unsigned char seen = 0;
        at = writeEscapedBytes(at, p, end, slash, seen);
        if ((seen & 0x80) != 0 && !isValidUTF8(text)) [[unlikely]] return writeRepaired(sink, open, text, slash);
        *at++ = '"';
        return at;
    }
    if (!isValidUTF8(text)) [[unlikely]] return writeRepaired(sink, at, text, slash);
    *at++ = '"';
    while (static_cast<std::size_t>(end - p) > kStringBlock) {
        at = writeEscaped(at, p, p + kStringBlock, slash);
        p += kStringBlock;
        at = sink.reserve(at, kStringBlock * 6 + 10);
    }
    if (end - p < 16) {
        unsigned char seen = 0;
        at = writeEscapedBytes(at, p, end, slash, seen);
    } else {
        at = writeEscaped(at, p, end, slash);
    }
    *at++ = '"';
    return at;
}

template<class Integer>
inline char* writeInteger(Sink& sink, char* at, Integer value) {
    constexpr std::size_t kMaxDigits = 21;
    at = sink.reserve(at, kMaxDigits);
    return std::to_chars(at, at + kMaxDigits, value).ptr;
}

inline char* writeDouble(Sink& sink, char* at, double value) {
    if (!std::isfinite(value)) {
        throw EncodingError("Unable to encode the number " + describeDouble(value) + " in JSON.");
    }
    // The longest shortest form is 24 characters ("-2.2250738585072014e-308").
    constexpr std::size_t kMaxChars = 32;
    at = sink.reserve(at, kMaxChars);
    return std::to_chars(at, at + kMaxChars, value).ptr;
}

inline char* writeNewline(Sink& sink, char* at, std::size_t depth) {
    at = sink.reserve(at, 1 + 2 * depth);
    *at++ = '\n';
    std::memset(at, ' ', 2 * depth);
    return at + 2 * depth;
}

}  // namespace platform::json::detail
