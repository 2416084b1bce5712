#include "platform/touchpad_evdev.hpp"

#if INKWARDEN_HAVE_LIBEVDEV

#include <QSocketNotifier>

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string_view>
#include <system_error>

#include "platform/touchpad_frame_decoder.hpp"

namespace inkwarden {

namespace {

// Enough for a burst; the notifier fires again for the rest, so the event loop keeps turning.
constexpr int kEventsPerWake = 4096;

// The numbered device nodes of the folder, in number order.
std::vector<std::filesystem::path> deviceNodes(const std::filesystem::path& folder) {
    std::vector<std::pair<unsigned, std::filesystem::path>> numbered;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const auto name = it->path().filename().string();
        constexpr std::string_view prefix = "event";
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        unsigned number = 0;
        const auto* first = name.data() + prefix.size();
        const auto* last = name.data() + name.size();
        auto [at, failure] = std::from_chars(first, last, number);
        if (failure != std::errc{} || at != last) continue;
        numbered.emplace_back(number, it->path());
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::filesystem::path> nodes;
    for (auto& [number, path] : numbered) nodes.push_back(std::move(path));
    return nodes;
}

bool isTouchpad(libevdev* device) {
    for (unsigned code : {ABS_MT_SLOT, ABS_MT_TRACKING_ID, ABS_MT_POSITION_X, ABS_MT_POSITION_Y}) {
        if (!libevdev_has_event_code(device, EV_ABS, code)) return false;
    }
    const auto* x = libevdev_get_abs_info(device, ABS_MT_POSITION_X);
    const auto* y = libevdev_get_abs_info(device, ABS_MT_POSITION_Y);
    return libevdev_has_property(device, INPUT_PROP_POINTER) && !libevdev_has_property(device, INPUT_PROP_DIRECT) &&
           x->maximum > x->minimum && y->maximum > y->minimum;
}

TouchpadFrameDecoder::Axis axis(libevdev* device, unsigned code) {
    const auto* info = libevdev_get_abs_info(device, code);
    return {info->minimum, info->maximum, info->resolution};
}

TouchpadFrameDecoder decoderFor(libevdev* device) {
    std::vector<TouchpadFrameDecoder::Slot> slots(static_cast<std::size_t>(std::max(libevdev_get_num_slots(device), 0)));
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const auto slot = static_cast<unsigned>(i);
        slots[i] = {libevdev_get_slot_value(device, slot, ABS_MT_TRACKING_ID),
                    libevdev_get_slot_value(device, slot, ABS_MT_POSITION_X),
                    libevdev_get_slot_value(device, slot, ABS_MT_POSITION_Y)};
    }
    return TouchpadFrameDecoder(axis(device, ABS_MT_POSITION_X), axis(device, ABS_MT_POSITION_Y), std::move(slots),
                                libevdev_get_current_slot(device));
}

}  // namespace

struct EvdevTouchpadSource::Device {
    int fd = -1;
    libevdev* evdev = nullptr;
    TouchpadFrameDecoder decoder;
    std::unique_ptr<QSocketNotifier> notifier;

    Device(int fd, libevdev* evdev) : fd(fd), evdev(evdev), decoder(decoderFor(evdev)) {}

    ~Device() {
        if (notifier) notifier->setEnabled(false);
        libevdev_grab(evdev, LIBEVDEV_UNGRAB);
        libevdev_free(evdev);
        ::close(fd);
    }

    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // The touchpad at `path`, taken for this program alone, or null.
    static std::unique_ptr<Device> open(const std::filesystem::path& path) {
        std::error_code error;
        if (!std::filesystem::is_character_file(path, error)) return nullptr;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return nullptr;
        libevdev* evdev = nullptr;
        if (libevdev_new_from_fd(fd, &evdev) < 0) {
            ::close(fd);
            return nullptr;
        }
        // Untaken, the fingers would also move the pointer and click wherever it goes.
        if (!isTouchpad(evdev) || libevdev_grab(evdev, LIBEVDEV_GRAB) < 0) {
            libevdev_free(evdev);
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<Device>(fd, evdev);
    }
};

EvdevTouchpadSource::EvdevTouchpadSource() = default;

EvdevTouchpadSource::~EvdevTouchpadSource() {
    stop();
}

bool EvdevTouchpadSource::start(Handler handler) {
    stop();
    retired_.clear();
    for (const auto& path : deviceNodes(devicesFolder)) {
        device_ = Device::open(path);
        if (device_) break;
    }
    if (!device_) return false;
    handler_ = std::move(handler);
    device_->notifier = std::make_unique<QSocketNotifier>(device_->fd, QSocketNotifier::Read);
    QObject::connect(device_->notifier.get(), &QSocketNotifier::activated, device_->notifier.get(), [this] { read(); });
    return true;
}

void EvdevTouchpadSource::stop() {
    ++generation_;
    handler_ = nullptr;
    if (!device_) return;
    device_->notifier->setEnabled(false);
    retired_.push_back(std::move(device_->notifier));
    device_.reset();
}

void EvdevTouchpadSource::read() {
    const auto generation = generation_;
    auto flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (int count = 0;; ++count) {
        // A resynchronisation is read to its end: leaving it half read would lose its changes.
        if (count >= kEventsPerWake && flags == LIBEVDEV_READ_FLAG_NORMAL) return;
        input_event event{};
        const int status = libevdev_next_event(device_->evdev, flags, &event);
        if (status == -EAGAIN) {
            if (flags == LIBEVDEV_READ_FLAG_NORMAL) return;
            flags = LIBEVDEV_READ_FLAG_NORMAL;
            continue;
        }
        if (status == LIBEVDEV_READ_STATUS_SYNC) {
            flags = LIBEVDEV_READ_FLAG_SYNC;
        } else if (status != LIBEVDEV_READ_STATUS_SUCCESS) {
            // Unplugged, or the device failed: the fingers down end here, and so does the source.
            deliver(device_->decoder.cancelAll(), generation);
            if (generation == generation_) stop();
            return;
        }
        deliver(device_->decoder.feed(event.type, event.code, event.value), generation);
        if (generation != generation_) return;
    }
}

void EvdevTouchpadSource::deliver(const std::vector<TouchpadTouch>& touches, unsigned long generation) {
    for (const auto& touch : touches) {
        if (generation != generation_ || !handler_) return;
        auto handler = handler_;  // the handler may stop this source
        handler(touch);
    }
}

std::unique_ptr<TouchpadSource> makeSystemTouchpadSource() {
    return std::make_unique<EvdevTouchpadSource>();
}

}  // namespace inkwarden

#else

namespace inkwarden {

std::unique_ptr<TouchpadSource> makeSystemTouchpadSource() {
    return nullptr;
}

}  // namespace inkwarden

#endif
