#include "mcp/base/authorization/oauth_scope_selector.hpp"

#include "mcp/base/authorization/detail/whitespace.hpp"

namespace mcp {

std::optional<std::set<std::string>> DefaultOAuthScopeSelector::selectScopes(
    const std::optional<std::string>& challengeScope, const std::optional<std::vector<std::string>>& scopesSupported) const {
    if (challengeScope) {
        auto scopes = parseScopeString(*challengeScope);
        if (scopes.empty()) return std::nullopt;
        return scopes;
    }
    if (!scopesSupported) return std::nullopt;
    std::set<std::string> scopes;
    for (const auto& scope : *scopesSupported) {
        const auto first = scope.find_first_not_of(" \t");
        if (first != std::string::npos) scopes.insert(scope);
    }
    if (scopes.empty()) return std::nullopt;
    return scopes;
}

std::set<std::string> DefaultOAuthScopeSelector::parseScopeString(std::string_view text) const {
    std::set<std::string> scopes;
    for (auto piece : detail::splitOnWhitespace(text)) scopes.emplace(piece);
    return scopes;
}

std::optional<std::string> DefaultOAuthScopeSelector::serialize(const std::set<std::string>& scopes) const {
    if (scopes.empty()) return std::nullopt;
    std::string out;
    for (const auto& scope : scopes) {
        if (!out.empty()) out.push_back(' ');
        out += scope;
    }
    return out;
}

}  // namespace mcp
