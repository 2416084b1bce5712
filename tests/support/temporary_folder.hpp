#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace testing_support {

/// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() / ("inkwarden-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

/// Sets an environment variable for its lifetime and restores the earlier value.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        ::setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

/// Points every folder of the application (settings, data, private runtime folder) into one
/// temporary folder for the life of the object.
class AppFoldersSandbox {
public:
    AppFoldersSandbox()
        : config_("XDG_CONFIG_HOME", (folder_.path() / "config").string()),
          data_("XDG_DATA_HOME", (folder_.path() / "data").string()),
          runtime_("XDG_RUNTIME_DIR", (folder_.path() / "run").string()) {
        std::filesystem::create_directories(folder_.path() / "run");
    }

    const std::filesystem::path& path() const noexcept { return folder_.path(); }

private:
    TemporaryFolder folder_;
    ScopedEnvironment config_;
    ScopedEnvironment data_;
    ScopedEnvironment runtime_;
};

}  // namespace testing_support
