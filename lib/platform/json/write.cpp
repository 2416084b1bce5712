#include "platform/json/write.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "platform/json/encoding_error.hpp"
#include "platform/text.hpp"

namespace platform::json {

namespace {

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

/// A stack of trivial values held inline up to N and on the heap beyond.
template<class T, std::size_t N>
class SmallStack {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    SmallStack() = default;
    SmallStack(const SmallStack&) = delete;
    SmallStack& operator=(const SmallStack&) = delete;

    T& push() {
        if (size_ == capacity_) [[unlikely]] grow();
        return data_[size_++];
    }
    void pop() { --size_; }
    void shrink(std::size_t size) { size_ = size; }
    T& back() { return data_[size_ - 1]; }
    T* data() { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    void grow() {
        auto bigger = std::make_unique_for_overwrite<T[]>(capacity_ * 2);
        std::copy(data_, data_ + size_, bigger.get());
        heap_ = std::move(bigger);
        data_ = heap_.get();
        capacity_ *= 2;
    }

    T inline_[N];
    std::unique_ptr<T[]> heap_;
    T* data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = N;
};

char* put(char* at, const char* text, std::size_t n) {
    std::memcpy(at, text, n);
    return at + n;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

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
std::uint64_t loadShort(const char* p, std::size_t n) {
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

constexpr EscapeTexts kEscapes = makeEscapeTexts();

/// Writes the escape of `c`; stores eight bytes, those past the escape being scratch.
char* writeEscape(char* at, unsigned char c) {
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

constexpr EscapeFlags kEscapeWithSlash = makeEscapeFlags(true);
constexpr EscapeFlags kEscapeWithoutSlash = makeEscapeFlags(false);

/// Writes the bytes [p, end) escaped one at a time, given room for six bytes each and two more:
/// for short texts, where words do not pay.
char* writeEscapedBytes(char* at, const char* p, const char* end, bool slash) {
    const auto& flags = slash ? kEscapeWithSlash : kEscapeWithoutSlash;
    for (; p != end; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (flags[c]) [[unlikely]] at = writeEscape(at, c);
        else *at++ = static_cast<char>(c);
    }
    return at;
}

/// Writes the bytes [p, end) escaped, given room for six bytes each and eight more. Eight bytes at a
/// time: each word is stored whole and the cursor moves only up to its first byte that needs an
/// escape.
char* writeEscaped(char* at, const char* p, const char* end, bool slash) {
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

constexpr std::size_t kStringBlock = 256;

char* writeString(Sink& sink, char* at, std::string_view text, bool slash) {
    const char* p = text.data();
    const char* const end = p + text.size();
    // Short texts, keys above all, take one reservation.
    at = sink.reserve(at, std::min(text.size(), kStringBlock) * 6 + 10);
    *at++ = '"';
    while (static_cast<std::size_t>(end - p) > kStringBlock) {
        at = writeEscaped(at, p, p + kStringBlock, slash);
        p += kStringBlock;
        at = sink.reserve(at, kStringBlock * 6 + 10);
    }
    if (end - p < 16) at = writeEscapedBytes(at, p, end, slash);
    else at = writeEscaped(at, p, end, slash);
    *at++ = '"';
    return at;
}

template<class Integer>
char* writeInteger(Sink& sink, char* at, Integer value) {
    constexpr std::size_t kMaxDigits = 21;
    at = sink.reserve(at, kMaxDigits);
    return std::to_chars(at, at + kMaxDigits, value).ptr;
}

char* writeDouble(Sink& sink, char* at, double value) {
    if (!std::isfinite(value)) {
        throw EncodingError("Unable to encode the number " + describeDouble(value) + " in JSON.");
    }
    // The longest shortest form is 24 characters ("-2.2250738585072014e-308").
    constexpr std::size_t kMaxChars = 32;
    at = sink.reserve(at, kMaxChars);
    return std::to_chars(at, at + kMaxChars, value).ptr;
}

char* writeNewline(Sink& sink, char* at, std::size_t depth) {
    at = sink.reserve(at, 1 + 2 * depth);
    *at++ = '\n';
    std::memset(at, ' ', 2 * depth);
    return at + 2 * depth;
}

/// A member to sort: the first eight bytes of its key as a big-endian number (zero-padded) settle
/// most comparisons without a call to memcmp.
struct SortKey {
    std::uint64_t prefix;
    const boost::json::key_value_pair* member;

    explicit SortKey(const boost::json::key_value_pair& m) : member(&m) {
        std::string_view key = m.key();
        std::uint64_t word;
        if (key.size() >= 8) std::memcpy(&word, key.data(), sizeof word);
        else word = loadShort(key.data(), key.size());
        prefix = __builtin_bswap64(word);
    }

    SortKey() = default;

    /// Byte order of the keys; a shorter key sorts before the longer keys it begins.
    bool operator<(const SortKey& other) const {
        if (prefix != other.prefix) return prefix < other.prefix;
        return member->key() < other.member->key();
    }
};

/// One open array or object.
struct Frame {
    const boost::json::value* elements;          // an array, else null
    const boost::json::key_value_pair* members;  // an object in insertion order
    std::size_t sortedStart;                     // an object in key order: where its members sit in the scratch
    std::size_t next;
    std::size_t count;
};

/// Writes one value. Shallow levels go by recursion, which keeps each level's state in registers;
/// from kRecursionLimit on, a stack of frames on the heap takes over, so no input can exhaust the
/// call stack. Sorting and layout are template arguments, keeping their tests out of the loops.
template<bool Sorted, bool Pretty>
class Writer {
public:
    Writer(std::string& out, bool escapeSlashes) : sink_(out), slash_(escapeSlashes) {}

    void run(const boost::json::value& root) { sink_.finish(writeValue(sink_.begin(), root, 0)); }

    void abandon() { sink_.abandon(); }

private:
    static constexpr std::size_t kRecursionLimit = 64;

    char* writeValue(char* at, const boost::json::value& value, std::size_t depth) {
        if (value.is_array()) return writeArray(at, value.get_array(), depth);
        if (value.is_object()) return writeObject(at, value.get_object(), depth);
        return writeScalar(at, value);
    }

    char* writeArray(char* at, const boost::json::array& array, std::size_t depth) {
        if (array.empty()) return literal(at, "[]", 2);
        if (depth >= kRecursionLimit) return writeDeep(at, array, depth);
        at = literal(at, "[", 1);
        for (std::size_t i = 0; i < array.size(); ++i) {
            if (i != 0) at = literal(at, ",", 1);
            if constexpr (Pretty) at = writeNewline(sink_, at, depth + 1);
            at = writeValue(at, array[i], depth + 1);
        }
        if constexpr (Pretty) at = writeNewline(sink_, at, depth);
        return literal(at, "]", 1);
    }

    char* writeObject(char* at, const boost::json::object& object, std::size_t depth) {
        if (object.empty()) return literal(at, "{}", 2);
        if (depth >= kRecursionLimit) return writeDeep(at, object, depth);
        at = literal(at, "{", 1);
        std::size_t sortedStart = 0;
        if constexpr (Sorted) sortedStart = sortMembers(object);
        for (std::size_t i = 0; i < object.size(); ++i) {
            if (i != 0) at = literal(at, ",", 1);
            if constexpr (Pretty) at = writeNewline(sink_, at, depth + 1);
            const auto& member = memberAt(object.begin(), sortedStart, i);
            at = writeKey(at, member.key());
            at = writeValue(at, member.value(), depth + 1);
        }
        if constexpr (Sorted) scratch_.shrink(sortedStart);
        if constexpr (Pretty) at = writeNewline(sink_, at, depth);
        return literal(at, "}", 1);
    }

    /// Writes the non-empty `container`, found at `depth`, with the stack of frames.
    template<class Container>
    char* writeDeep(char* at, const Container& container, std::size_t depth) {
        depthBase_ = depth;
        at = open(at, container);
        while (!frames_.empty()) at = step(at);
        return at;
    }

    /// Writes the next element or member of the innermost open container, or closes it.
    char* step(char* at) {
        Frame& frame = frames_.back();
        if (frame.next == frame.count) return close(at);
        if (frame.next != 0) at = literal(at, ",", 1);
        if constexpr (Pretty) at = writeNewline(sink_, at, depthBase_ + frames_.size());
        const boost::json::value* item;
        if (frame.elements) {
            item = frame.elements + frame.next;
        } else {
            const auto& member = memberAt(frame.members, frame.sortedStart, frame.next);
            at = writeKey(at, member.key());
            item = &member.value();
        }
        ++frame.next;
        // May push a frame, so `frame` is not used after this.
        if (item->is_array() && !item->get_array().empty()) return open(at, item->get_array());
        if (item->is_object() && !item->get_object().empty()) return open(at, item->get_object());
        return writeScalar(at, *item);
    }

    char* open(char* at, const boost::json::array& array) {
        Frame& frame = frames_.push();
        frame.elements = array.data();
        frame.members = nullptr;
        frame.sortedStart = 0;
        frame.next = 0;
        frame.count = array.size();
        return literal(at, "[", 1);
    }

    char* open(char* at, const boost::json::object& object) {
        Frame& frame = frames_.push();
        frame.elements = nullptr;
        frame.members = object.begin();
        frame.sortedStart = 0;
        if constexpr (Sorted) frame.sortedStart = sortMembers(object);
        frame.next = 0;
        frame.count = object.size();
        return literal(at, "{", 1);
    }

    char* close(char* at) {
        const Frame& frame = frames_.back();
        char bracket = frame.elements ? ']' : '}';
        // Only an object put members on the scratch; an array frame has nothing there to drop.
        if constexpr (Sorted) {
            if (!frame.elements) scratch_.shrink(frame.sortedStart);
        }
        frames_.pop();
        if constexpr (Pretty) at = writeNewline(sink_, at, depthBase_ + frames_.size());
        return literal(at, &bracket, 1);
    }

    /// Writes a scalar or an empty container.
    char* writeScalar(char* at, const boost::json::value& value) {
        switch (value.kind()) {
        case boost::json::kind::null: return literal(at, "null", 4);
        case boost::json::kind::bool_: return value.get_bool() ? literal(at, "true", 4) : literal(at, "false", 5);
        case boost::json::kind::int64: return writeInteger(sink_, at, value.get_int64());
        case boost::json::kind::uint64: return writeInteger(sink_, at, value.get_uint64());
        case boost::json::kind::double_: return writeDouble(sink_, at, value.get_double());
        case boost::json::kind::string: return writeString(sink_, at, value.get_string(), slash_);
        case boost::json::kind::array: return literal(at, "[]", 2);
        case boost::json::kind::object: return literal(at, "{}", 2);
        }
        return at;
    }

    char* writeKey(char* at, std::string_view key) {
        at = writeString(sink_, at, key, slash_);
        if constexpr (Pretty) return literal(at, " : ", 3);
        else return literal(at, ":", 1);
    }

    /// Pushes the members of `object` in key order onto the scratch and returns where they start.
    std::size_t sortMembers(const boost::json::object& object) {
        std::size_t start = scratch_.size();
        for (const auto& member : object) scratch_.push() = SortKey(member);
        std::sort(scratch_.data() + start, scratch_.data() + scratch_.size());
        return start;
    }

    /// The i-th member to write: in key order from the scratch, else in insertion order.
    const boost::json::key_value_pair& memberAt(const boost::json::key_value_pair* members, std::size_t sortedStart,
                                                std::size_t i) {
        if constexpr (Sorted) return *scratch_.data()[sortedStart + i].member;
        else return members[i];
    }

    char* literal(char* at, const char* text, std::size_t n) { return put(sink_.reserve(at, n), text, n); }

    Sink sink_;
    bool slash_;
    std::size_t depthBase_ = 0;  // where the frames took over
    SmallStack<Frame, 32> frames_;
    SmallStack<SortKey, Sorted ? 64 : 1> scratch_;
};

template<bool Sorted, bool Pretty>
void run(std::string& out, const boost::json::value& value, bool escapeSlashes) {
    Writer<Sorted, Pretty> writer(out, escapeSlashes);
    try {
        writer.run(value);
    } catch (...) {
        writer.abandon();
        throw;
    }
}

}  // namespace

std::string write(const boost::json::value& value, const WriteOptions& options) {
    std::string out;
    writeTo(out, value, options);
    return out;
}

void writeTo(std::string& out, const boost::json::value& value, const WriteOptions& options) {
    if (options.sortedKeys) {
        if (options.pretty) run<true, true>(out, value, options.escapeSlashes);
        else run<true, false>(out, value, options.escapeSlashes);
    } else {
        if (options.pretty) run<false, true>(out, value, options.escapeSlashes);
        else run<false, false>(out, value, options.escapeSlashes);
    }
}

}  // namespace platform::json
