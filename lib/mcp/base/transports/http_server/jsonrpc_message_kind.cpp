#include "mcp/base/transports/http_server/jsonrpc_message_kind.hpp"

#include "platform/json/detail/parser_rules.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

#include <boost/json/basic_parser_impl.hpp>

#include "platform/json/integer.hpp"

namespace mcp {

namespace {

using boost::json::error_code;
using boost::json::string_view;

/// The members of the top-level object that classification looks at.
enum class Member { other, id, method, result, error };

Member memberNamed(std::string_view key) noexcept {
    if (key == "id") return Member::id;
    if (key == "method") return Member::method;
    if (key == "result") return Member::result;
    if (key == "error") return Member::error;
    return Member::other;
}

/// Follows the parser's events and keeps what the members of the top-level object say, without
/// building a document. It accepts and refuses exactly the texts platform::json::parse does (same
/// options, same refusal of numbers beyond the double range), so a body classified here is one the
/// engine can read.
struct Classifier {
    static constexpr std::size_t max_object_size = boost::json::object::max_size();
    static constexpr std::size_t max_array_size = boost::json::array::max_size();
    static constexpr std::size_t max_key_size = boost::json::string::max_size();
    static constexpr std::size_t max_string_size = boost::json::string::max_size();

    std::size_t depth = 0;
    bool topIsObject = false;
    Member member = Member::other;
    std::string parts;        // a key or string value of interest met in pieces
    std::string numberParts;  // the beginning of a number met in pieces

    std::optional<std::string> id;
    bool idIsNull = false;
    std::optional<std::string> method;
    bool hasMethod = false;
    bool hasResult = false;
    bool hasError = false;

    /// A value of the top-level object: `text` is what it gives as an id (a string, or an integer
    /// in decimal), `isString` whether it is a string, the only kind of method there is.
    void onMemberValue(std::optional<std::string> text, bool isString) {
        switch (member) {
        case Member::id:
            id = std::move(text);
            break;
        case Member::method:
            hasMethod = true;
            method = isString ? std::move(text) : std::nullopt;
            break;
        case Member::result:
            hasResult = true;
            break;
        case Member::error:
            hasError = true;
            break;
        case Member::other:
            break;
        }
    }

    /// A scalar or a container starts at the current depth.
    void onValueStart() {
        if (depth == 1) onMemberValue(std::nullopt, false);
    }

    bool wantsText() const noexcept { return depth == 1 && (member == Member::id || member == Member::method); }

    void onNumber(const boost::json::value& number) {
        if (depth != 1) return;
        std::optional<std::string> text;
        if (auto integer = platform::json::asInteger(number)) text = std::to_string(*integer);
        onMemberValue(std::move(text), false);
    }

    bool on_document_begin(error_code&) { return true; }
    bool on_document_end(error_code&) { return true; }
    bool on_object_begin(error_code&) {
        if (depth == 0) topIsObject = true;
        onValueStart();
        ++depth;
        return true;
    }
    bool on_object_end(std::size_t, error_code&) {
        --depth;
        return true;
    }
    bool on_array_begin(error_code&) {
        onValueStart();
        ++depth;
        return true;
    }
    bool on_array_end(std::size_t, error_code&) {
        --depth;
        return true;
    }
    bool on_key_part(string_view s, std::size_t, error_code&) {
        if (depth == 1) parts.append(s.data(), s.size());
        return true;
    }
    bool on_key(string_view s, std::size_t, error_code&) {
        if (depth != 1) return true;
        if (parts.empty()) {
            member = memberNamed(std::string_view(s.data(), s.size()));
        } else {
            parts.append(s.data(), s.size());
            member = memberNamed(parts);
            parts.clear();
        }
        return true;
    }
    bool on_string_part(string_view s, std::size_t, error_code&) {
        if (wantsText()) parts.append(s.data(), s.size());
        return true;
    }
    bool on_string(string_view s, std::size_t, error_code&) {
        if (depth != 1) return true;
        if (!wantsText()) {
            onMemberValue(std::nullopt, true);
            return true;
        }
        parts.append(s.data(), s.size());
        std::string text = std::move(parts);
        parts.clear();
        onMemberValue(std::move(text), true);
        return true;
    }
    bool on_number_part(string_view s, error_code&) {
        numberParts.append(s.data(), s.size());
        return true;
    }
    bool on_int64(std::int64_t i, string_view, error_code&) {
        numberParts.clear();
        onNumber(boost::json::value(i));
        return true;
    }
    bool on_uint64(std::uint64_t u, string_view, error_code&) {
        numberParts.clear();
        onNumber(boost::json::value(u));
        return true;
    }
    bool on_double(double d, string_view s, error_code& error) {
        std::string_view text(s.data(), s.size());
        if (!numberParts.empty()) {
            numberParts.append(text);
            text = numberParts;
        }
        if (auto integer = platform::json::detail::integerAsWritten(text)) {
            numberParts.clear();
            onNumber(boost::json::value(*integer));
            return true;
        }
        double value = platform::json::detail::exactDouble(d, text);
        numberParts.clear();
        if (!std::isfinite(value)) {
            error = boost::json::error::exponent_overflow;
            return false;
        }
        onNumber(boost::json::value(value));
        return true;
    }
    bool on_bool(bool, error_code&) {
        onValueStart();
        return true;
    }
    bool on_null(error_code&) {
        if (depth == 1 && member == Member::id) idIsNull = true;
        onValueStart();
        return true;
    }
    bool on_comment_part(string_view, error_code&) { return true; }
    bool on_comment(string_view, error_code&) { return true; }
};

}  // namespace

std::optional<JSONRPCMessageKind> JSONRPCMessageKind::classify(std::string_view data) {
    const auto& options = platform::json::detail::parseOptions();
    boost::json::basic_parser<Classifier> parser(options);
    error_code error;
    auto used = parser.write_some(false, data.data(), data.size(), error);
    if (error || used < data.size() || !parser.done()) return std::nullopt;

    auto& found = parser.handler();
    if (!found.topIsObject) return std::nullopt;
    if (found.hasMethod && (found.hasResult || found.hasError)) return std::nullopt;
    // The engine reads a null id as the id "" and answers; taken for a notification here, the
    // request would run with nobody waiting for its answer.
    if (found.method && found.idIsNull) return std::nullopt;
    if (found.method) {
        if (found.id) return request(std::move(*found.id), std::move(*found.method));
        return notification(std::move(*found.method));
    }
    if ((found.hasResult || found.hasError) && found.id) return response(std::move(*found.id));
    return std::nullopt;
}

}  // namespace mcp
