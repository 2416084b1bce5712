#include "platform/touchpad_evdev.hpp"

#include <gtest/gtest.h>

#if INKWARDEN_HAVE_LIBEVDEV

#include <QTest>

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"

namespace {

using inkwarden::EvdevTouchpadSource;
using inkwarden::TouchpadTouch;
using Phase = TouchpadTouch::Phase;
using testing_support::TemporaryFolder;

constexpr int kWaitMs = 10000;

/// A touchpad made through uinput: 100 x 60 mm, 10 units per millimetre.
class VirtualTouchpad {
public:
    /// Null where this machine cannot make one; `reason` then says why.
    static std::unique_ptr<VirtualTouchpad> make(std::string& reason) {
        const int fd = ::open("/dev/uinput", O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            reason = std::string("/dev/uinput cannot be opened: ") + std::strerror(errno);
            return nullptr;
        }
        auto pad = std::unique_ptr<VirtualTouchpad>(new VirtualTouchpad(fd));
        const int status = libevdev_uinput_create_from_device(pad->description_, fd, &pad->device_);
        if (status < 0) {
            reason = std::string("no virtual device: ") + std::strerror(-status);
            return nullptr;
        }
        const char* node = libevdev_uinput_get_devnode(pad->device_);
        if (!node || !QTest::qWaitFor([node] { return std::filesystem::exists(node); }, kWaitMs)) {
            reason = "the virtual device has no node in /dev/input";
            return nullptr;
        }
        pad->node_ = node;
        return pad;
    }

    ~VirtualTouchpad() {
        unplug();
        libevdev_free(description_);
        ::close(fd_);
    }

    void write(const std::vector<input_event>& events) {
        for (const auto& e : events) libevdev_uinput_write_event(device_, e.type, e.code, e.value);
    }

    void unplug() {
        if (device_) libevdev_uinput_destroy(device_);
        device_ = nullptr;
    }

    const std::string& node() const { return node_; }

private:
    explicit VirtualTouchpad(int fd) : fd_(fd), description_(libevdev_new()) {
        libevdev_set_name(description_, "inkwarden test touchpad");
        libevdev_enable_property(description_, INPUT_PROP_POINTER);
        libevdev_enable_property(description_, INPUT_PROP_BUTTONPAD);
        for (unsigned key : {BTN_LEFT, BTN_TOUCH, BTN_TOOL_FINGER}) libevdev_enable_event_code(description_, EV_KEY, key, nullptr);
        const input_absinfo x{0, 0, 1000, 0, 0, 10};
        const input_absinfo y{0, 0, 600, 0, 0, 10};
        const input_absinfo slots{0, 0, 4, 0, 0, 0};
        const input_absinfo ids{0, 0, 65535, 0, 0, 0};
        libevdev_enable_event_code(description_, EV_ABS, ABS_X, &x);
        libevdev_enable_event_code(description_, EV_ABS, ABS_Y, &y);
        libevdev_enable_event_code(description_, EV_ABS, ABS_MT_SLOT, &slots);
        libevdev_enable_event_code(description_, EV_ABS, ABS_MT_TRACKING_ID, &ids);
        libevdev_enable_event_code(description_, EV_ABS, ABS_MT_POSITION_X, &x);
        libevdev_enable_event_code(description_, EV_ABS, ABS_MT_POSITION_Y, &y);
    }

    int fd_;
    libevdev* description_;
    libevdev_uinput* device_ = nullptr;
    std::string node_;
};

input_event event(unsigned type, unsigned code, int value) {
    input_event e{};
    e.type = static_cast<unsigned short>(type);
    e.code = static_cast<unsigned short>(code);
    e.value = value;
    return e;
}

const input_event kReport = event(EV_SYN, SYN_REPORT, 0);

// True when another reader can take the device for itself, i.e. nobody holds it.
bool canGrab(const std::string& node) {
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool grabbed = ::ioctl(fd, EVIOCGRAB, 1) == 0;
    if (grabbed) ::ioctl(fd, EVIOCGRAB, 0);
    ::close(fd);
    return grabbed;
}

TEST(EvdevTouchpadSourceTest, NoTouchpadWhereNoDeviceNodeIsOne) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "empty");
    std::filesystem::create_directories(folder / "files");
    std::ofstream(folder / "files" / "event0") << "not a device";
    std::filesystem::create_directories(folder / "other");
    std::filesystem::create_symlink("/dev/null", folder / "other" / "event0");
    struct Case {
        const char* name;
        std::filesystem::path devices;
    };
    const Case cases[] = {
        {"MissingFolder", folder / "missing"},
        {"EmptyFolder", folder / "empty"},
        {"ARegularFile", folder / "files"},
        {"ADeviceThatIsNoInput", folder / "other"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EvdevTouchpadSource source;
        source.devicesFolder = c.devices;
        bool reported = false;
        EXPECT_FALSE(source.start([&](const TouchpadTouch&) { reported = true; }));
        source.stop();
        EXPECT_FALSE(reported);
    }
}

class EvdevVirtualTouchpadTest : public testing::Test {
protected:
    void SetUp() override {
        testing_support::qtApplication();
        std::string reason;
        pad = VirtualTouchpad::make(reason);
        if (!pad) GTEST_SKIP() << "no virtual touchpad on this machine (" << reason << ")";
        std::filesystem::create_symlink(pad->node(), folder / "event3");
        source.devicesFolder = folder.path();
    }

    bool startCollecting() {
        return source.start([this](const TouchpadTouch& touch) { touches.push_back(touch); });
    }

    bool waitForTouches(std::size_t count) {
        return QTest::qWaitFor([&] { return touches.size() >= count; }, kWaitMs);
    }

    TemporaryFolder folder;
    std::unique_ptr<VirtualTouchpad> pad;
    EvdevTouchpadSource source;
    std::vector<TouchpadTouch> touches;
};

TEST_F(EvdevVirtualTouchpadTest, ReportsFingersAndHoldsTheTouchpadOnlyWhileStarted) {
    ASSERT_TRUE(canGrab(pad->node()));
    ASSERT_TRUE(startCollecting());
    EXPECT_FALSE(canGrab(pad->node())) << "the touchpad must be this program's alone";

    pad->write({event(EV_ABS, ABS_MT_SLOT, 0), event(EV_ABS, ABS_MT_TRACKING_ID, 11),
                event(EV_ABS, ABS_MT_POSITION_X, 250), event(EV_ABS, ABS_MT_POSITION_Y, 450),
                event(EV_KEY, BTN_TOUCH, 1), kReport});
    pad->write({event(EV_ABS, ABS_MT_POSITION_X, 500), kReport});
    pad->write({event(EV_ABS, ABS_MT_TRACKING_ID, -1), event(EV_KEY, BTN_TOUCH, 0), kReport});
    ASSERT_TRUE(waitForTouches(3));

    const QSizeF size(100, 60);
    const std::vector<TouchpadTouch> expected = {{Phase::began, 11, {0.25, 0.25}, size},
                                                 {Phase::moved, 11, {0.5, 0.25}, size},
                                                 {Phase::ended, 11, {0.5, 0.25}, size}};
    EXPECT_EQ(touches, expected);

    source.stop();
    EXPECT_TRUE(canGrab(pad->node())) << "given back at the end";
    pad->write({event(EV_ABS, ABS_MT_TRACKING_ID, 12), kReport});
    QCoreApplication::processEvents();
    EXPECT_EQ(touches.size(), 3u) << "nothing after stop";
}

TEST_F(EvdevVirtualTouchpadTest, UnpluggingCancelsTheFingerDown) {
    ASSERT_TRUE(startCollecting());
    pad->write({event(EV_ABS, ABS_MT_TRACKING_ID, 4), event(EV_ABS, ABS_MT_POSITION_X, 1000), kReport});
    ASSERT_TRUE(waitForTouches(1));
    pad->unplug();
    ASSERT_TRUE(waitForTouches(2));
    EXPECT_EQ(touches[1].phase, Phase::cancelled);
    EXPECT_EQ(touches[1].finger, 4);
}

TEST_F(EvdevVirtualTouchpadTest, ATouchpadHeldByAnotherProgramIsNotUsed) {
    // Untaken, the fingers would also move the pointer and click wherever it went.
    const int other = ::open(pad->node().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::ioctl(other, EVIOCGRAB, 1), 0);
    EXPECT_FALSE(startCollecting());
    ::ioctl(other, EVIOCGRAB, 0);
    ::close(other);
    EXPECT_TRUE(startCollecting());
}

}  // namespace

#endif
