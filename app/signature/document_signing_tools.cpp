#include "signature/document_signing_tools.hpp"

#include "signature/tool_error.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include <memory>

namespace inkwarden {

namespace asio = boost::asio;

namespace {

constexpr const char* kCancelled =
    "The user cancelled: they clicked Cancel or closed the window. Don't ask again unless they tell you to.";
constexpr const char* kNoDocuments = "Pass at least one document in documents.";
constexpr const char* kTooManyDocuments = "At most 20 documents in one request.";
constexpr const char* kOneNote = "Copy the signed PDF to where it belongs. The original file is unchanged.";
constexpr const char* kManyNote =
    "Copy each signed PDF to where it belongs; the originals are unchanged. The pictures show the signed pages, in "
    "order. Don't sign a document the user left out.";

}  // namespace

void DocumentSigningTools::install(Tools& tools, DocumentSigning& signing) {
    auto self = std::make_shared<DocumentSigningTools>(tools, signing);
    tools.setHandler("sign_document", [self](Arguments arguments, std::optional<std::string> client) {
        return self->signDocument(std::move(arguments), std::move(client));
    });
    tools.setHandler("sign_documents", [self](Arguments arguments, std::optional<std::string> client) {
        return self->signDocuments(std::move(arguments), std::move(client));
    });
}

asio::awaitable<SigningAnswers> DocumentSigningTools::ask(std::string reason, std::vector<SigningRequest> requests,
                                                          bool company, bool stamp,
                                                          std::optional<std::string> client) const {
    auto& signing = signing_;
    auto asking = tools_.mainThread().async<GateOutcome<std::optional<SigningAnswers>>>(
        [&signing, &reason, &requests, company, stamp, &client](DocumentSigning::Done done) {
            signing.ask(reason, requests, company, stamp, client, std::move(done));
        });
    auto outcome = co_await std::move(asking);
    co_return signingAnswers(std::move(outcome));
}

asio::awaitable<Tools::Contents> DocumentSigningTools::signDocument(Arguments arguments,
                                                                    std::optional<std::string> client) {
    auto reason = Tools::reason(arguments);
    auto request = Tools::signingRequest(arguments);
    const bool company = Tools::flag(arguments, "company");
    const bool stamp = Tools::flag(arguments, "stamp");
    auto name = request.name;
    std::vector<SigningRequest> requests;
    requests.push_back(std::move(request));
    auto asking = ask(std::move(reason), std::move(requests), company, stamp, std::move(client));
    auto answers = co_await std::move(asking);
    if (answers.empty() || !answers.front()) throw ToolError(kCancelled);

    auto picture = answers.front()->pagePNG;
    auto saving = tools_.saved(std::move(*answers.front()), name);
    auto entry = co_await std::move(saving);
    entry["status"] = "signed";
    entry["deleted_after_seconds"] = kDeletedAfterSeconds;
    entry["note"] = kOneNote;
    Contents contents{Tools::resultText(entry)};
    if (picture) contents.push_back(Tools::image(*picture));
    co_return contents;
}

asio::awaitable<Tools::Contents> DocumentSigningTools::signDocuments(Arguments arguments,
                                                                     std::optional<std::string> client) {
    auto reason = Tools::reason(arguments);
    std::optional<std::span<const mcp::Value>> list;
    if (auto found = arguments.find("documents"); found != arguments.end()) list = found->second.arrayValue();
    // Counted before any file is read, so a refused call leaves every inbox copy in place.
    if (!list || list->empty()) throw ToolError(kNoDocuments);
    if (list->size() > kMaxDocuments) throw ToolError(kTooManyDocuments);

    std::vector<SigningRequest> requests;
    for (const auto& entry : *list) {
        Arguments fields;
        if (const auto* object = entry.objectValue()) fields = Arguments(object->begin(), object->end());
        requests.push_back(Tools::signingRequest(fields));
    }
    const bool company = Tools::flag(arguments, "company");
    const bool stamp = Tools::flag(arguments, "stamp");
    std::vector<std::string> names;
    for (const auto& request : requests) names.push_back(request.name);

    auto asking = ask(std::move(reason), std::move(requests), company, stamp, std::move(client));
    auto answers = co_await std::move(asking);

    boost::json::array entries;
    Contents pictures;
    for (std::size_t k = 0; k < names.size() && k < answers.size(); ++k) {
        auto& answer = answers[k];
        if (!answer) {
            entries.push_back(boost::json::object{{"document", names[k]}, {"status", "left out by the user"}});
            continue;
        }
        auto picture = answer->pagePNG;
        auto saving = tools_.saved(std::move(*answer), names[k]);
        auto entry = co_await std::move(saving);
        entry["document"] = names[k];
        entry["status"] = "signed";
        entries.push_back(std::move(entry));
        if (picture) pictures.push_back(Tools::image(*picture));
    }
    boost::json::object result;
    result["documents"] = std::move(entries);
    result["deleted_after_seconds"] = kDeletedAfterSeconds;
    result["note"] = kManyNote;
    Contents contents{Tools::resultText(result)};
    for (auto& picture : pictures) contents.push_back(std::move(picture));
    co_return contents;
}

}  // namespace inkwarden
