#include "platform/json/write.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "platform/json/detail/text_output.hpp"

namespace platform::json {

namespace {

using detail::Sink;
using detail::loadShort;
using detail::put;
using detail::writeDouble;
using detail::writeInteger;
using detail::writeNewline;
using detail::writeString;

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
