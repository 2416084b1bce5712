#pragma once

#include <QObject>
#include <QString>

namespace inkwarden {

/// Tells the windows on the main thread which setting this process just wrote, whatever thread
/// wrote it. One instance for the process, made on the main thread by the first `shared()`.
class SettingsStore final : public QObject {
    Q_OBJECT
public:
    static SettingsStore& shared();

Q_SIGNALS:
    /// `key` is the settings key ("companyText", "token", ...).
    void changed(const QString& key);

private:
    SettingsStore();
};

}  // namespace inkwarden
