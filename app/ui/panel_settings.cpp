#include "ui/panel_settings.hpp"

#include <boost/json/object.hpp>

#include "shell/app_settings.hpp"

namespace inkwarden {
namespace {

std::string readString(std::string_view key) {
    const auto settings = AppSettings::file().read();
    const auto* value = settings.if_contains(key);
    if (!value || !value->is_string()) return {};
    return std::string(value->as_string());
}

template <class T>
void store(std::string_view key, T value) {
    AppSettings::file().update([&](boost::json::object& settings) { settings[key] = value; });
}

}  // namespace

ClientSetup PanelSettings::connectClient() {
    return ClientSetup::fromRawValue(readString("connectClient")).value_or(ClientSetup::claudeCode);
}

void PanelSettings::setConnectClient(ClientSetup client) { store("connectClient", client.rawValue()); }

std::string PanelSettings::connectSection() { return readString("connectSection"); }

void PanelSettings::setConnectSection(std::string_view value) { store("connectSection", value); }

bool PanelSettings::companySection() {
    const auto settings = AppSettings::file().read();
    const auto* value = settings.if_contains("companySection");
    return value && value->is_bool() && value->as_bool();
}

void PanelSettings::setCompanySection(bool open) { store("companySection", open); }

bool connectExpanded(std::string_view connectSection, bool hasConnectedClient) {
    if (connectSection.empty()) return !hasConnectedClient;
    return connectSection == "open";
}

}  // namespace inkwarden
