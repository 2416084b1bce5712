#pragma once

#include "host/host_status.hpp"
#include "signature/request_gate.hpp"
#include "signature/signing_action.hpp"
#include "signature/signing_model.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QString>

namespace inkwarden {

/// What the document signing window is built from.
struct DocumentSigningContent {
    /// The AI client's name as the user is told it.
    QString client;
    QString reason;
    /// The documents in request order; at least one.
    std::vector<SigningJob> jobs;
    /// Offered only when present (asked for and set).
    std::optional<QString> companyText;
    /// Offered only when not null (asked for and stored).
    QImage stamp;
};

/// Opens the documents of a signing request and shows them to the user in one window, through
/// the request gate. Main thread only.
class DocumentSigning {
public:
    /// The window's one answer: the signed documents, or none when the user cancelled.
    using OnAnswer = std::function<void(std::optional<SigningAnswers>)>;
    /// Builds the document signing window; it signs with `SigningAction` and answers through
    /// `onAnswer`.
    using MakeWindow = std::function<std::unique_ptr<RequestWindow>(DocumentSigningContent content, OnAnswer onAnswer)>;
    using Done = std::function<void(GateOutcome<std::optional<SigningAnswers>>)>;

    /// `gate` and `status` must outlive this. `clearPageImages` empties the pages view's cache
    /// of drawn pages before each request.
    DocumentSigning(RequestGate& gate, const HostStatus& status, MakeWindow makeWindow,
                    std::function<void()> clearPageImages = {});

    /// Opens every document (the first that cannot be opened throws its ToolError and nothing
    /// is shown), reads the company text and stamp when asked for, and shows the window. Throws
    /// the busy ToolError while another request window is open. `done` gets the outcome once,
    /// with the gate already free.
    void ask(const std::string& reason, const std::vector<SigningRequest>& requests, bool company, bool stamp,
             const std::optional<std::string>& client, Done done);

private:
    RequestGate& gate_;
    const HostStatus& status_;
    MakeWindow makeWindow_;
    std::function<void()> clearPageImages_;
};

/// The answers of a window that answered; the time-out or the cancel ToolError otherwise.
SigningAnswers signingAnswers(GateOutcome<std::optional<SigningAnswers>> outcome);

}  // namespace inkwarden
