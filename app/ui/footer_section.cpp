#include "ui/footer_section.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtDebug>

#include "shell/product.hpp"
#include "ui/about_dialog.hpp"
#include "ui/menu_row.hpp"
#include "ui/panel_style.hpp"

namespace inkwarden {
namespace {

constexpr int kShortcutSize = 13;
constexpr int kParagraphSpacing = 6;

QString paragraph(const QString& inner) {
    return QStringLiteral("<p align=\"center\" style=\"margin-top:0px; margin-bottom:%1px\">%2</p>")
        .arg(kParagraphSpacing)
        .arg(inner);
}

QString link(const QString& href, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(href.toHtmlEscaped(), text.toHtmlEscaped());
}

QString fromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

UpdateRow updateRowFor(const UpdateCheck::State& state) {
    using Kind = UpdateCheck::State::Kind;
    const QString check = QCoreApplication::translate("inkwarden::FooterSection", "Check for Updates…");
    switch (state.kind) {
    case Kind::available:
        return {QStringLiteral("arrow.down.circle"), true, QCoreApplication::translate("inkwarden::FooterSection", "Update Available"),
                QCoreApplication::translate("inkwarden::FooterSection", "Version %1 is ready. Click to open the download page.")
                    .arg(QString::fromStdString(state.version)),
                UpdateRow::Action::openPage};
    case Kind::idle:
        return {std::nullopt, false, check, std::nullopt, UpdateRow::Action::check};
    case Kind::checking:
        return {std::nullopt, false, QCoreApplication::translate("inkwarden::FooterSection", "Checking for Updates…"), std::nullopt,
                UpdateRow::Action::none};
    case Kind::current:
        return {std::nullopt, false, check, QCoreApplication::translate("inkwarden::FooterSection", "Inkwarden is up to date."),
                UpdateRow::Action::check};
    case Kind::failed:
        return {std::nullopt, false, check,
                QCoreApplication::translate("inkwarden::FooterSection", "Couldn't check. Try again later."),
                UpdateRow::Action::check};
    }
    return {};
}

std::optional<QUrl> downloadPage(const std::string& page) {
    const QUrl url(QString::fromStdString(page), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty()) {
        return std::nullopt;
    }
    return url;
}

QString aboutCredits(const QString& supportMail, const QString& website) {
    return paragraph(link(supportMail, fromView(product::kSupportAddress))) +
           paragraph(link(website, fromView(product::kWebsiteDomain))) +
           paragraph(QCoreApplication::translate(
                         "FooterSection",
                         "A signature drawn here is a simple electronic signature. It isn't a qualified electronic "
                         "signature, and Inkwarden gives no legal advice.")
                         .toHtmlEscaped());
}

FooterSection::FooterSection(UpdateCheck& updates, Actions actions, QWidget* parent)
    : QWidget(parent), updates_(updates), actions_(std::move(actions)) {
    if (!actions_.openUrl) actions_.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (!actions_.quit) actions_.quit = [] { QCoreApplication::quit(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* guide = new MenuRow(std::nullopt, false, tr("Setup Guide…"), std::nullopt, this);
    guide->setObjectName("setupGuideRow");
    connect(guide, &MenuRow::clicked, this, [this] {
        if (actions_.showWelcome) actions_.showWelcome();
    });
    layout->addWidget(guide);

    updateRow_ = new MenuRow(std::nullopt, false, QString(), std::nullopt, this);
    updateRow_->setObjectName("updateRow");
    connect(updateRow_, &MenuRow::clicked, this, [this] { clickUpdateRow(); });
    connect(&updates_, &UpdateCheck::stateChanged, this, [this] { refreshUpdateRow(); });
    layout->addWidget(updateRow_);

    auto* about = new MenuRow(std::nullopt, false, tr("About Inkwarden"), std::nullopt, this);
    about->setObjectName("aboutRow");
    connect(about, &MenuRow::clicked, this, [this] { showAbout(); });
    layout->addWidget(about);

    auto* quit = new MenuRow(std::nullopt, false, tr("Quit Inkwarden"), std::nullopt, this);
    quit->setObjectName("quitRow");
    QKeySequence quitKeys(QKeySequence::Quit);
    // Some platform themes bind nothing to Quit; Ctrl+Q is what Linux desktops use.
    if (quitKeys.isEmpty()) quitKeys = QKeySequence(Qt::CTRL | Qt::Key_Q);
    auto* keys = new QLabel(quitKeys.toString(QKeySequence::NativeText));
    keys->setObjectName("quitShortcut");
    keys->setFont(panel::font(kShortcutSize));
    panel::setTextColor(keys, panel::tertiary(palette()));
    quit->setAccessory(keys);
    connect(quit, &MenuRow::clicked, this, [this] { actions_.quit(); });
    auto* shortcut = new QShortcut(quitKeys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { actions_.quit(); });
    layout->addWidget(quit);

    refreshUpdateRow();
}

FooterSection::~FooterSection() { delete about_.data(); }

AboutDialog* FooterSection::aboutDialog() const { return about_; }

void FooterSection::refreshUpdateRow() {
    const auto row = updateRowFor(updates_.state());
    updateRow_->setIcon(row.icon, row.prominent);
    updateRow_->setTitle(row.title);
    updateRow_->setSubtitle(row.subtitle);
}

void FooterSection::clickUpdateRow() {
    const auto& state = updates_.state();
    switch (updateRowFor(state).action) {
    case UpdateRow::Action::none:
        return;
    case UpdateRow::Action::check:
        updates_.check();
        return;
    case UpdateRow::Action::openPage:
        if (auto page = downloadPage(state.page)) {
            actions_.openUrl(*page);
        } else {
            qWarning("Not opening the update feed's page, which is no web address: %s", state.page.c_str());
        }
        return;
    }
}

void FooterSection::showAbout() {
    // A window of its own: the panel is a popup that closes when something else takes focus.
    if (!about_) about_ = new AboutDialog(actions_.openUrl);
    const QString supportMail = actions_.supportMail ? QString::fromStdString(actions_.supportMail()) : QString();
    about_->setCredits(aboutCredits(supportMail, fromView(product::kWebsite)));
    about_->show();
    about_->raise();
    about_->activateWindow();
}

}  // namespace inkwarden
