#include "signature/signature_store.hpp"

#include <system_error>

#include "platform/app_folders.hpp"
#include "platform/file_access.hpp"
#include "platform/uuid.hpp"

namespace inkwarden {
namespace {

int entryCount(const std::filesystem::path& folder) {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
    return error ? 0 : count;
}

}  // namespace

SignatureStore::SignatureStore(Scheduler& scheduler, QObject* parent)
    : QObject(parent), scheduler_(scheduler), self_(std::make_shared<SignatureStore*>(this)) {}

std::filesystem::path SignatureStore::folder() {
    try {
        return AppFolders::runtime() / "signatures";
    } catch (const std::system_error&) {
        return AppFolders::runtimeCandidate() / "signatures";
    }
}

std::filesystem::path SignatureStore::save(std::string_view data, const std::string& name, const std::string& type) {
    auto directory = AppFolders::runtime() / "signatures";
    std::filesystem::create_directories(directory);
    auto file = directory / (name + "-" + platform::makeUUIDString().substr(0, 8) + "." + type);
    writeFileAtomically(file, data);
    refresh();
    scheduler_.after(kLifetime, [weak = std::weak_ptr<SignatureStore*>(self_), file] {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        if (auto store = weak.lock()) (*store)->refresh();
    });
    return file;
}

void SignatureStore::refresh() {
    auto count = entryCount(folder());
    if (count == count_) return;
    count_ = count;
    Q_EMIT countChanged();
}

int SignatureStore::removeAll() {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder(), error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error) entries.clear();
    for (const auto& entry : entries) std::filesystem::remove_all(entry, error);
    return static_cast<int>(entries.size());
}

}  // namespace inkwarden
