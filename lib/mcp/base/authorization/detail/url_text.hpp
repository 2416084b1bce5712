#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <boost/url/url.hpp>
#include <boost/url/url_view.hpp>

namespace mcp::detail {

/// The URL `text` spells: any URI reference, relative ones included, but not the empty text.
/// Nothing when it is no URL.
std::optional<boost::urls::url> urlFromText(std::string_view text);

/// `text` with ASCII letters lower-cased.
std::string asciiLowercased(std::string_view text);

/// The URL's scheme lower-cased, or nothing when it has none.
std::optional<std::string> lowercasedScheme(boost::urls::url_view url);

/// The URL's host lower-cased, IPv6 addresses without brackets ("::1"), or nothing when it has no
/// authority.
std::optional<std::string> lowercasedHost(boost::urls::url_view url);

/// "localhost", "127.0.0.1" or "::1"; callers pass a lower-cased host.
bool isLoopbackHost(std::string_view host);

/// `url` with its scheme and host lower-cased.
void lowercaseSchemeAndHost(boost::urls::url& url);

/// Percent-encodes everything but A-Z, a-z, 0-9, "-", ".", "_" and "~", with upper-case hex digits.
std::string percentEncodeUnreserved(std::string_view text);

}  // namespace mcp::detail
