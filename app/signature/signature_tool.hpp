#pragma once

#include "host/tools.hpp"
#include "signature/signature_capture.hpp"

#include <optional>
#include <string>

namespace inkwarden {

/// request_signature: the user draws a signature in a window, and the AI client gets it as a
/// transparent PNG (an image item and a temporary file), with the company text under it and the
/// stamp as a second file when the user keeps them.
///
/// Arguments and the document file are handled in the task of the call; the preview, the gate,
/// the window and the files on the main thread.
class SignatureTool {
public:
    static constexpr int kDeletedAfterSeconds = 600;
    static constexpr const char* kNote = "Black ink on a transparent background. Use it for this document only.";
    static constexpr const char* kNoCompanyText =
        "No company text is set up. The user can add it under Company Signature in the Inkwarden panel.";
    static constexpr const char* kCompanyTextDeclined = "The user chose to sign without the company text.";
    static constexpr const char* kNoStamp =
        "No company stamp is set up. The user can add one under Company Signature in the Inkwarden panel.";
    static constexpr const char* kStampDeclined = "The user chose to sign without the stamp.";

    /// `tools` and `capture` (main thread only) must outlive the handler.
    SignatureTool(const Tools& tools, SignatureCapture& capture);

    /// Plugs request_signature into `tools`.
    static void install(Tools& tools, SignatureCapture& capture);

    boost::asio::awaitable<Tools::Contents> requestSignature(Tools::Arguments arguments,
                                                             std::optional<std::string> client);

private:
    const Tools& tools_;
    SignatureCapture& capture_;
};

}  // namespace inkwarden
