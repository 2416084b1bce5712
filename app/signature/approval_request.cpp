#include "signature/approval_request.hpp"

#include "signature/qt_request_window.hpp"

namespace inkwarden {

void ApprovalRequest::ask(ApprovalQuestion question, Done done) {
    gate_.run<bool>(
        false,
        [question = std::move(question)](RequestGate::Finish<bool> finish) {
            return QtRequestWindow::wrap(new ApprovalView(question, std::move(finish)));
        },
        std::move(done));
}

}  // namespace inkwarden
