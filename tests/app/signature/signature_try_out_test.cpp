#include "signature/signature_try_out.hpp"

#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "support/qt_application.hpp"
#include "support/signing_fixtures.hpp"
#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace inkwarden {
namespace {

using namespace std::chrono_literals;

class NoWindow final : public RequestWindow {
public:
    void setCloseHandler(std::function<void()> handler) override { closeHandler = std::move(handler); }
    void show() override {}
    void close() override {}
    std::function<void()> closeHandler;
};

std::string stampPng() { return testing_support::imageBytes(40, 30, Qt::blue); }

const Strokes kInk = {{{10, 10}, {110, 60}}};

/// The try-outs on the test's own (Qt) thread, with windows the test answers by hand.
struct TryOutFixture : ::testing::Test {
    TryOutFixture() {
        testing_support::qtApplication();
        AppSettings::setCompanyText("Jane Doe");
        CompanyStamp::save(stampPng());
    }
    ~TryOutFixture() override { scheduler.advance(1h); }

    /// A file an AI client was handed a moment ago.
    void handOutFile() { store.save("earlier", "signature", "png"); }

    /// Answers the open window as the user would.
    void answer(std::optional<Answer> answer) {
        ASSERT_TRUE(finish);
        auto call = std::exchange(finish, nullptr);
        call(std::move(answer));
    }

    testing_support::AppFoldersSandbox folders;
    testing_support::ManualScheduler scheduler;
    SignatureStore store{scheduler};
    RequestGate gate{scheduler};
    std::vector<SignatureQuestion> questions;
    RequestGate::Finish<std::optional<Answer>> finish;
    SignatureCapture capture{gate, store, [this](SignatureQuestion question, RequestGate::Finish<std::optional<Answer>> done) {
                                 questions.push_back(std::move(question));
                                 finish = std::move(done);
                                 return std::make_unique<NoWindow>();
                             }};
    SignatureTryOut tryOut{capture, store};
};

using PanelTryOutTest = TryOutFixture;
using WelcomeTryOutTest = TryOutFixture;

TEST_F(PanelTryOutTest, SignedTryOutDeletesEveryFile) {
    handOutFile();
    std::optional<bool> worked;
    tryOut.fromPanel([&](bool result) { worked = result; });
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].client, "Inkwarden");
    EXPECT_EQ(questions[0].reason, "This is a test. Nothing is sent to your AI.");
    EXPECT_FALSE(questions[0].document);
    EXPECT_FALSE(questions[0].preview);
    EXPECT_EQ(questions[0].companyText, QString("Jane Doe"));
    EXPECT_TRUE(questions[0].stamp);
    EXPECT_TRUE(gate.isOpen());

    answer(Answer{kInk, QString("Jane Doe"), true});
    EXPECT_EQ(worked, true);
    EXPECT_FALSE(gate.isOpen());
    EXPECT_EQ(store.count(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(SignatureStore::folder()));
}

TEST_F(PanelTryOutTest, FailedTryOutKeepsTheFiles) {
    struct Case {
        const char* name;
        std::function<void(TryOutFixture&)> end;
    };
    const std::vector<Case> cases = {
        {"cancel", [](TryOutFixture& f) { f.answer(std::nullopt); }},
        {"no ink", [](TryOutFixture& f) { f.answer(Answer{{}, std::nullopt, false}); }},
        {"time-out", [](TryOutFixture& f) { f.scheduler.advance(300s); }},
    };
    handOutFile();
    for (const auto& test : cases) {
        std::optional<bool> worked;
        tryOut.fromPanel([&](bool result) { worked = result; });
        test.end(*this);
        EXPECT_EQ(worked, false) << test.name;
        EXPECT_FALSE(gate.isOpen()) << test.name;
        EXPECT_EQ(store.count(), 1) << test.name;
    }
}

TEST_F(PanelTryOutTest, BusyGateIsLeftAlone) {
    auto other = gate.admit();
    std::optional<bool> worked;
    tryOut.fromPanel([&](bool result) { worked = result; });
    EXPECT_EQ(worked, false);
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(gate.isOpen()) << "still held by the other request";
}

TEST_F(WelcomeTryOutTest, OffersNoCompanyOptionsAndAlwaysDeletesTheFiles) {
    struct Case {
        const char* name;
        bool busy;
        std::function<void(TryOutFixture&)> end;
    };
    const std::vector<Case> cases = {
        {"signed", false, [](TryOutFixture& f) { f.answer(Answer{kInk, std::nullopt, false}); }},
        {"cancelled", false, [](TryOutFixture& f) { f.answer(std::nullopt); }},
        {"busy", true, [](TryOutFixture&) {}},
    };
    for (const auto& test : cases) {
        questions.clear();
        handOutFile();
        std::optional<RequestGate::Ticket> other;
        if (test.busy) other.emplace(gate.admit());
        bool done = false;
        tryOut.fromWelcome([&] { done = true; });
        test.end(*this);
        EXPECT_TRUE(done) << test.name;
        EXPECT_EQ(store.count(), 0) << test.name;
        EXPECT_EQ(questions.size(), test.busy ? 0u : 1u) << test.name;
        if (!test.busy) {
            EXPECT_FALSE(questions[0].companyText) << test.name;
            EXPECT_FALSE(questions[0].stamp) << test.name;
            EXPECT_EQ(questions[0].client, "Inkwarden") << test.name;
        }
        EXPECT_EQ(gate.isOpen(), test.busy) << test.name;
    }
}

}  // namespace
}  // namespace inkwarden
