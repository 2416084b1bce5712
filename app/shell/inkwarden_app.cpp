#include "shell/inkwarden_app.hpp"

#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>

#include "platform/app_folders.hpp"
#include "platform/knock_listener.hpp"
#include "platform/single_instance.hpp"
#include "platform/termination_signals.hpp"
#include "platform/tray_panel.hpp"
#include "shell/activity.hpp"
#include "shell/app_settings.hpp"
#include "shell/settings_store.hpp"
#include "shell/support_mail.hpp"
#include "signature/company_profile_tools.hpp"
#include "signature/signature_tool.hpp"
#include "ui/company_section.hpp"
#include "ui/connection_section.hpp"
#include "ui/footer_section.hpp"
#include "ui/menu_view.hpp"
#include "ui/signatures_section.hpp"
#include "ui/status_header.hpp"
#include "ui/symbol.hpp"

namespace inkwarden {

InkwardenApp::InkwardenApp(QObject* parent) : InkwardenApp(UpdateCheck::Options{}, parent) {}

InkwardenApp::InkwardenApp(UpdateCheck::Options updates, QObject* parent)
    : QObject(parent),
      mainThread_(std::make_unique<QtMainThread>()),
      signatures_(scheduler_),
      tools_(*mainThread_, status_, signatures_),
      exchange_(*mainThread_, status_, tools_),
      work_(runtime_.get_executor()),
      updates_(runtime_.get_executor(), *mainThread_, std::move(updates)),
      welcome_(status_),
      host_(MCPHost::create(
          runtime_.get_executor(), *mainThread_, status_,
          [this](mcp::HTTPRequest request, std::string token) { return exchange_.handle(std::move(request), std::move(token)); })),
      runtimeThread_([this] { runtime_.run(); }),
      signals_(new TerminationSignals(this)) {
    connect(signals_, &TerminationSignals::received, this, [] { QCoreApplication::quit(); });
    // The approval tools are in the catalog before the host serves its first request.
    CompanyProfileTools::install(tools_, approval_, Activity::note);
    SignatureTool::install(tools_, capture_);
    // The welcome window stays open behind the trial signature window.
    connect(&welcome_, &WelcomeWindow::tryItRequested, this, &InkwardenApp::openSignatureTryOut);
    // Start-up first: the host begins listening while the panel is being built.
    runStartup(startupSteps());
    tray_ = std::make_unique<TrayPanel>(makePanel(), QSystemTrayIcon::isSystemTrayAvailable());
    listenForKnocks();
    if (!tray_->usesTray()) tray_->showPanel();
}

std::filesystem::path knockSocket() { return AppFolders::runtime() / "inkwarden.socket"; }

void InkwardenApp::listenForKnocks() {
    try {
        auto* knocks = new KnockListener(knockSocket(), this);
        // Without a tray, a closed panel window has no other way back.
        connect(knocks, &KnockListener::knocked, this, [this] { tray_->showPanel(); });
    } catch (const std::exception& error) {
        qWarning("Inkwarden: a second start cannot show the panel: %s", error.what());
    }
}

InkwardenApp::~InkwardenApp() {
    work_.reset();
    runtime_.stop();
    runtimeThread_.join();
    host_.reset();
    // Jobs still queued for the main thread go with it; their waiters then resume onto the
    // stopped runtime, which must still exist, so they cannot outlive it.
    mainThread_.reset();
}

void InkwardenApp::openSignatureTryOut() {
    QTimer::singleShot(0, this, [this] { tryOut_.fromWelcome(); });
}

void InkwardenApp::restartHost() { boost::asio::co_spawn(runtime_, host_->start(), boost::asio::detached); }

MenuView& InkwardenApp::panel() const noexcept { return static_cast<MenuView&>(*tray_->panel()); }

StartupSteps InkwardenApp::startupSteps() {
    return {
        .removeSignatureFiles =
            [this] {
                SignatureStore::removeAll();
                signatures_.refresh();
            },
        .onTerminate = [this](StartupSteps::Action action) { connect(qApp, &QCoreApplication::aboutToQuit, this, action); },
        .startHost = [this] { restartHost(); },
        .later = [this](StartupSteps::Action action) { QTimer::singleShot(0, this, action); },
        .hasSeenWelcome = [] { return AppSettings::hasSeenWelcome(); },
        .showWelcome = [this] { welcome_.show(); },
        .lastUpdateCheck = [] { return AppSettings::lastUpdateCheck(); },
        .now = secondsSince1970,
        .checkForUpdates = [this] { updates_.check(); },
    };
}

MenuView* InkwardenApp::makePanel() {
    auto* panel = new MenuView;
    panel->header()->follow(status_, [] { return static_cast<long long>(AppSettings::port()); });
    auto* signatures = new SignaturesSection(
        signatures_, [this](std::function<void(bool)> done) { tryOut_.fromPanel(std::move(done)); },
        [this] {
            if (tray_) tray_->panel()->close();
        });
    panel->setSection(MenuView::Section::signatures, signatures);
    auto* company = new CompanySection(CompanySection::chooseStampFile, Activity::note);
    panel->setSection(MenuView::Section::company, company);
    connect(panel, &MenuView::aboutToShow, company, &CompanySection::refresh);
    auto* connection = new ConnectionSection([this] { restartHost(); });
    panel->setSection(MenuView::Section::connection, connection);
    connect(panel, &MenuView::aboutToShow, connection, &ConnectionSection::refresh);
    // The host marks the first client; the section then closes by itself unless the user chose.
    connect(&SettingsStore::shared(), &SettingsStore::changed, connection, [connection](const QString& key) {
        if (key == QLatin1String("hasConnectedClient")) connection->refresh();
    });
    panel->setSection(MenuView::Section::footer,
                      new FooterSection(updates_, {
                                                      .showWelcome = [this] { welcome_.show(); },
                                                      .supportMail = [this] {
                                                          return SupportMail::url(SupportDiagnostics::gather(status_));
                                                      },
                                                      .openUrl = {},
                                                      .quit = {},
                                                  }));
    return panel;
}

int runApplication(int argc, char** argv) {
    std::unique_ptr<SingleInstance> instance;
    try {
        instance = SingleInstance::acquire(AppFolders::runtime() / "inkwarden.lock");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Inkwarden: %s\n", error.what());
        return 1;
    }
    if (!instance) {
        // Already running: that instance serves the user and shows its panel.
        SingleInstance::knock(knockSocket());
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Inkwarden"));
    QApplication::setApplicationVersion(QString::fromUtf8(INKWARDEN_VERSION));
    QApplication::setWindowIcon(applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    InkwardenApp app;
    return QApplication::exec();
}

}  // namespace inkwarden
