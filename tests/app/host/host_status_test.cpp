#include "host/host_status.hpp"

#include <gtest/gtest.h>

namespace inkwarden {
namespace {

TEST(HostStatusTest, ListenerStatesChangeFieldsAndSignalOnlyRealChanges) {
    HostStatus status;
    int running = 0, problem = 0, client = 0;
    QObject::connect(&status, &HostStatus::runningChanged, [&] { ++running; });
    QObject::connect(&status, &HostStatus::problemChanged, [&] { ++problem; });
    QObject::connect(&status, &HostStatus::lastClientChanged, [&] { ++client; });

    status.update(HostStatus::ListenerState::failed, 47292, "Address already in use");
    EXPECT_FALSE(status.running());
    EXPECT_EQ(status.problem(), "Port 47292: Address already in use");
    EXPECT_EQ(problem, 1);
    EXPECT_EQ(running, 0);  // it was false already

    status.update(HostStatus::ListenerState::ready, 47292);
    status.update(HostStatus::ListenerState::ready, 47292);
    EXPECT_TRUE(status.running());
    EXPECT_EQ(status.problem(), std::nullopt);
    EXPECT_EQ(running, 1);
    EXPECT_EQ(problem, 2);

    status.setProblem("later");
    status.update(HostStatus::ListenerState::cancelled, 47292);
    EXPECT_FALSE(status.running());
    EXPECT_EQ(status.problem(), "later");  // cancelling keeps the problem
    EXPECT_EQ(running, 2);

    EXPECT_EQ(status.name(std::nullopt), "Your AI");
    status.setLastClient("Writer");
    status.setLastClient("Writer");
    EXPECT_EQ(client, 1);
    EXPECT_EQ(status.name(std::nullopt), "Writer");
    EXPECT_EQ(status.name("Other"), "Other");
}

}  // namespace
}  // namespace inkwarden
