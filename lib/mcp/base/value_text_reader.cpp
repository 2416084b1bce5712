// Value::fromJSONText: a parser handler that builds Values as the parser goes, so a document
// is never held twice (DOM and Value). A large text is read twice, the first time only to learn
// the lengths of its arrays.

#include "mcp/base/value.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <boost/json/array.hpp>
#include <boost/json/basic_parser_impl.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "mcp/base/detail/array_assembly.hpp"
#include "platform/json/detail/parser_rules.hpp"

namespace mcp {

namespace {

using boost::json::error_code;
using boost::json::string_view;

/// The handler callbacks no reader here needs.
struct QuietHandler {
    // The limits of the DOM, so that these readers refuse exactly what `parse` refuses.
    static constexpr std::size_t max_object_size = boost::json::object::max_size();
    static constexpr std::size_t max_array_size = boost::json::array::max_size();
    static constexpr std::size_t max_key_size = boost::json::string::max_size();
    static constexpr std::size_t max_string_size = boost::json::string::max_size();

    bool on_document_begin(error_code&) { return true; }
    bool on_document_end(error_code&) { return true; }
    bool on_object_begin(error_code&) { return true; }
    bool on_comment_part(string_view, error_code&) { return true; }
    bool on_comment(string_view, error_code&) { return true; }
};

/// The lengths of a text's arrays, in the order they open. One byte each, as most arrays are
/// short: an array of `kLong` elements or more keeps its length apart, by its place in the order.
class ArrayLengths {
public:
    static constexpr std::uint8_t kLong = 0xFF;

    /// Notes an array that opens, its length still unknown; the number to give `close`.
    std::size_t open() {
        short_.push_back(0);
        return short_.size() - 1;
    }
    void close(std::size_t index, std::size_t length) {
        if (length < kLong) {
            short_[index] = static_cast<std::uint8_t>(length);
            return;
        }
        short_[index] = kLong;
        long_.emplace_back(index, length);
    }
    /// Puts the long lengths in opening order; call once all arrays are closed.
    void sort() { std::sort(long_.begin(), long_.end()); }

    /// Reads the lengths back in opening order.
    class Reader {
    public:
        explicit Reader(const ArrayLengths& lengths) : lengths_(lengths) {}
        std::size_t next() {
            auto length = lengths_.short_[nextShort_++];
            return length == kLong ? lengths_.long_[nextLong_++].second : length;
        }

    private:
        const ArrayLengths& lengths_;
        std::size_t nextShort_ = 0;
        std::size_t nextLong_ = 0;
    };

private:
    std::vector<std::uint8_t> short_;
    std::vector<std::pair<std::size_t, std::size_t>> long_;
};

/// A first reading of a large text that notes each array's length, in the order the arrays open,
/// so that the second reading makes each array in its final block: an array grown element by
/// element would hold up to three times its size at once.
struct ArrayCounter : QuietHandler {
    ArrayLengths lengths;
    std::vector<std::size_t> open;

    bool on_object_end(std::size_t, error_code&) { return true; }
    bool on_array_begin(error_code&) {
        open.push_back(lengths.open());
        return true;
    }
    bool on_array_end(std::size_t n, error_code&) {
        lengths.close(open.back(), n);
        open.pop_back();
        return true;
    }
    bool on_key_part(string_view, std::size_t, error_code&) { return true; }
    bool on_key(string_view, std::size_t, error_code&) { return true; }
    bool on_string_part(string_view, std::size_t, error_code&) { return true; }
    bool on_string(string_view, std::size_t, error_code&) { return true; }
    // Numbers are judged here too, so that a text with several faults is refused for the first.
    bool on_number_part(string_view s, error_code&) {
        numbers.part(s);
        return true;
    }
    bool on_int64(std::int64_t, string_view, error_code&) {
        numbers.clear();
        return true;
    }
    bool on_uint64(std::uint64_t, string_view, error_code&) {
        numbers.clear();
        return true;
    }
    bool on_double(double d, string_view s, error_code& error) {
        if (numbers.finish(d, s)) return true;
        error = boost::json::error::exponent_overflow;
        return false;
    }
    bool on_bool(bool, error_code&) { return true; }
    bool on_null(error_code&) { return true; }

    platform::json::detail::NumberReader numbers;
};

/// The small arrays met lately, so that a document repeating one shares a single block for it
/// (whole subtrees of them, as inner arrays are shared first). Values are immutable, so sharing
/// cannot be seen but in memory.
class SmallArrays {
public:
    static constexpr std::size_t kMaxSize = 4;

    /// `array` itself, or an earlier array with the same elements.
    Value share(Value array) {
        auto elements = array.arrayValue().value_or(std::span<const Value>());
        if (elements.empty() || elements.size() > kMaxSize) return array;
        // Two places per array: an array nesting another hashes the inner one's address, which can
        // land on the inner one's own place, and the inner one must stay for the repeats to come.
        const auto hash = detail::ArrayAssembly::elementsHash(elements);
        auto& first = slots_[hash % slots_.size()];
        auto& second = slots_[(hash >> 32) % slots_.size()];
        if (sameElements(first, elements)) return first;
        if (sameElements(second, elements)) return second;
        (holdsOneOf(first, elements) ? second : first) = array;
        return array;
    }

private:
    static bool sameElements(const Value& slot, std::span<const Value> elements) {
        return detail::ArrayAssembly::sameElements(slot.arrayValue().value_or(std::span<const Value>()), elements);
    }

    /// Whether `slot` holds the very block of one of `elements`.
    static bool holdsOneOf(const Value& slot, std::span<const Value> elements) {
        auto held = slot.arrayValue();
        if (!held || held->empty()) return false;
        return std::ranges::any_of(elements, [&](const Value& element) {
            auto inner = element.arrayValue();
            return inner && inner->data() == held->data();
        });
    }

    std::array<Value, 64> slots_;
};

struct ValueBuilder : QuietHandler {
    /// A container still open: an object's members so far and the key of the member to come, or
    /// an array's block when its length is known, else where its elements start in `pending`.
    struct Open {
        bool object = false;
        Value::Object members;
        std::string key;
        std::optional<detail::ArrayAssembly> sized;
        std::size_t start = 0;
    };

    // Containers are filled in place, innermost last, so no element is held twice.
    std::vector<Open> open;
    // The elements of the open arrays of unknown length, outermost first.
    std::vector<Value> pending;
    std::optional<Value> result;
    SmallArrays smallArrays;
    std::string text;  // a string or key the parser hands over in pieces
    platform::json::detail::NumberReader numbers;
    // The arrays' lengths from a first reading, when there was one.
    std::optional<ArrayLengths::Reader> lengths;

    void add(Value value) {
        if (open.empty()) {
            result = std::move(value);
            return;
        }
        auto& container = open.back();
        if (container.object) {
            // A key given twice keeps its later value, as in the DOM.
            container.members.insert_or_assign(std::move(container.key), std::move(value));
        } else if (container.sized) {
            container.sized->append(std::move(value));
        } else {
            pending.push_back(std::move(value));
        }
    }

    bool on_object_begin(error_code&) {
        open.emplace_back().object = true;
        return true;
    }
    bool on_object_end(std::size_t, error_code&) {
        Value value(std::move(open.back().members));
        open.pop_back();
        add(std::move(value));
        return true;
    }
    bool on_array_begin(error_code&) {
        auto& array = open.emplace_back();
        if (lengths) array.sized.emplace(lengths->next());
        else array.start = pending.size();
        return true;
    }
    bool on_array_end(std::size_t, error_code&) {
        auto& array = open.back();
        std::optional<detail::ArrayAssembly> sized = std::move(array.sized);
        if (!sized) {
            sized.emplace(pending.size() - array.start);
            for (auto element = pending.begin() + static_cast<std::ptrdiff_t>(array.start); element != pending.end();
                 ++element) {
                sized->append(std::move(*element));
            }
            pending.resize(array.start);
        }
        open.pop_back();
        add(smallArrays.share(std::move(*sized).finish()));
        return true;
    }
    bool on_key_part(string_view s, std::size_t, error_code&) {
        text.append(s.data(), s.size());
        return true;
    }
    bool on_key(string_view s, std::size_t, error_code&) {
        open.back().key = take(s);
        return true;
    }
    bool on_string_part(string_view s, std::size_t, error_code&) {
        text.append(s.data(), s.size());
        return true;
    }
    bool on_string(string_view s, std::size_t, error_code&) {
        std::string_view whole(s.data(), s.size());
        if (!text.empty()) {
            text.append(s.data(), s.size());
            whole = text;
        }
        // Only texts that may be data URLs take the long way, which reads them as the DOM does.
        if (whole.starts_with("data:")) {
            add(Value::fromJSON(boost::json::value(string_view(whole.data(), whole.size()))));
        } else {
            add(Value(whole));
        }
        text.clear();
        return true;
    }
    bool on_number_part(string_view s, error_code&) {
        numbers.part(s);
        return true;
    }
    bool on_int64(std::int64_t i, string_view, error_code&) {
        numbers.clear();
        add(Value(i));
        return true;
    }
    bool on_uint64(std::uint64_t u, string_view, error_code&) {
        numbers.clear();
        // Above the signed range: a double, by the one integer rule.
        add(Value(static_cast<double>(u)));
        return true;
    }
    bool on_double(double d, string_view s, error_code& error) {
        auto number = numbers.finish(d, s);
        if (!number) {
            error = boost::json::error::exponent_overflow;
            return false;
        }
        // Integral numbers in range come as integers, so a double here is no integer.
        std::visit([this](auto value) { add(Value(value)); }, *number);
        return true;
    }
    bool on_bool(bool b, error_code&) {
        add(Value(b));
        return true;
    }
    bool on_null(error_code&) {
        add(Value());
        return true;
    }

    /// The text met in pieces ending with `last`, leaving the piece buffer empty.
    std::string take(string_view last) {
        if (text.empty()) return std::string(last.data(), last.size());
        text.append(last.data(), last.size());
        std::string whole = std::move(text);
        text.clear();
        return whole;
    }
};

/// Texts from this size on are read twice, to make each array at its final size.
constexpr std::size_t kCountedSize = 64 * 1024;

template <class Handler>
void read(boost::json::basic_parser<Handler>& parser, std::string_view text) {
    error_code error;
    auto used = parser.write_some(false, text.data(), text.size(), error);
    if (!error && used < text.size()) error = boost::json::error::extra_data;
    if (error) platform::json::detail::throwInvalidJSON(error);
    if (!parser.done()) platform::json::detail::throwInvalidJSON(boost::json::error::incomplete);
}

}  // namespace

Value Value::fromJSONText(std::string_view text) {
    std::optional<boost::json::basic_parser<ArrayCounter>> counter;
    if (text.size() >= kCountedSize) {
        counter.emplace(platform::json::detail::parseOptions());
        read(*counter, text);
        counter->handler().lengths.sort();
    }
    boost::json::basic_parser<ValueBuilder> parser(platform::json::detail::parseOptions());
    if (counter) parser.handler().lengths.emplace(counter->handler().lengths);
    read(parser, text);
    return std::move(*parser.handler().result);
}

}  // namespace mcp
