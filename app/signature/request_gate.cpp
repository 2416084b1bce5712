#include "signature/request_gate.hpp"

#include "signature/tool_error.hpp"

namespace inkwarden {

RequestGate::Ticket RequestGate::admit() {
    if (open_) throw ToolError(busyText);
    open_ = true;
    timedOut_ = false;
    return Ticket(*this);
}

bool approvalAnswer(const GateOutcome<bool>& outcome) {
    if (!outcome.result && outcome.timedOut) throw ToolError(RequestGate::timeOutText);
    return outcome.result;
}

void throwUnanswered(bool timedOut) {
    throw ToolError(timedOut ? RequestGate::timeOutText : RequestGate::cancelText);
}

}  // namespace inkwarden
