#include "platform/unicode_text.hpp"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>
#include <stdexcept>

namespace inkwarden {
namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
struct TextCloser {
    void operator()(UText* text) const { utext_close(text); }
};

/// Calls `visit(offset)` with the byte offset after each user-perceived character, in order,
/// until it returns false.
template <class Visit>
void forEachGraphemeEnd(std::string_view text, Visit visit) {
    if (text.empty()) return;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, TextCloser> utext(
        utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator(ubrk_open(UBRK_CHARACTER, nullptr, nullptr, 0, &status));
    if (U_SUCCESS(status)) ubrk_setUText(iterator.get(), utext.get(), &status);
    if (U_FAILURE(status)) throw std::runtime_error(std::string("Text segmentation failed: ") + u_errorName(status));
    ubrk_first(iterator.get());
    for (auto end = ubrk_next(iterator.get()); end != UBRK_DONE; end = ubrk_next(iterator.get())) {
        if (!visit(static_cast<std::size_t>(end))) return;
    }
}

}  // namespace

std::string trimWhitespaceAndNewlines(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        end = previous;
    }
    return std::string(text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

std::size_t graphemeCount(std::string_view text) {
    std::size_t count = 0;
    forEachGraphemeEnd(text, [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string graphemePrefix(std::string_view text, std::size_t count) {
    std::size_t kept = 0;
    std::size_t end = 0;
    if (count == 0) return {};
    forEachGraphemeEnd(text, [&](std::size_t offset) {
        end = offset;
        return ++kept < count;
    });
    if (kept < count) return std::string(text);
    return std::string(text.substr(0, end));
}

}  // namespace inkwarden
