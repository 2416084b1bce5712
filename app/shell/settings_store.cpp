#include "shell/settings_store.hpp"

#include <QMetaObject>

#include "shell/app_settings.hpp"

namespace inkwarden {

SettingsStore& SettingsStore::shared() {
    static auto* store = new SettingsStore;  // never destroyed: writers on any thread may still post to it
    return *store;
}

SettingsStore::SettingsStore() {
    AppSettings::observe([this](std::string_view key) {
        auto name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
        QMetaObject::invokeMethod(this, [this, name] { Q_EMIT changed(name); }, Qt::QueuedConnection);
    });
}

}  // namespace inkwarden
