#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

/// Which scopes the OAuth client asks for, and how scope sets are read and written.
class OAuthScopeSelecting {
public:
    virtual ~OAuthScopeSelecting() = default;
    virtual std::optional<std::set<std::string>> selectScopes(const std::optional<std::string>& challengeScope,
                                                              const std::optional<std::vector<std::string>>& scopesSupported) const = 0;
    virtual std::set<std::string> parseScopeString(std::string_view text) const = 0;
    virtual std::optional<std::string> serialize(const std::set<std::string>& scopes) const = 0;
};

class DefaultOAuthScopeSelector final : public OAuthScopeSelecting {
public:
    /// The challenge's scopes when it names any (even an empty text, which gives none); otherwise
    /// the supported scopes that are not blank, as written.
    std::optional<std::set<std::string>> selectScopes(const std::optional<std::string>& challengeScope,
                                                      const std::optional<std::vector<std::string>>& scopesSupported) const override;
    /// The pieces between white space (any Unicode white space), duplicates folded.
    std::set<std::string> parseScopeString(std::string_view text) const override;
    /// Sorted and joined with single spaces; none for the empty set.
    std::optional<std::string> serialize(const std::set<std::string>& scopes) const override;
};

}  // namespace mcp
