#include "platform/uuid.hpp"

#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

namespace platform {

std::string makeUUIDString() {
    // One generator per thread: the generator is not safe to share.
    thread_local boost::uuids::random_generator generator;
    std::string text = boost::uuids::to_string(generator());
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace platform
