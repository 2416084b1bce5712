#pragma once

#include <stdexcept>

namespace platform::json {

/// A value has no JSON form (a NaN or an infinite double).
struct EncodingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace platform::json
