#include "signature/document_signing.hpp"

#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"

namespace inkwarden {

namespace {

/// The stored stamp as an image; null when none is stored or it is no image.
QImage storedStamp() {
    std::string bytes;
    try {
        bytes = readRegularFile(CompanyStamp::url());
    } catch (const std::exception&) {
        return {};
    }
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
    return image;
}

}  // namespace

DocumentSigning::DocumentSigning(RequestGate& gate, const HostStatus& status, MakeWindow makeWindow,
                                 std::function<void()> clearPageImages)
    : gate_(gate), status_(status), makeWindow_(std::move(makeWindow)), clearPageImages_(std::move(clearPageImages)) {}

void DocumentSigning::ask(const std::string& reason, const std::vector<SigningRequest>& requests, bool company,
                          bool stamp, const std::optional<std::string>& client, Done done) {
    if (clearPageImages_) clearPageImages_();
    DocumentSigningContent content;
    content.jobs.reserve(requests.size());
    for (const auto& request : requests) content.jobs.push_back(SigningJob::from(request));
    if (company) {
        auto text = AppSettings::companyText();
        if (!text.empty()) content.companyText = QString::fromStdString(text);
    }
    if (stamp) content.stamp = storedStamp();
    content.client = QString::fromStdString(status_.name(client));
    content.reason = QString::fromStdString(reason);

    using Answer = std::optional<SigningAnswers>;
    auto makeWindow = makeWindow_;
    auto shared = std::make_shared<DocumentSigningContent>(std::move(content));
    gate_.run<Answer>(
        std::nullopt,
        [makeWindow, shared](RequestGate::Finish<Answer> finish) {
            return makeWindow(std::move(*shared), [finish](Answer answer) { finish(std::move(answer)); });
        },
        std::move(done));
}

SigningAnswers signingAnswers(GateOutcome<std::optional<SigningAnswers>> outcome) {
    return requiredAnswer(std::move(outcome));
}

}  // namespace inkwarden
