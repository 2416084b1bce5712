#pragma once

#include "host/tools.hpp"
#include "signature/document_signing.hpp"

#include <optional>
#include <string>

namespace inkwarden {

/// sign_document and sign_documents: the documents are read in the task of the call, shown in
/// one window on the main thread, and every signed PDF saved as a temporary file.
class DocumentSigningTools {
public:
    using Arguments = Tools::Arguments;
    using Contents = Tools::Contents;

    /// How long a signed PDF lives, as the result tells the client.
    static constexpr int kDeletedAfterSeconds = 600;
    /// The most documents one sign_documents call may pass.
    static constexpr std::size_t kMaxDocuments = 20;

    /// `tools` and `signing` (main thread only) must outlive the handlers.
    DocumentSigningTools(const Tools& tools, DocumentSigning& signing) : tools_(tools), signing_(signing) {}

    /// Plugs both tools into `tools`.
    static void install(Tools& tools, DocumentSigning& signing);

    boost::asio::awaitable<Contents> signDocument(Arguments arguments, std::optional<std::string> client);
    boost::asio::awaitable<Contents> signDocuments(Arguments arguments, std::optional<std::string> client);

private:
    /// Shows the window on the main thread; throws its ToolErrors.
    boost::asio::awaitable<SigningAnswers> ask(std::string reason, std::vector<SigningRequest> requests, bool company,
                                               bool stamp, std::optional<std::string> client) const;

    const Tools& tools_;
    DocumentSigning& signing_;
};

}  // namespace inkwarden
