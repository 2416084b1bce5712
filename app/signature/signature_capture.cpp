#include "signature/signature_capture.hpp"

#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "signature/tool_error.hpp"

#include <QImage>

namespace inkwarden {

SignatureCapture::SignatureCapture(RequestGate& gate, SignatureStore& store, SignatureWindowFactory makeWindow)
    : gate_(gate), store_(store), makeWindow_(std::move(makeWindow)) {}

void SignatureCapture::sign(Ask ask, Done done) {
    auto ticket = std::make_shared<RequestGate::Ticket>(gate_.admit());

    SignatureQuestion question;
    question.client = std::move(ask.client);
    question.reason = std::move(ask.reason);
    question.document = std::move(ask.document);
    question.preview = std::move(ask.preview);
    if (ask.companyText) {
        auto text = QString::fromStdString(AppSettings::companyText());
        if (!text.isEmpty()) question.companyText = std::move(text);
    }
    // The stored stamp is read once: the bytes shown are the bytes handed out.
    std::optional<std::string> stampBytes;
    if (ask.stamp) {
        try {
            stampBytes = readRegularFile(CompanyStamp::url());
            QImage image;
            if (image.loadFromData(QByteArray::fromRawData(stampBytes->data(), static_cast<qsizetype>(stampBytes->size()))))
                question.stamp = std::move(image);
        } catch (const std::exception&) {
            stampBytes.reset();
        }
    }

    auto makeWindow = [this, question = std::move(question)](RequestGate::Finish<std::optional<Answer>> finish) {
        return makeWindow_(question, std::move(finish));
    };
    gate_.present<std::optional<Answer>>(
        std::nullopt, makeWindow,
        [this, ticket, stampBytes = std::move(stampBytes), done = std::move(done)](std::optional<Answer> answer) {
            Outcome outcome;
            try {
                if (!answer) throwUnanswered(gate_.timedOut());
                auto png = SignatureInk::png(answer->strokes, answer->companyText);
                if (!png) throw ToolError(kEmptyText);
                std::optional<std::filesystem::path> stampPath;
                if (answer->includeStamp && stampBytes) stampPath = store_.save(*stampBytes, "stamp", "png");
                auto path = store_.save(png->data, "signature", "png");
                outcome.signature =
                    Signature{std::move(png->data), std::move(path), png->pixelSize, answer->companyText, stampPath};
            } catch (...) {
                outcome.error = std::current_exception();
            }
            ticket->release();
            done(std::move(outcome));
        });
}

}  // namespace inkwarden
