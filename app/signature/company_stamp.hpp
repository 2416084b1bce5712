#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <QObject>

namespace inkwarden {

/// Tells observers (the panel) that the stored stamp was written or removed.
class CompanyStampNotifier final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void changed();
};

/// The user's one company stamp image and the inbox that AI clients copy documents into.
///
/// The members that write or notify (`save`, `remove`) belong on the main thread; the others
/// touch only files and may run in a tool's task.
class CompanyStamp {
public:
    CompanyStamp() = delete;

    /// The longer side of a stored stamp at most.
    static constexpr int kMaxSide = 1200;

    /// "stamp.png" in the application's data folder, which is created when missing (a failure is
    /// ignored: the later read or write fails on its own).
    static std::filesystem::path url();

    /// "inbox" in the private runtime folder, created when missing (failure ignored).
    static std::filesystem::path inbox();

    /// Emits `changed` whenever the stored stamp is written or removed; lives for the process.
    static CompanyStampNotifier& notifier();

    /// Any image the platform reads (PNG, JPEG, TIFF, WebP, ...) as the stored stamp: scaled
    /// down (never up) to at most 1200 pixels on its longer side, in sRGB, and, when it is fully
    /// opaque, its white share turned into transparency; encoded as PNG. Throws ToolError "That
    /// file isn't an image Inkwarden can read. Use a PNG or JPEG." or "The stamp image couldn't be
    /// processed.".
    static std::string normalized(std::string_view data);

    /// Replaces the stored stamp atomically with `png` (already normalised), then emits
    /// `changed`. Throws std::system_error when it cannot be written; the old stamp stays then.
    static void save(std::string_view png);

    /// Deletes the stored stamp (missing is fine) and emits `changed` in every case.
    static void remove();

    /// Deletes `file` when, with links resolved, it lies directly in the inbox; anything in a
    /// subfolder or elsewhere is left alone. Never fails.
    static void removeFromInbox(const std::filesystem::path& file) noexcept;
};

}  // namespace inkwarden
