#pragma once

#include <string>
#include <string_view>

#include "ui/client_setup.hpp"

namespace inkwarden {

/// The settings only the panel keeps, next to the application's in the shared settings file.
/// Reads never fail (anything unreadable reads as the default); writes throw std::system_error
/// when the file cannot be written.
class PanelSettings {
public:
    PanelSettings() = delete;

    /// "connectClient": the client picked in Manual Setup; a value naming no client reads as
    /// the first one.
    static ClientSetup connectClient();
    static void setConnectClient(ClientSetup client);

    /// "connectSection": "" until the user folds or opens the section, then "open" or "closed".
    static std::string connectSection();
    static void setConnectSection(std::string_view value);

    /// "companySection": whether the company signature section is open.
    static bool companySection();
    static void setCompanySection(bool open);
};

/// Whether the connection section is open: as the user last left it, else until a client connects.
bool connectExpanded(std::string_view connectSection, bool hasConnectedClient);

}  // namespace inkwarden
