#pragma once

#include <filesystem>
#include <memory>
#include <thread>

#include <QObject>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include "host/host_exchange.hpp"
#include "host/host_status.hpp"
#include "host/mcp_host.hpp"
#include "host/tools.hpp"
#include "platform/qt_main_thread.hpp"
#include "shell/startup.hpp"
#include "shell/update_check.hpp"
#include "shell/welcome_window.hpp"
#include "signature/approval_request.hpp"
#include "signature/document_signing.hpp"
#include "signature/request_gate.hpp"
#include "signature/signature_capture.hpp"
#include "signature/signature_store.hpp"
#include "signature/signature_try_out.hpp"

namespace inkwarden {

class MenuView;
class TerminationSignals;
class TrayPanel;

/// The running application: the main-thread state, the runtime thread with the local host, the
/// panel behind its tray icon. Making it does the start-up work; it lives until the event loop
/// ends. Make it on the Qt thread after the QApplication, once per process.
class InkwardenApp : public QObject {
    Q_OBJECT

public:
    explicit InkwardenApp(QObject* parent = nullptr);
    /// With the update check's feed, limit and clock given (tests point it at a local server).
    explicit InkwardenApp(UpdateCheck::Options updates, QObject* parent = nullptr);
    ~InkwardenApp() override;

    /// Starts the host anew with the port and token stored now, without waiting for it.
    void restartHost();

    /// Opens the welcome window's trial signature: the signature window through the request
    /// gate, nothing sent anywhere, every signature file deleted afterwards.
    void openSignatureTryOut();

    HostStatus& hostStatus() noexcept { return status_; }
    SignatureStore& signatureStore() noexcept { return signatures_; }
    Tools& tools() noexcept { return tools_; }
    MainThread& mainThread() noexcept { return *mainThread_; }
    RequestGate& requestGate() noexcept { return gate_; }
    UpdateCheck& updateCheck() noexcept { return updates_; }
    WelcomeWindow& welcomeWindow() noexcept { return welcome_; }
    MenuView& panel() const noexcept;
    TrayPanel& tray() const noexcept { return *tray_; }

private:
    StartupSteps startupSteps();
    MenuView* makePanel();
    void listenForKnocks();

    // Let go first on the way out, while the runtime its waiters resume on still exists.
    std::unique_ptr<QtMainThread> mainThread_;
    QtScheduler scheduler_;
    RequestGate gate_{scheduler_};
    ApprovalRequest approval_{gate_};
    HostStatus status_;
    SignatureStore signatures_;
    Tools tools_;
    SignatureCapture capture_{gate_, signatures_};
    SignatureTryOut tryOut_{capture_, signatures_};
    DocumentSigning signing_;
    HostExchange exchange_;
    // Declared after what its tasks use, so it goes first.
    boost::asio::io_context runtime_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    UpdateCheck updates_;
    WelcomeWindow welcome_;
    std::shared_ptr<MCPHost> host_;
    std::thread runtimeThread_;
    TerminationSignals* signals_;
    std::unique_ptr<TrayPanel> tray_;
};

/// Where a second start knocks to have the running instance show its panel.
std::filesystem::path knockSocket();

/// Runs the application until it quits: one instance per user (a second start exits at once
/// with status 0), the tray panel, and the host. Gives the exit status.
int runApplication(int argc, char** argv);

}  // namespace inkwarden
