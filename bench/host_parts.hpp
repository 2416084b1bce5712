#pragma once

// The host's exchange with what it is built on, wired as the application wires them, with the
// tests' stand-ins for the main thread and the scheduler.

#include "host/host_exchange.hpp"
#include "host/host_status.hpp"
#include "host/tools.hpp"
#include "signature/signature_store.hpp"
#include "support/test_main_thread.hpp"

namespace bench {

struct HostParts {
    testing_support::TestMainThread mainThread;
    testing_support::ManualScheduler scheduler;
    inkwarden::HostStatus status;
    inkwarden::SignatureStore signatures{scheduler};
    inkwarden::Tools tools{mainThread, status, signatures};
    inkwarden::HostExchange exchange{mainThread, status, tools};
};

}  // namespace bench
