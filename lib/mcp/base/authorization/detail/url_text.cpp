#include "mcp/base/authorization/detail/url_text.hpp"

#include <boost/url/parse.hpp>

namespace mcp::detail {

std::optional<boost::urls::url> urlFromText(std::string_view text) {
    if (text.empty()) return std::nullopt;
    auto parsed = boost::urls::parse_uri_reference(text);
    if (!parsed) return std::nullopt;
    return boost::urls::url(*parsed);
}

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<std::string> lowercasedScheme(boost::urls::url_view url) {
    if (!url.has_scheme()) return std::nullopt;
    return asciiLowercased(url.scheme());
}

std::optional<std::string> lowercasedHost(boost::urls::url_view url) {
    if (!url.has_authority()) return std::nullopt;
    return asciiLowercased(url.host_address());
}

bool isLoopbackHost(std::string_view host) {
    return host == "localhost" || host == "127.0.0.1" || host == "::1";
}

void lowercaseSchemeAndHost(boost::urls::url& url) {
    if (url.has_scheme()) url.set_scheme(asciiLowercased(url.scheme()));
    if (url.has_authority()) url.set_encoded_host(asciiLowercased(url.encoded_host()));
}

std::string percentEncodeUnreserved(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

}  // namespace mcp::detail
