#include "platform/settings_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "platform/file_access.hpp"

namespace inkwarden {
namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

SettingsFile::SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

boost::json::object SettingsFile::read() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return {};
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        auto value = platform::json::parse(text);
        if (auto* object = value.if_object()) return std::move(*object);
    } catch (...) {
        // A damaged file reads as empty, like a missing one: every setting has its default.
    }
    return {};
}

boost::json::object SettingsFile::update(const std::function<void(boost::json::object&)>& change) const {
    std::error_code ignored;
    std::filesystem::create_directories(path_.parent_path(), ignored);
    auto lockPath = path_;
    lockPath += ".lock";
    Descriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) throwErrno("Opening " + lockPath.string());
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) throwErrno("Locking " + lockPath.string());
    }
    auto object = read();
    change(object);
    write(object);
    return object;  // the lock goes with the descriptor
}

void SettingsFile::write(const boost::json::object& object) const {
    writeFileAtomically(path_, platform::json::write(boost::json::value(object), {.escapeSlashes = false, .pretty = true}));
}

}  // namespace inkwarden
