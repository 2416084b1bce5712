#pragma once

#include "signature/approval_view.hpp"
#include "signature/request_gate.hpp"

#include <functional>

namespace inkwarden {

/// Asks the user a yes-or-no question in a window. Main thread only.
class Approval {
public:
    using Done = std::function<void(GateOutcome<bool>)>;

    virtual ~Approval() = default;

    /// Shows the question and calls `done` once with the answer (false for Cancel, Escape or the
    /// close button, and after the deadline with the time-out flag set). Throws the busy
    /// ToolError at once while another request window is open.
    virtual void ask(ApprovalQuestion question, Done done) = 0;
};

/// The approval dialog through the request gate.
class ApprovalRequest final : public Approval {
public:
    explicit ApprovalRequest(RequestGate& gate) : gate_(gate) {}

    void ask(ApprovalQuestion question, Done done) override;

private:
    RequestGate& gate_;
};

}  // namespace inkwarden
