#pragma once

#include "signature/signature_store.hpp"
#include "signature/signature_view.hpp"

#include <QSize>

#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace inkwarden {

/// A finished signature, saved as it is handed out.
struct Signature {
    std::string png;
    std::filesystem::path path;
    QSize pixelSize;
    /// The caption rendered under the ink, if any.
    std::optional<QString> companyText;
    /// The stamp file handed out with the signature, if the user included it.
    std::optional<std::filesystem::path> stampPath;
};

/// One signature request from the gate to the saved files: takes the gate, shows the signature
/// window, renders the ink and saves the stamp copy and the signature, and frees the gate only
/// then, so no other request window opens while the files are written. Main thread only.
class SignatureCapture {
public:
    static constexpr const char* kEmptyText = "The signature was empty.";

    struct Ask {
        QString client;
        QString reason;
        std::optional<QString> document;
        std::optional<DocumentPreview> preview;
        /// Offer the stored company text, when one is set up.
        bool companyText = false;
        /// Offer the stored stamp, when a readable one is stored.
        bool stamp = false;
    };

    /// The saved signature, or the error that ended the request (the gate's time-out or cancel
    /// ToolError, the empty-signature ToolError, or what saving threw).
    struct Outcome {
        std::optional<Signature> signature;
        std::exception_ptr error;
    };
    using Done = std::function<void(Outcome)>;

    /// `gate` and `store` must outlive every request.
    SignatureCapture(RequestGate& gate, SignatureStore& store, SignatureWindowFactory makeWindow = signatureWindow);

    /// Throws the busy ToolError at once, without showing anything, while another request holds
    /// the gate; otherwise calls `done` once, with the gate already free again.
    void sign(Ask ask, Done done);

private:
    RequestGate& gate_;
    SignatureStore& store_;
    SignatureWindowFactory makeWindow_;
};

}  // namespace inkwarden
