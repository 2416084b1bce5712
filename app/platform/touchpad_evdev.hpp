#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/touchpad_source.hpp"

class QSocketNotifier;

namespace inkwarden {

#if INKWARDEN_HAVE_LIBEVDEV

/// The touchpad read from the kernel's input devices: the first device that points (not a
/// screen) and reports multi-touch positions. Needs read access to the device nodes, which
/// desktops give to members of the "input" group. Main thread only; reads never block it.
class EvdevTouchpadSource final : public TouchpadSource {
public:
    EvdevTouchpadSource();
    ~EvdevTouchpadSource() override;

    /// Where the device nodes ("event0", "event1", ...) are looked for.
    std::filesystem::path devicesFolder = "/dev/input";

    /// Opens the touchpad afresh and takes it for this program alone (so a touchpad plugged in
    /// since the last capture is found too). False when none can be opened and taken.
    bool start(Handler handler) override;
    void stop() override;

private:
    struct Device;

    void read();
    void deliver(const std::vector<TouchpadTouch>& touches, unsigned long generation);

    Handler handler_;
    std::unique_ptr<Device> device_;
    std::vector<std::unique_ptr<QSocketNotifier>> retired_;  // may still be on the call stack
    unsigned long generation_ = 0;
};

#endif

}  // namespace inkwarden
