#include "signature/signature_store.hpp"

#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"

#include <QObject>
#include <gtest/gtest.h>

namespace inkwarden {
namespace {

TEST(SignatureStoreTest, FilesLiveSixHundredSecondsAndCountChangesOnlyWhenItMoves) {
    testing_support::AppFoldersSandbox sandbox;
    testing_support::ManualScheduler scheduler;
    SignatureStore store(scheduler);
    int changes = 0;
    QObject::connect(&store, &SignatureStore::countChanged, [&] { ++changes; });

    auto first = store.save("one", "signature", "png");
    auto second = store.save("two", "signature", "png");
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.filename().string().starts_with("signature-"));
    EXPECT_EQ(first.extension(), ".png");
    EXPECT_EQ(store.count(), 2);
    EXPECT_EQ(changes, 2);
    store.refresh();
    EXPECT_EQ(changes, 2);  // unchanged: nobody told

    scheduler.advance(std::chrono::seconds(599));
    EXPECT_TRUE(std::filesystem::exists(first));
    scheduler.advance(std::chrono::seconds(1));
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_EQ(store.count(), 0);
}

TEST(SignatureStoreTest, RemoveAllCountsEntriesAndLeavesCountToRefresh) {
    testing_support::AppFoldersSandbox sandbox;
    testing_support::ManualScheduler scheduler;
    SignatureStore store(scheduler);
    EXPECT_EQ(SignatureStore::removeAll(), 0);  // no folder yet
    store.save("a", "stamp", "png");
    std::filesystem::create_directories(SignatureStore::folder() / "leftover");
    store.refresh();
    EXPECT_EQ(store.count(), 2);
    EXPECT_EQ(SignatureStore::removeAll(), 2);
    EXPECT_EQ(store.count(), 2);
    store.refresh();
    EXPECT_EQ(store.count(), 0);
    // A save after the folder went recreates it.
    std::filesystem::remove_all(SignatureStore::folder());
    EXPECT_TRUE(std::filesystem::exists(store.save("b", "stamp", "png")));
    scheduler.advance(SignatureStore::kLifetime);
    EXPECT_EQ(store.count(), 0);
}

TEST(SignatureStoreTest, DeletionsDueAfterTheStoreIsGoneDoNothingHarmful) {
    testing_support::AppFoldersSandbox sandbox;
    testing_support::ManualScheduler scheduler;
    std::filesystem::path file;
    {
        SignatureStore store(scheduler);
        file = store.save("a", "signature", "png");
    }
    scheduler.advance(SignatureStore::kLifetime);
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace inkwarden
