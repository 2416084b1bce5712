#include "platform/json/write.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory_resource>
#include <vector>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "platform/json/encoding_error.hpp"
#include "platform/text.hpp"

namespace platform::json {

namespace {

/// The output string, kept at full size while writing so that each write is a pointer bump, and
/// cut back to what was written at the end.
class Sink {
public:
    explicit Sink(std::string& out) : out_(out), start_(out.size()) {
        out_.resize(std::max(out_.capacity(), start_ + kFirstSize));
        cur_ = out_.data() + start_;
        end_ = out_.data() + out_.size();
    }

    /// Makes room for `n` more bytes.
    void need(std::size_t n) {
        if (static_cast<std::size_t>(end_ - cur_) < n) grow(n);
    }

    // The writers below assume room was made with `need`.
    void put(char c) { *cur_++ = c; }
    void put(const char* bytes, std::size_t n) {
        std::memcpy(cur_, bytes, n);
        cur_ += n;
    }
    void fill(char c, std::size_t n) {
        std::memset(cur_, c, n);
        cur_ += n;
    }
    char*& cursor() { return cur_; }
    char* end() { return end_; }

    void finish() { out_.resize(static_cast<std::size_t>(cur_ - out_.data())); }
    void abandon() { out_.resize(start_); }

private:
    static constexpr std::size_t kFirstSize = 512;

    void grow(std::size_t n) {
        auto used = static_cast<std::size_t>(cur_ - out_.data());
        // Double, but leave slack after a large piece so the text that follows it fits without a
        // second copy of everything written so far.
        auto size = std::max(out_.size() * 2, used + n + n / 4 + kFirstSize);
        out_.resize(size);
        cur_ = out_.data() + used;
        end_ = out_.data() + size;
    }

    std::string& out_;
    std::size_t start_;
    char* cur_ = nullptr;
    char* end_ = nullptr;
};

using EscapeTable = std::array<bool, 256>;

constexpr EscapeTable makeEscapeTable(bool slash) {
    EscapeTable table{};
    for (int c = 0; c < 0x20; ++c) table[c] = true;
    table['"'] = true;
    table['\\'] = true;
    table['/'] = slash;
    return table;
}

constexpr EscapeTable kEscapeWithSlash = makeEscapeTable(true);
constexpr EscapeTable kEscapeWithoutSlash = makeEscapeTable(false);

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

constexpr std::uint64_t hasZeroByte(std::uint64_t word) {
    return (word - kOnes) & ~word & kHighs;
}

/// Whether any of the eight bytes in `word` needs an escape. Exact as a whole; the flag bits
/// themselves may be off above the first hit, so callers find the byte with the table.
constexpr bool wordNeedsEscape(std::uint64_t word, bool slash) {
    std::uint64_t control = (word - kOnes * 0x20) & ~word & kHighs;
    std::uint64_t quote = hasZeroByte(word ^ (kOnes * '"'));
    std::uint64_t backslash = hasZeroByte(word ^ (kOnes * '\\'));
    std::uint64_t solidus = slash ? hasZeroByte(word ^ (kOnes * '/')) : 0;
    return (control | quote | backslash | solidus) != 0;
}

struct Frame {
    const boost::json::value* elements = nullptr;          // an array
    const boost::json::key_value_pair* members = nullptr;  // an object in insertion order
    std::size_t sortedStart = kUnsorted;                   // an object in key order: its run in the scratch
    std::size_t next = 0;
    std::size_t count = 0;

    static constexpr std::size_t kUnsorted = static_cast<std::size_t>(-1);
};

/// Walks the value with a stack of its own, so nesting depth costs heap and never the call stack.
class Writer {
public:
    Writer(Sink& sink, const WriteOptions& options, std::pmr::memory_resource* arena)
        : sink_(sink),
          options_(options),
          escapes_(options.escapeSlashes ? kEscapeWithSlash : kEscapeWithoutSlash),
          frames_(arena),
          scratch_(arena) {
        frames_.reserve(16);
        if (options_.sortedKeys) scratch_.reserve(64);
    }

    void run(const boost::json::value& root) {
        begin(root);
        while (!frames_.empty()) step();
    }

private:
    /// Writes a scalar or an empty container whole; for any other container writes its opening
    /// bracket and pushes its frame.
    void begin(const boost::json::value& value) {
        switch (value.kind()) {
        case boost::json::kind::null: return literal("null", 4);
        case boost::json::kind::bool_: return value.get_bool() ? literal("true", 4) : literal("false", 5);
        case boost::json::kind::int64: return integer(value.get_int64());
        case boost::json::kind::uint64: return integer(value.get_uint64());
        case boost::json::kind::double_: return number(value.get_double());
        case boost::json::kind::string: return string(value.get_string());
        case boost::json::kind::array: return openArray(value.get_array());
        case boost::json::kind::object: return openObject(value.get_object());
        }
    }

    /// Writes the next element or member of the innermost container, or closes it.
    void step() {
        Frame& frame = frames_.back();
        if (frame.next == frame.count) return close();
        if (frame.next != 0) {
            sink_.need(1);
            sink_.put(',');
        }
        if (options_.pretty) newline(frames_.size());
        const boost::json::value* item;
        if (frame.elements) {
            item = frame.elements + frame.next;
        } else {
            const auto& member = frame.sortedStart == Frame::kUnsorted ? frame.members[frame.next]
                                                                       : *scratch_[frame.sortedStart + frame.next];
            string(member.key());
            if (options_.pretty) literal(" : ", 3);
            else literal(":", 1);
            item = &member.value();
        }
        ++frame.next;
        begin(*item);  // may push a frame, so `frame` is not used after this
    }

    void openArray(const boost::json::array& array) {
        if (array.empty()) return literal("[]", 2);
        literal("[", 1);
        frames_.push_back({.elements = array.data(), .count = array.size()});
    }

    void openObject(const boost::json::object& object) {
        if (object.empty()) return literal("{}", 2);
        literal("{", 1);
        Frame frame{.members = object.begin(), .count = object.size()};
        if (options_.sortedKeys) {
            frame.sortedStart = scratch_.size();
            for (const auto& member : object) scratch_.push_back(&member);
            std::sort(scratch_.begin() + static_cast<std::ptrdiff_t>(frame.sortedStart), scratch_.end(),
                      [](const auto* a, const auto* b) { return a->key() < b->key(); });
        }
        frames_.push_back(frame);
    }

    void close() {
        const Frame& frame = frames_.back();
        if (frame.sortedStart != Frame::kUnsorted) scratch_.resize(frame.sortedStart);
        char bracket = frame.elements ? ']' : '}';
        frames_.pop_back();
        if (options_.pretty) newline(frames_.size());
        sink_.need(1);
        sink_.put(bracket);
    }

    void newline(std::size_t depth) {
        sink_.need(1 + 2 * depth);
        sink_.put('\n');
        sink_.fill(' ', 2 * depth);
    }

    void literal(const char* text, std::size_t n) {
        sink_.need(n);
        sink_.put(text, n);
    }

    template<class Integer>
    void integer(Integer value) {
        constexpr std::size_t kMaxDigits = 21;
        sink_.need(kMaxDigits);
        sink_.cursor() = std::to_chars(sink_.cursor(), sink_.end(), value).ptr;
    }

    void number(double value) {
        if (!std::isfinite(value)) {
            throw EncodingError("Unable to encode the number " + describeDouble(value) + " in JSON.");
        }
        // The longest shortest form is 24 characters ("-2.2250738585072014e-308").
        constexpr std::size_t kMaxChars = 32;
        sink_.need(kMaxChars);
        sink_.cursor() = std::to_chars(sink_.cursor(), sink_.end(), value).ptr;
    }

    void string(std::string_view text) {
        const char* p = text.data();
        const char* const end = p + text.size();
        sink_.need(1);
        sink_.put('"');
        while (p != end) {
            const char* run = p;
            p = plainRunEnd(p, end);
            auto length = static_cast<std::size_t>(p - run);
            sink_.need(length + 7);  // the run, one escape and the closing quote
            sink_.put(run, length);
            if (p == end) break;
            escape(static_cast<unsigned char>(*p++));
        }
        sink_.need(1);
        sink_.put('"');
    }

    /// The first byte at or after `p` that needs an escape, or `end`.
    const char* plainRunEnd(const char* p, const char* end) const {
        bool slash = options_.escapeSlashes;
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if (wordNeedsEscape(word, slash)) break;
            p += 8;
        }
        while (p != end && !escapes_[static_cast<unsigned char>(*p)]) ++p;
        return p;
    }

    void escape(unsigned char c) {
        static constexpr char kHex[] = "0123456789abcdef";
        char shortForm = 0;
        switch (c) {
        case '"': shortForm = '"'; break;
        case '\\': shortForm = '\\'; break;
        case '/': shortForm = '/'; break;
        case '\b': shortForm = 'b'; break;
        case '\f': shortForm = 'f'; break;
        case '\n': shortForm = 'n'; break;
        case '\r': shortForm = 'r'; break;
        case '\t': shortForm = 't'; break;
        default: break;
        }
        if (shortForm) {
            sink_.put('\\');
            sink_.put(shortForm);
            return;
        }
        const char unicode[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        sink_.put(unicode, sizeof unicode);
    }

    Sink& sink_;
    const WriteOptions& options_;
    const EscapeTable& escapes_;
    std::pmr::vector<Frame> frames_;
    std::pmr::vector<const boost::json::key_value_pair*> scratch_;
};

}  // namespace

std::string write(const boost::json::value& value, const WriteOptions& options) {
    std::string out;
    writeTo(out, value, options);
    return out;
}

void writeTo(std::string& out, const boost::json::value& value, const WriteOptions& options) {
    // Frames and sort keys of ordinary documents fit here; deeper ones spill to the heap.
    std::array<std::byte, 2048> buffer;
    std::pmr::monotonic_buffer_resource arena(buffer.data(), buffer.size());
    Sink sink(out);
    try {
        Writer(sink, options, &arena).run(value);
    } catch (...) {
        sink.abandon();
        throw;
    }
    sink.finish();
}

}  // namespace platform::json
