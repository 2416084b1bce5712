#include "platform/tray_panel.hpp"

#include <gtest/gtest.h>

namespace {

TEST(TrayPanelTest, PopupOpensBesideTheIconInsideTheScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QRect available(0, 32, 1920, 1048);  // a top bar of 32
    const QSize panel(320, 400);
    struct Case {
        const char* name;
        QRect area;
        QRect icon;
        QPoint corner;
    };
    const Case cases[] = {
        {"TopBarMiddle", available, {900, 4, 24, 24}, {911 - 160, 32}},
        {"TopBarRightEdge", available, {1890, 4, 24, 24}, {1600, 32}},
        {"BottomPanelLeftEdge", {0, 0, 1920, 1040}, {4, 1048, 24, 24}, {0, 1040 - 400}},
        {"IconLowOnATallPanel", screen, {10, 1000, 24, 24}, {0, 1000 - 4 - 400}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inkwarden::TrayPanel::popupPosition(c.icon, panel, c.area), c.corner);
    }
}

}  // namespace
