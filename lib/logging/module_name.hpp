#pragma once

#include <string_view>

namespace logging {

/// The module of a file identifier ("MCP/server.cpp" gives "MCP"): the text before its first "/",
/// or "n/a" when it holds none. `Logger::currentModule(fileID)`.
std::string_view currentModuleFromFileID(std::string_view fileID) noexcept;

/// The name of the directory holding a file ("/src/net/socket.cpp" gives "net"), or "n/a" when
/// the path holds fewer than two "/". `Logger::currentModule(filePath)`.
std::string_view currentModuleFromFilePath(std::string_view filePath) noexcept;

/// The file name at the end of a path ("/src/net/socket.cpp" gives "socket.cpp").
constexpr std::string_view fileNameOf(std::string_view path) noexcept {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace logging
