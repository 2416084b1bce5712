#include "platform/describe.hpp"

namespace platform {

std::string describe(std::exception_ptr error) {
    if (!error) return "Unknown error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

}  // namespace platform
