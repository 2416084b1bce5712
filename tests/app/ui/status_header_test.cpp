#include "ui/status_header.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using inkwarden::HostState;
using inkwarden::StatusDot;
using inkwarden::StatusHeader;

TEST(StatusHeaderTest, ShowsTheHostStateAsTextDotAndTooltip) {
    struct Case {
        const char* name;
        HostState state;
        int port;
        const char* line;
        bool green;
        const char* tooltip;
    };
    const Case cases[] = {
        {"Ready", {true, std::nullopt, std::nullopt}, 47292, "Ready for your AI", true, "Listening on 127.0.0.1:47292"},
        {"Connected", {true, std::nullopt, QStringLiteral("Claude Code")}, 8080, "Connected: Claude Code", true,
         "Listening on 127.0.0.1:8080"},
        {"Failed", {false, QStringLiteral("Port 47292: Address already in use"), std::nullopt}, 47292, "Not running",
         false, "Port 47292: Address already in use"},
        {"StoppedAfterAClient", {false, std::nullopt, QStringLiteral("Cursor")}, 47292, "Not running", false,
         "Listening on 127.0.0.1:47292"},
        {"LargePortHasNoGrouping", {true, std::nullopt, std::nullopt}, 65535, "Ready for your AI", true,
         "Listening on 127.0.0.1:65535"},
    };
    StatusHeader header;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        header.setHostState(c.state, c.port);
        EXPECT_EQ(header.findChild<QLabel*>("status")->text().toStdString(), c.line);
        EXPECT_EQ(header.toolTip().toStdString(), c.tooltip);
        const auto* dot = header.findChild<StatusDot*>("dot");
        EXPECT_EQ(dot->isRunning(), c.green);
        EXPECT_EQ(dot->color().green() > dot->color().red(), c.green);
    }
}

TEST(StatusHeaderTest, ALongClientNameStaysOnOneLineInsideThePanel) {
    StatusHeader header;
    header.setHostState({true, std::nullopt, QString(80, QChar('x'))}, 47292);
    header.resize(308, header.sizeHint().height());
    header.show();
    QCoreApplication::processEvents();
    const auto* status = header.findChild<QLabel*>("status");
    EXPECT_LE(status->geometry().right(), 308 - 8);
    EXPECT_LT(header.height(), 2 * status->fontMetrics().height() + 4);
    EXPECT_GE(header.findChild<QLabel*>("title")->width(), header.findChild<QLabel*>("title")->sizeHint().width());
}

}  // namespace
