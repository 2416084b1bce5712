#include "logging/log_site.hpp"

#include "logging/module_name.hpp"

namespace logging {

std::string LogSite::fileID() const {
    if (explicit_) return std::string(fileID_);
    std::string_view path = where_.file_name();
    std::string_view module = module_ ? std::string_view(module_) : currentModuleFromFilePath(path);
    std::string id;
    id.reserve(module.size() + 1 + path.size());
    id.append(module).append("/").append(fileNameOf(path));
    return id;
}

}  // namespace logging
