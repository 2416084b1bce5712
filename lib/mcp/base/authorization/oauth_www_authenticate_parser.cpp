#include "mcp/base/authorization/oauth_www_authenticate_parser.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/detail/whitespace.hpp"

#include <string_view>
#include <vector>

namespace mcp {

namespace {

using detail::trimWhitespace;

std::optional<std::string> lookUp(const std::map<std::string, std::string>& parameters, const char* key) {
    auto found = parameters.find(key);
    if (found == parameters.end()) return std::nullopt;
    return found->second;
}

/// The token characters of an HTTP header: digits, letters and !#$%&'*+-.^_|~`.
bool isTokenCharacter(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return std::string_view("!#$%&'*+-.^_|~`").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    for (char c : text) {
        if (!isTokenCharacter(c)) return false;
    }
    return true;
}

/// Cuts at commas outside double quotes; a backslash keeps the next character from being read.
std::vector<std::string> splitParameters(std::string_view text) {
    std::vector<std::string> pieces;
    std::string current;
    bool quoted = false;
    bool escaped = false;
    for (char c : text) {
        if (escaped) {
            current.push_back(c);
            escaped = false;
        } else if (c == '\\') {
            current.push_back(c);
            escaped = true;
        } else if (c == '"') {
            quoted = !quoted;
            current.push_back(c);
        } else if (c == ',' && !quoted) {
            pieces.emplace_back(trimWhitespace(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) pieces.emplace_back(trimWhitespace(current));
    std::erase_if(pieces, [](const std::string& piece) { return piece.empty(); });
    return pieces;
}

bool isBearerChallengeStart(std::string_view piece) {
    if (piece.size() < 6) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        char c = piece[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != "bearer"[i]) return false;
    }
    return piece.size() == 6 || detail::whitespaceLengthAt(piece, 6) > 0;
}

std::string_view stripBearerScheme(std::string_view piece) {
    if (piece.size() <= 6) return {};
    return trimWhitespace(piece.substr(6));
}

bool startsNewChallenge(std::string_view piece) {
    if (isBearerChallengeStart(piece)) return true;
    if (const auto equals = piece.find('='); equals != std::string_view::npos) {
        const auto key = trimWhitespace(piece.substr(0, equals));
        if (!key.empty() && !detail::containsWhitespace(key) && isToken(key)) return false;
    }
    if (piece.empty()) return false;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (detail::whitespaceLengthAt(piece, i) > 0) {
            const auto scheme = piece.substr(0, i);
            return !scheme.empty() && isToken(scheme);
        }
    }
    return isToken(piece);
}

std::optional<std::string> extractBearerParameters(std::string_view value) {
    const auto pieces = splitParameters(value);
    std::size_t head = 0;
    while (head < pieces.size() && !isBearerChallengeStart(trimWhitespace(pieces[head]))) ++head;
    if (head == pieces.size()) return std::nullopt;

    std::vector<std::string_view> parameters;
    const auto first = stripBearerScheme(trimWhitespace(pieces[head]));
    if (!first.empty()) parameters.push_back(first);
    for (std::size_t i = head + 1; i < pieces.size(); ++i) {
        const auto piece = trimWhitespace(pieces[i]);
        if (piece.empty()) continue;
        if (startsNewChallenge(piece)) break;
        parameters.push_back(piece);
    }
    std::string joined;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (i > 0) joined.push_back(',');
        joined.append(parameters[i]);
    }
    return joined;
}

/// A quoted value without its quotes, each backslash pair read as the character it escapes.
std::string unquoted(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    const auto inner = value.substr(1, value.size() - 2);
    std::string out;
    out.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '\\' && i + 1 < inner.size()) ++i;
        out.push_back(inner[i]);
    }
    return out;
}

}  // namespace

std::optional<std::string> OAuthBearerChallenge::scope() const { return lookUp(parameters, "scope"); }
std::optional<std::string> OAuthBearerChallenge::error() const { return lookUp(parameters, "error"); }
std::optional<std::string> OAuthBearerChallenge::errorDescription() const {
    return lookUp(parameters, "error_description");
}

std::optional<boost::urls::url> OAuthBearerChallenge::resourceMetadataURL() const {
    auto text = lookUp(parameters, "resource_metadata");
    if (!text) return std::nullopt;
    return detail::urlFromText(*text);
}

std::optional<OAuthBearerChallenge> DefaultOAuthWWWAuthenticateParser::parseBearer(
    const platform::http::Headers& headers) const {
    for (const auto& [name, value] : headers) {
        if (platform::http::equalsIgnoringCase(name, "WWW-Authenticate")) return parseBearerHeader(value);
    }
    return std::nullopt;
}

std::optional<OAuthBearerChallenge> DefaultOAuthWWWAuthenticateParser::parseBearerHeader(std::string_view value) const {
    const auto trimmed = trimWhitespace(value);
    if (trimmed.empty()) return std::nullopt;
    const auto parameterText = extractBearerParameters(trimmed);
    if (!parameterText) return std::nullopt;
    OAuthBearerChallenge challenge;
    for (const auto& piece : splitParameters(*parameterText)) {
        const auto equals = piece.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == piece.size()) continue;
        const auto key = detail::asciiLowercased(trimWhitespace(std::string_view(piece).substr(0, equals)));
        const auto rawValue = trimWhitespace(std::string_view(piece).substr(equals + 1));
        challenge.parameters[key] = unquoted(rawValue);
    }
    return challenge;
}

}  // namespace mcp
