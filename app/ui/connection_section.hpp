#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QWidget>

#include "ui/client_setup.hpp"

class QComboBox;
class QLabel;

namespace inkwarden {

class CollapsibleSectionHeader;
class MenuRow;
class Chevron;

/// The panel's "Connect Your AI" section: the setup prompt, the manual setup for each client
/// and, for the HTTP client, the reset of the access token. Its state (what was copied last,
/// the open disclosures, the reset notice) lives as long as the widget; the choices the user
/// keeps are settings. Main thread only.
class ConnectionSection : public QWidget {
    Q_OBJECT

public:
    /// `restartHost` starts the host anew with the stored token and returns without waiting.
    explicit ConnectionSection(std::function<void()> restartHost, QWidget* parent = nullptr);

    /// Reads the settings again and shows what they say (a client may have connected meanwhile).
    void refresh();

    bool isExpanded() const;

    /// The key of the row whose text was copied last: "prompt" or a client's raw value.
    const std::optional<QString>& copied() const noexcept { return copied_; }

    /// Stores a new token, restarts the host with it and shows the notice.
    void resetToken();

private:
    void toggleSection();
    void toggleManualSetup();
    void pickClient(int index);
    void copy(const QString& key, const std::string& text);
    void showCopyRow(MenuRow* row, const QString& title, const QString& key);
    QWidget* makeConfirmation();
    void setConfirmingReset(bool confirming);

    std::function<void()> restartHost_;
    std::optional<QString> copied_;
    bool showManualSetup_ = false;
    bool tokenWasReset_ = false;
    bool confirmingReset_ = false;

    CollapsibleSectionHeader* header_;
    QWidget* content_;
    MenuRow* promptRow_;
    QWidget* notice_;
    MenuRow* manualRow_;
    Chevron* manualChevron_;
    QWidget* manual_;
    QComboBox* picker_;
    QLabel* hint_;
    MenuRow* settingsRow_;
    MenuRow* resetRow_;
    QWidget* confirmation_;
};

}  // namespace inkwarden
