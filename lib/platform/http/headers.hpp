#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::http {

/// An ordered list of header fields. Names keep the letter case they were given (a response's
/// names stay as the server wrote them) and are matched without regard to ASCII case; each name
/// appears once.
class Headers {
public:
    using Field = std::pair<std::string, std::string>;

    Headers() = default;
    Headers(std::initializer_list<Field> fields);

    /// Appends the field, or joins `value` to the present one with ", ".
    void add(std::string_view name, std::string_view value);
    /// Replaces the present value (keeping the field's place) or appends the field.
    void set(std::string_view name, std::string_view value);
    void remove(std::string_view name);

    std::optional<std::string> get(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }

    const std::vector<Field>& fields() const noexcept { return fields_; }
    auto begin() const noexcept { return fields_.begin(); }
    auto end() const noexcept { return fields_.end(); }
    bool empty() const noexcept { return fields_.empty(); }
    std::size_t size() const noexcept { return fields_.size(); }

    bool operator==(const Headers&) const = default;

private:
    const Field* find(std::string_view name) const;
    Field* find(std::string_view name);

    std::vector<Field> fields_;
};

/// True when `a` and `b` are equal ignoring ASCII letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept;

}  // namespace platform::http
