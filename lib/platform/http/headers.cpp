#include "platform/http/headers.hpp"

#include <algorithm>

namespace platform::http {

namespace {

char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

Headers::Headers(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields) add(name, value);
}

void Headers::add(std::string_view name, std::string_view value) {
    if (auto* field = find(name)) {
        field->second.append(", ").append(value);
    } else {
        fields_.emplace_back(std::string(name), std::string(value));
    }
}

void Headers::set(std::string_view name, std::string_view value) {
    if (auto* field = find(name)) {
        field->second.assign(value);
    } else {
        fields_.emplace_back(std::string(name), std::string(value));
    }
}

void Headers::remove(std::string_view name) {
    std::erase_if(fields_, [name](const Field& field) { return equalsIgnoringCase(field.first, name); });
}

std::optional<std::string> Headers::get(std::string_view name) const {
    if (const auto* field = find(name)) return field->second;
    return std::nullopt;
}

const Headers::Field* Headers::find(std::string_view name) const {
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [name](const Field& field) { return equalsIgnoringCase(field.first, name); });
    return it == fields_.end() ? nullptr : &*it;
}

Headers::Field* Headers::find(std::string_view name) {
    return const_cast<Field*>(std::as_const(*this).find(name));
}

}  // namespace platform::http
