#include "platform/base64.hpp"

#include <array>
#include <cstdint>

namespace platform {

namespace {

constexpr char kStandardAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kUrlAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

constexpr std::uint8_t kInvalid = 0xFF;
using DecodeTable = std::array<std::uint8_t, 256>;

constexpr DecodeTable makeDecodeTable(const char* alphabet) {
    DecodeTable table{};
    for (auto& entry : table) entry = kInvalid;
    for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
    return table;
}

constexpr DecodeTable kStandardTable = makeDecodeTable(kStandardAlphabet);
constexpr DecodeTable kUrlTable = makeDecodeTable(kUrlAlphabet);

std::string encode(std::string_view bytes, const char* alphabet, bool pad) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16 | static_cast<std::uint8_t>(bytes[i + 1]) << 8
                            | static_cast<std::uint8_t>(bytes[i + 2]);
        text += alphabet[group >> 18 & 0x3F];
        text += alphabet[group >> 12 & 0x3F];
        text += alphabet[group >> 6 & 0x3F];
        text += alphabet[group & 0x3F];
    }
    std::size_t rest = bytes.size() - i;
    if (rest == 0) return text;
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (rest == 2) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    text += alphabet[group >> 18 & 0x3F];
    text += alphabet[group >> 12 & 0x3F];
    if (rest == 2) text += alphabet[group >> 6 & 0x3F];
    if (pad) text.append(rest == 1 ? "==" : "=");
    return text;
}

/// Decodes unpadded text whose every character is in `table`; nullopt for a character outside it or
/// a length of 4n+1, which no encoder produces.
std::optional<std::string> decodeDigits(std::string_view text, const DecodeTable& table) {
    if (text.size() % 4 == 1) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int bits = 0;
    for (char c : text) {
        auto digit = table[static_cast<unsigned char>(c)];
        if (digit == kInvalid) return std::nullopt;
        group = group << 6 | digit;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>(group >> bits & 0xFF);
        }
    }
    return bytes;
}

/// The text without its trailing "=" (at most two), or nullopt when there are more.
std::optional<std::string_view> stripPadding(std::string_view text) {
    std::size_t padding = 0;
    while (padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    if (padding > 2) return std::nullopt;
    return text.substr(0, text.size() - padding);
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
    return encode(bytes, kStandardAlphabet, true);
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    auto digits = stripPadding(text);
    if (!digits) return std::nullopt;
    return decodeDigits(*digits, kStandardTable);
}

std::string base64UrlEncode(std::string_view bytes) {
    return encode(bytes, kUrlAlphabet, false);
}

std::optional<std::string> base64UrlDecode(std::string_view text) {
    auto digits = stripPadding(text);
    if (!digits) return std::nullopt;
    // Padding, when present, must complete the last group.
    if (digits->size() != text.size() && text.size() % 4 != 0) return std::nullopt;
    return decodeDigits(*digits, kUrlTable);
}

}  // namespace platform
