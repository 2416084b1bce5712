#include "logging/module_name.hpp"

namespace logging {

std::string_view currentModuleFromFileID(std::string_view fileID) noexcept {
    auto slash = fileID.find('/');
    if (slash == std::string_view::npos) return "n/a";
    return fileID.substr(0, slash);
}

std::string_view currentModuleFromFilePath(std::string_view filePath) noexcept {
    auto last = filePath.rfind('/');
    if (last == std::string_view::npos || last == 0) return "n/a";
    auto before = filePath.rfind('/', last - 1);
    if (before == std::string_view::npos) return "n/a";
    return filePath.substr(before + 1, last - before - 1);
}

}  // namespace logging
