#include "mcp/base/data_url.hpp"

#include <cstdint>

#include "platform/base64.hpp"

namespace mcp {

namespace {

constexpr std::string_view kScheme = "data:";
constexpr std::string_view kCharset = ";charset=";
constexpr std::string_view kBase64 = ";base64";
constexpr std::string_view kDefaultMimeType = "text/plain";

struct Parts {
    std::string_view mimeType;
    std::string_view charset;
    std::string_view payload;
};

// Matches the grammar left to right. Each part ends at the first "," or ";", so there is never
// anything to backtrack over.
std::optional<Parts> match(std::string_view text) noexcept {
    if (!text.starts_with(kScheme)) return std::nullopt;
    Parts parts;
    std::size_t pos = kScheme.size();
    std::size_t end = text.find_first_of(",;", pos);
    if (end == std::string_view::npos) return std::nullopt;
    parts.mimeType = text.substr(pos, end - pos);
    pos = end;
    if (text.substr(pos).starts_with(kCharset)) {
        std::size_t start = pos + kCharset.size();
        end = text.find_first_of(",;", start);
        if (end == std::string_view::npos || end == start) return std::nullopt;
        parts.charset = text.substr(start, end - start);
        pos = end;
    }
    if (text.substr(pos).starts_with(kBase64)) pos += kBase64.size();
    if (pos >= text.size() || text[pos] != ',') return std::nullopt;
    parts.payload = text.substr(pos + 1);
    return parts;
}

int hexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isValidUTF8(std::string_view bytes) noexcept {
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        std::uint32_t codePoint;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000)) return false;
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return false;
        if (codePoint > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (text.size() - i < 3) return std::nullopt;
        int high = hexDigit(text[i + 1]);
        int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!isValidUTF8(bytes)) return std::nullopt;
    return bytes;
}

}  // namespace

bool isDataURL(std::string_view text) noexcept {
    return match(text).has_value();
}

std::optional<DataURL> parseDataURL(std::string_view text) {
    auto parts = match(text);
    if (!parts) return std::nullopt;
    // Deliberately the whole text: a plain payload that itself holds ";base64," is read as base64.
    bool base64 = text.find(";base64,") != std::string_view::npos;
    DataURL result;
    result.mimeType = parts->mimeType.empty() ? std::string(kDefaultMimeType) : std::string(parts->mimeType);
    if (!parts->charset.empty() && result.mimeType.starts_with("text/")) {
        result.mimeType += kCharset;
        result.mimeType += parts->charset;
    }
    auto bytes = base64 ? platform::base64Decode(parts->payload) : percentDecode(parts->payload);
    if (!bytes) return std::nullopt;
    result.data = std::move(*bytes);
    return result;
}

std::string dataURLEncoded(std::string_view bytes, const std::optional<std::string>& mimeType) {
    std::string text(kScheme);
    text += mimeType ? std::string_view(*mimeType) : kDefaultMimeType;
    text += ";base64,";
    text += platform::base64Encode(bytes);
    return text;
}

}  // namespace mcp
