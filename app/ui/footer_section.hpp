#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include "shell/update_check.hpp"

namespace inkwarden {

class AboutDialog;
class MenuRow;

/// What the update row shows and does for one state of the update check.
struct UpdateRow {
    enum class Action { none, check, openPage };

    std::optional<QString> icon;
    bool prominent = false;
    QString title;
    std::optional<QString> subtitle;
    Action action = Action::none;

    bool operator==(const UpdateRow&) const = default;
};

UpdateRow updateRowFor(const UpdateCheck::State& state);

/// The feed's download page when it is a web address; the feed comes from the network, so
/// nothing else (a file, a command scheme) is handed to the desktop to open.
std::optional<QUrl> downloadPage(const std::string& page);

/// The about panel's credits as rich text: the support address linked to `supportMail`, the web
/// site's domain linked to `website`, then the legal note.
QString aboutCredits(const QString& supportMail, const QString& website);

/// The panel's last section: the setup guide, the update row following `UpdateCheck`, the about
/// panel and Quit (also by the platform's Quit shortcut while the panel has focus). It holds no
/// state of its own. Main thread only.
class FooterSection : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> showWelcome;
        /// The support mail link, built anew each time the about panel opens.
        std::function<std::string()> supportMail;
        std::function<void(const QUrl&)> openUrl;
        std::function<void()> quit;
    };

    /// Empty `openUrl` and `quit` mean the desktop's opener and the application's quit.
    FooterSection(UpdateCheck& updates, Actions actions, QWidget* parent = nullptr);
    ~FooterSection() override;

    /// Shows the about panel in front with credits built now.
    void showAbout();
    /// The about panel, or null before it was first opened.
    AboutDialog* aboutDialog() const;

private:
    void refreshUpdateRow();
    void clickUpdateRow();

    UpdateCheck& updates_;
    Actions actions_;
    MenuRow* updateRow_;
    QPointer<AboutDialog> about_;
};

}  // namespace inkwarden
