#include "platform/app_folders.hpp"

#include "support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <system_error>

namespace inkwarden {
namespace {

using testing_support::ScopedEnvironment;
using testing_support::TemporaryFolder;

TEST(AppFoldersTest, TheRuntimeFolderIsPrivateAndNeverALink) {
    TemporaryFolder folder;
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.path().string());
    auto made = AppFolders::runtime();
    EXPECT_EQ(made, folder / "inkwarden");
    EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);

    // A folder left open to others is closed again.
    std::filesystem::permissions(made, std::filesystem::perms::all);
    AppFolders::runtime();
    EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);

    // A link planted in its place is refused, whatever it points to.
    std::filesystem::remove(made);
    std::filesystem::create_directory(folder / "elsewhere");
    std::filesystem::create_directory_symlink(folder / "elsewhere", made);
    EXPECT_THROW(AppFolders::runtime(), std::system_error);
    std::filesystem::remove(made);
    std::ofstream(made) << "a file";
    EXPECT_THROW(AppFolders::runtime(), std::system_error);
}

TEST(AppFoldersTest, ConfigAndDataFollowTheEnvironmentOrTheHomeFolder) {
    ScopedEnvironment home("HOME", "/home/someone");
    ScopedEnvironment config("XDG_CONFIG_HOME", "");
    ScopedEnvironment data("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(AppFolders::config(), "/home/someone/.config/inkwarden");
    EXPECT_EQ(AppFolders::data(), "/home/someone/.local/share/inkwarden");
    ScopedEnvironment set("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(AppFolders::config(), "/xdg/config/inkwarden");
}

}  // namespace
}  // namespace inkwarden
