#include "platform/uuid.hpp"

#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace platform {

namespace {

// Random bytes drawn from the system's generator a page at a time: one system call per 256
// identifiers instead of one each, with the same unpredictability. One pool per thread, so no lock.
class RandomPool {
public:
    void fill(std::uint8_t* out, std::size_t count) {
        while (count > 0) {
            if (next_ == bytes_.size()) refill();
            std::size_t n = std::min(count, bytes_.size() - next_);
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = bytes_[next_ + i];
                bytes_[next_ + i] = 0;  // a byte handed out is never handed out again
            }
            next_ += n;
            out += n;
            count -= n;
        }
    }

private:
    void refill() {
        if (RAND_bytes(bytes_.data(), static_cast<int>(bytes_.size())) != 1) {
            throw std::runtime_error("The system's random number generator failed");
        }
        next_ = 0;
    }

    std::array<std::uint8_t, 4096> bytes_{};
    std::size_t next_ = bytes_.size();
};

}  // namespace

std::string makeUUIDString() {
    thread_local RandomPool pool;
    std::array<std::uint8_t, 16> bytes;
    pool.fill(bytes.data(), bytes.size());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace platform
