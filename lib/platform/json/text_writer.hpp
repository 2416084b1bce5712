#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/json/detail/text_output.hpp"

namespace platform::json {

/// Writes JSON text one token at a time, for documents that are held in no DOM (the protocol's
/// values, the envelopes around them). Keys and values go out in the order given: nothing is
/// sorted, and the caller keeps the document well formed (a key before each member value, every
/// container closed). Text and numbers come out exactly as `write` puts them, without layout.
///
/// The text reaches `out`, appended, at `finish`; a writer destroyed unfinished (an exception left
/// it) leaves `out` as it was. Lives on the stack: it holds a 4 KiB buffer.
class TextWriter {
public:
    explicit TextWriter(std::string& out, bool escapeSlashes = true)
        : sink_(out), at_(sink_.begin()), escapeSlashes_(escapeSlashes) {}

    ~TextWriter() {
        if (!finished_) sink_.abandon();
    }

    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    /// The key of the member whose value comes next.
    void key(std::string_view key) {
        separate();
        at_ = detail::writeString(sink_, at_, key, escapeSlashes_);
        at_ = detail::put(sink_.reserve(at_, 1), ":", 1);
        afterValue_ = false;
    }

    void null() { literal("null", 4); }
    void boolean(bool value) { value ? literal("true", 4) : literal("false", 5); }
    void integer(std::int64_t value) {
        separate();
        at_ = detail::writeInteger(sink_, at_, value);
        afterValue_ = true;
    }
    /// Throws EncodingError for a NaN or infinity.
    void number(double value) {
        separate();
        at_ = detail::writeDouble(sink_, at_, value);
        afterValue_ = true;
    }
    void string(std::string_view text) {
        separate();
        at_ = detail::writeString(sink_, at_, text, escapeSlashes_);
        afterValue_ = true;
    }

    /// Writes `json`, one whole value as a writer of the same escaping wrote it, as it stands.
    void raw(std::string_view json) { literal(json.data(), json.size()); }

    bool escapesSlashes() const noexcept { return escapeSlashes_; }

    /// Appends the text to `out`. Nothing may be written after.
    void finish() {
        sink_.finish(at_);
        finished_ = true;
    }

private:
    void separate() {
        if (afterValue_) at_ = detail::put(sink_.reserve(at_, 1), ",", 1);
    }

    void open(char bracket) {
        separate();
        at_ = detail::put(sink_.reserve(at_, 1), &bracket, 1);
        afterValue_ = false;
    }

    void close(char bracket) {
        at_ = detail::put(sink_.reserve(at_, 1), &bracket, 1);
        afterValue_ = true;
    }

    void literal(const char* text, std::size_t n) {
        separate();
        at_ = detail::put(sink_.reserve(at_, n), text, n);
        afterValue_ = true;
    }

    detail::Sink sink_;
    char* at_;
    bool escapeSlashes_;
    bool afterValue_ = false;  // a value ended last, so the next one needs a comma
    bool finished_ = false;
};

}  // namespace platform::json
