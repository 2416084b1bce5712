#include "signature/signature_tool.hpp"

#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "signature/tool_error.hpp"

#include <QImage>

#include <boost/json/object.hpp>

#include <memory>

namespace inkwarden {

namespace asio = boost::asio;

SignatureTool::SignatureTool(const Tools& tools, SignatureCapture& capture) : tools_(tools), capture_(capture) {}

void SignatureTool::install(Tools& tools, SignatureCapture& capture) {
    auto self = std::make_shared<SignatureTool>(tools, capture);
    tools.setHandler("request_signature", [self](Tools::Arguments arguments, std::optional<std::string> client) {
        return self->requestSignature(std::move(arguments), std::move(client));
    });
}

asio::awaitable<Tools::Contents> SignatureTool::requestSignature(Tools::Arguments arguments,
                                                                 std::optional<std::string> client) {
    auto reason = Tools::reason(arguments);
    const bool company = Tools::flag(arguments, "company");
    const bool stamp = Tools::flag(arguments, "stamp");
    std::optional<std::string> document;
    if (auto found = arguments.find("document"); found != arguments.end())
        if (auto text = found->second.stringValue()) document = std::string(*text);
    std::optional<std::string> bytes;
    if (auto found = arguments.find("document_path"); found != arguments.end()) {
        auto path = found->second.stringValue();
        if (path && !path->empty()) {
            auto file = Tools::expandedPath(std::string(*path));
            try {
                bytes = readRegularFile(file);
            } catch (const std::exception&) {
                throw ToolError("Inkwarden can't read " + std::string(*path) + ": it's sandboxed. Copy the document into " +
                                Tools::pathText(CompanyStamp::inbox()) +
                                " and pass that path, or leave out document_path.");
            }
            if (!document) document = file.filename().string();
            CompanyStamp::removeFromInbox(file);
        }
    }
    const auto page = Tools::page(arguments);

    auto& capture = capture_;
    auto& status = tools_.hostStatus();
    auto asking = tools_.mainThread().async<SignatureCapture::Outcome>(
        [&](MainThread::Done<SignatureCapture::Outcome> done) {
            SignatureCapture::Ask ask;
            // The document is opened before the gate: a file we cannot show is told at once.
            if (bytes) ask.preview.emplace(*bytes, page);
            ask.client = QString::fromStdString(status.name(client));
            ask.reason = QString::fromStdString(reason);
            if (document) ask.document = QString::fromStdString(*document);
            ask.companyText = company;
            ask.stamp = stamp;
            capture.sign(std::move(ask), std::move(done));
        });
    auto outcome = co_await std::move(asking);
    if (outcome.error) std::rethrow_exception(outcome.error);
    auto& signature = *outcome.signature;

    boost::json::object result;
    result["status"] = "signed";
    result["path"] = Tools::pathText(signature.path);
    result["width"] = signature.pixelSize.width();
    result["height"] = signature.pixelSize.height();
    result["deleted_after_seconds"] = kDeletedAfterSeconds;
    result["note"] = kNote;
    if (signature.companyText || company || stamp) {
        // What is set up now decides between "none set up" and "the user left it out".
        struct Now {
            bool hasText;
            bool hasStamp;
        };
        auto looking = tools_.mainThread().call([] {
            // A stored file that is no image was never offered: to the client that is no stamp.
            bool usable = false;
            try {
                const auto bytes = readRegularFile(CompanyStamp::url());
                usable = !QImage::fromData(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())))
                              .isNull();
            } catch (const std::exception&) {
            }
            return Now{!AppSettings::companyText().empty(), usable};
        });
        const auto now = co_await std::move(looking);
        if (signature.companyText)
            result["company_text"] = signature.companyText->toStdString();
        else if (company)
            result["company_text_note"] = now.hasText ? kCompanyTextDeclined : kNoCompanyText;
        if (signature.stampPath)
            result["stamp_path"] = Tools::pathText(*signature.stampPath);
        else if (stamp)
            result["stamp_note"] = now.hasStamp ? kStampDeclined : kNoStamp;
    }
    co_return Tools::Contents{Tools::resultText(result), Tools::image(signature.png)};
}

}  // namespace inkwarden
