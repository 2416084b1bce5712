#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <QObject>

#include "platform/scheduler.hpp"

namespace inkwarden {

/// The temporary files handed to AI clients (signature and stamp PNGs, signed PDFs): each is
/// deleted 600 seconds after it was written, and `count` tells the panel how many are held.
///
/// Confined to the main thread. `count` changes (and `countChanged` is emitted) only at a
/// recount that finds a different number.
class SignatureStore final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    /// How long a file lives.
    static constexpr std::chrono::seconds kLifetime{600};

    /// `scheduler` runs the deletions; it must outlive the store's pending deletions' effects
    /// (they hold the store weakly and find it gone).
    explicit SignatureStore(Scheduler& scheduler, QObject* parent = nullptr);

    /// "signatures" in the private runtime folder.
    static std::filesystem::path folder();

    /// Writes `data` atomically as `<name>-<8 upper-case hex>.<type>`, recounts, and schedules
    /// the file's deletion. Returns the file's path. Throws std::system_error when the folder or
    /// the file cannot be written; nothing is scheduled then.
    std::filesystem::path save(std::string_view data, const std::string& name, const std::string& type);

    /// Recounts the folder's entries (an unlistable folder counts 0).
    void refresh();

    /// Deletes every entry of the folder, ignoring failures, and returns how many it found.
    /// Leaves `count` alone: call `refresh` after it.
    static int removeAll();

    int count() const noexcept { return count_; }

Q_SIGNALS:
    void countChanged();

private:
    Scheduler& scheduler_;
    int count_ = 0;
    /// Pending deletions hold this weakly, so they do nothing once the store is gone.
    std::shared_ptr<SignatureStore*> self_;
};

}  // namespace inkwarden
