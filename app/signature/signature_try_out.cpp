#include "signature/signature_try_out.hpp"

#include "signature/tool_error.hpp"

#include <QCoreApplication>

namespace inkwarden {

QString SignatureTryOut::reason() {
    return QCoreApplication::translate("SignatureTryOut", "This is a test. Nothing is sent to your AI.");
}

void SignatureTryOut::fromPanel(std::function<void(bool worked)> done) {
    SignatureCapture::Ask ask{QStringLiteral("Inkwarden"), reason(), std::nullopt, std::nullopt, true, true};
    try {
        capture_.sign(std::move(ask), [this, done](SignatureCapture::Outcome outcome) {
            const bool worked = outcome.signature.has_value();
            if (worked) {
                SignatureStore::removeAll();
                store_.refresh();
            }
            if (done) done(worked);
        });
    } catch (const ToolError&) {
        // Another request window is open: it keeps the gate, and nothing is shown.
        if (done) done(false);
    }
}

void SignatureTryOut::fromWelcome(std::function<void()> done) {
    auto finish = [this, done] {
        SignatureStore::removeAll();
        store_.refresh();
        if (done) done();
    };
    SignatureCapture::Ask ask{QStringLiteral("Inkwarden"), reason(), std::nullopt, std::nullopt, false, false};
    try {
        capture_.sign(std::move(ask), [finish](SignatureCapture::Outcome) { finish(); });
    } catch (const ToolError&) {
        finish();
    }
}

}  // namespace inkwarden
