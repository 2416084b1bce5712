#include "shell/company_text.hpp"

namespace inkwarden {

std::vector<std::string_view> companyTextLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t from = 0;
    for (;;) {
        auto at = text.find('\n', from);
        if (at == std::string_view::npos) break;
        from = at + 1;
        if (at > 0 && text[at - 1] == '\r') continue;
        lines.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

}  // namespace inkwarden
