#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mcp {

/// What a data URL carries: its MIME type (never empty after parsing) and the decoded bytes.
struct DataURL {
    std::string mimeType;
    std::string data;
    bool operator==(const DataURL&) const = default;
};

/// True when the whole of `text` is a data URL: "data:", a MIME part without "," or ";", an
/// optional ";charset=" part, an optional ";base64", then "," and any payload. Case-sensitive.
bool isDataURL(std::string_view text) noexcept;

/// The MIME type and bytes of a data URL, or nothing when `text` is none or its payload does not
/// decode. The payload is base64 (strict) when ";base64," occurs anywhere in the text, otherwise
/// percent-encoded UTF-8. An empty MIME part reads "text/plain"; a charset is kept only for "text/"
/// types.
std::optional<DataURL> parseDataURL(std::string_view text);

/// "data:", the MIME type (or "text/plain" when absent), ";base64," and the padded base64 of
/// `bytes`. The MIME type is written unchecked.
std::string dataURLEncoded(std::string_view bytes, const std::optional<std::string>& mimeType);

}  // namespace mcp
