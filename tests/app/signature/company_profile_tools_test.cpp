#include "signature/company_profile_tools.hpp"

#include "host/host_status.hpp"
#include "platform/base64.hpp"
#include "platform/file_access.hpp"
#include "platform/json/parse.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "signature/signature_store.hpp"
#include "signature/tool_error.hpp"
#include "support/qt_application.hpp"
#include "support/run_async.hpp"
#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace inkwarden {
namespace {

using testing_support::runAsync;

/// Answers every question at once with `answer`, or refuses as a busy gate would.
class FakeApproval final : public Approval {
public:
    void ask(ApprovalQuestion question, Done done) override {
        if (busy) throw ToolError(RequestGate::busyText);
        questions.push_back(std::move(question));
        done(answer);
    }

    bool busy = false;
    GateOutcome<bool> answer{true, false};
    std::vector<ApprovalQuestion> questions;
};

std::string png(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct ProfileToolsFixture : ::testing::Test {
    ProfileToolsFixture() {
        CompanyProfileTools::install(tools, approval, [this](std::string_view line) { notes.emplace_back(line); });
    }
    ~ProfileToolsFixture() override {
        main.run([this] { store.reset(); });
    }

    Tools::Contents call(const std::string& name, Tools::Arguments arguments) {
        return runAsync([&]() -> boost::asio::awaitable<Tools::Contents> {
            co_return co_await tools.call(name, arguments, std::string("Claude"));
        });
    }

    /// The result object of a call that succeeded.
    boost::json::object result(const std::string& name, Tools::Arguments arguments) {
        auto contents = call(name, std::move(arguments));
        const auto& text = std::get<mcp::Tool::Content::Text>(contents.at(0).value).text;
        return platform::json::parse(text).as_object();
    }

    /// The ToolError text of a call that failed.
    std::string error(const std::string& name, Tools::Arguments arguments) {
        try {
            call(name, std::move(arguments));
        } catch (const ToolError& error) {
            return error.message();
        }
        return "(no error)";
    }

    static std::string storedStampBytes() {
        try {
            return readRegularFile(CompanyStamp::url());
        } catch (...) {
            return {};
        }
    }

    QApplication& app = testing_support::qtApplication();
    testing_support::AppFoldersSandbox folders;
    testing_support::TestMainThread main;
    testing_support::ManualScheduler scheduler;  // used on the main thread
    HostStatus status;
    std::unique_ptr<SignatureStore> store = main.run([this] { return std::make_unique<SignatureStore>(scheduler); });
    Tools tools{main, status, *store};
    FakeApproval approval;
    std::vector<std::string> notes;
};

struct CompanyTextTest : ProfileToolsFixture {};

TEST_F(CompanyTextTest, StoresTheTrimmedTextWithinTheLimits) {
    const std::string limits = "The company text can have at most 6 lines and 300 characters.";
    struct Case {
        const char* name;
        std::optional<mcp::Value> text;
        std::string stored;  // or the error
        bool refused;
    };
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";  // one character
    const Case cases[] = {
        {"Trimmed", mcp::Value("  \n Jane Doe\nCEO \n\n"), "Jane Doe\nCEO", false},
        {"Absent", std::nullopt, "", false},
        {"NotAString", mcp::Value(5), "", false},
        {"OnlyBlanks", mcp::Value(" \n \n\t"), "", false},
        {"ExactlyTheLimits", mcp::Value(std::string(290, 'a') + "\nb\nc\nd\ne\nf"), std::string(290, 'a') + "\nb\nc\nd\ne\nf", false},
        {"OneCharacterTooMany", mcp::Value(std::string(301, 'a')), limits, true},
        {"SevenLines", mcp::Value("a\nb\nc\nd\ne\nf\ng"), limits, true},
        // Empty lines count, as the stored text is read back: a seventh line would be cut there.
        {"EmptyLinesCount", mcp::Value("a\n\nb\n\nc\n\nd"), limits, true},
        {"LineOfSpaceCounts", mcp::Value("a\n \nb"), "a\n \nb", false},
        {"CrLfIsNoLineBreak", mcp::Value("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng"), "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng", false},
        {"EmojiSequenceIsOneCharacter", mcp::Value(family + std::string(299, 'a')), family + std::string(299, 'a'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings::setCompanyText("before");
        approval.questions.clear();
        Tools::Arguments arguments;
        if (c.text) arguments["text"] = *c.text;
        if (c.refused) {
            EXPECT_EQ(error("set_company_text", arguments), c.stored);
            EXPECT_TRUE(approval.questions.empty()) << "a window opened for a refused text";
            EXPECT_EQ(AppSettings::companyText(), "before");
            continue;
        }
        auto object = result("set_company_text", arguments);
        EXPECT_EQ(object.at("status"), "saved");
        EXPECT_EQ(object.at("company_text").as_string(), c.stored);
        EXPECT_EQ(AppSettings::companyText(), c.stored) << "what was approved must be what signatures print";
    }
}

TEST_F(CompanyTextTest, AsksToSetOrRemoveAndLogs) {
    AppSettings::setCompanyText("John Doe");
    result("set_company_text", {{"text", mcp::Value("Jane Doe")}});
    ASSERT_EQ(approval.questions.size(), 1u);
    const auto& set = approval.questions[0];
    EXPECT_EQ(set.title, "Claude wants to set your company text");
    EXPECT_EQ(set.detail, "It's printed under your signature when you sign for your company.");
    EXPECT_EQ(set.text, "Jane Doe");
    EXPECT_EQ(set.previousText, "John Doe");
    EXPECT_FALSE(set.image);
    EXPECT_FALSE(set.document);
    EXPECT_EQ(set.confirm, "Save");

    result("set_company_text", {});
    const auto& remove = approval.questions.at(1);
    EXPECT_EQ(remove.title, "Claude wants to remove your company text");
    EXPECT_EQ(remove.detail, "Company signatures will then have no text under them.");
    EXPECT_EQ(remove.text, "Jane Doe");
    EXPECT_FALSE(remove.previousText);
    EXPECT_EQ(remove.confirm, "Remove");

    EXPECT_EQ(notes, (std::vector<std::string>{"Company text set by Claude", "Company text removed by Claude"}));
}

TEST_F(CompanyTextTest, RefusalTimeOutAndBusyLeaveTheTextAlone) {
    AppSettings::setCompanyText("John Doe");
    approval.answer = {false, false};
    EXPECT_EQ(error("set_company_text", {{"text", mcp::Value("Jane")}}),
              "The user didn't approve the change. The company text is unchanged.");
    approval.answer = {false, true};
    EXPECT_EQ(error("set_company_text", {{"text", mcp::Value("Jane")}}), RequestGate::timeOutText);
    approval.busy = true;
    EXPECT_EQ(error("set_company_text", {{"text", mcp::Value("Jane")}}), RequestGate::busyText);
    EXPECT_EQ(AppSettings::companyText(), "John Doe");
    EXPECT_TRUE(notes.empty());
}

struct CompanyStampToolsTest : ProfileToolsFixture {};

TEST_F(CompanyStampToolsTest, SetStampReadsPathOrStrictBase64) {
    const auto red = png(40, 20, Qt::red);
    const auto inboxCopy = CompanyStamp::inbox() / "stamp.png";
    const auto elsewhere = folders.path() / "elsewhere.png";
    writeFile(elsewhere, red);
    const auto unreadable = (folders.path() / "missing.png").string();
    const auto sandboxed = "Inkwarden can't read " + unreadable + ": it's sandboxed. Copy the image into " +
                           CompanyStamp::inbox().string() + " and pass that path.";
    const auto base64 = platform::base64Encode(red);
    struct Case {
        const char* name;
        Tools::Arguments arguments;
        std::string error;  // empty: saved
    };
    const Case cases[] = {
        {"Base64", {{"png_base64", mcp::Value(base64)}}, ""},
        {"PathOutsideInbox", {{"path", mcp::Value(elsewhere.string())}}, ""},
        {"PathWinsOverBase64", {{"path", mcp::Value(unreadable)}, {"png_base64", mcp::Value(base64)}}, sandboxed},
        {"EmptyPathIsAbsent", {{"path", mcp::Value("")}, {"png_base64", mcp::Value(base64)}}, ""},
        {"Base64WithLineBreak", {{"png_base64", mcp::Value(base64.substr(0, 8) + "\n" + base64.substr(8))}}, "Pass path or png_base64."},
        {"Base64NotAString", {{"png_base64", mcp::Value(5)}}, "Pass path or png_base64."},
        {"Nothing", {}, "Pass path or png_base64."},
        {"NotAnImage", {{"png_base64", mcp::Value(platform::base64Encode("hello"))}},
         "That file isn't an image Inkwarden can read. Use a PNG or JPEG."},
        {"FolderAsPath", {{"path", mcp::Value(folders.path().string())}},
         "Inkwarden can't read " + folders.path().string() + ": it's sandboxed. Copy the image into " +
             CompanyStamp::inbox().string() + " and pass that path."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CompanyStamp::remove();
        approval.questions.clear();
        if (!c.error.empty()) {
            EXPECT_EQ(error("set_company_stamp", c.arguments), c.error);
            EXPECT_TRUE(approval.questions.empty());
            EXPECT_TRUE(storedStampBytes().empty());
            continue;
        }
        EXPECT_EQ(result("set_company_stamp", c.arguments).at("status"), "saved");
        ASSERT_EQ(approval.questions.size(), 1u);
        EXPECT_EQ(approval.questions[0].title, "Claude wants to set your company stamp");
        EXPECT_EQ(approval.questions[0].confirm, "Save");
        ASSERT_TRUE(approval.questions[0].image);
        EXPECT_EQ(approval.questions[0].image->size(), QSize(40, 20));
        EXPECT_EQ(storedStampBytes(), CompanyStamp::normalized(red));
    }
    EXPECT_TRUE(std::filesystem::exists(elsewhere)) << "a file outside the inbox was deleted";

    // An inbox copy is kept after a refusal and deleted after an approval.
    writeFile(inboxCopy, red);
    approval.answer = {false, false};
    EXPECT_EQ(error("set_company_stamp", {{"path", mcp::Value(inboxCopy.string())}}),
              "The user didn't approve the change. The company stamp is unchanged.");
    EXPECT_TRUE(std::filesystem::exists(inboxCopy));
    approval.answer = {true, false};
    result("set_company_stamp", {{"path", mcp::Value(inboxCopy.string())}});
    EXPECT_FALSE(std::filesystem::exists(inboxCopy));
}

TEST_F(CompanyStampToolsTest, SetStampAnnouncesTheChangeAndLogs) {
    int changes = 0;
    QObject::connect(&CompanyStamp::notifier(), &CompanyStampNotifier::changed, [&] { ++changes; });
    result("set_company_stamp", {{"png_base64", mcp::Value(platform::base64Encode(png(10, 10, Qt::blue)))}});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(notes, std::vector<std::string>{"Company stamp set by Claude"});
    QObject::disconnect(&CompanyStamp::notifier(), nullptr, nullptr, nullptr);
}

TEST_F(CompanyStampToolsTest, RemoveStampAsksOnlyWhenThereIsOne) {
    approval.busy = true;  // no window may be needed to tell that nothing is set up
    EXPECT_EQ(result("remove_company_stamp", {}).at("status"), "no stamp was set up");
    writeFile(CompanyStamp::url(), "not an image");
    EXPECT_EQ(result("remove_company_stamp", {}).at("status"), "no stamp was set up");
    writeFile(CompanyStamp::url(), png(30, 10, Qt::black));
    EXPECT_EQ(error("remove_company_stamp", {}), RequestGate::busyText);
    approval.busy = false;

    approval.answer = {false, false};
    EXPECT_EQ(error("remove_company_stamp", {}), "The user didn't approve the change. The company stamp is unchanged.");
    EXPECT_FALSE(storedStampBytes().empty());

    approval.answer = {true, false};
    EXPECT_EQ(result("remove_company_stamp", {}).at("status"), "removed");
    EXPECT_TRUE(storedStampBytes().empty());
    const auto& asked = approval.questions.back();
    EXPECT_EQ(asked.title, "Claude wants to remove your company stamp");
    EXPECT_EQ(asked.detail, "Inkwarden deletes its copy of the stamp.");
    EXPECT_EQ(asked.confirm, "Remove");
    EXPECT_EQ(asked.image->size(), QSize(30, 10));
    EXPECT_EQ(notes, std::vector<std::string>{"Company stamp removed by Claude"});
}

TEST_F(CompanyStampToolsTest, RequestStampHandsOutACopyAfterApproval) {
    approval.busy = true;
    EXPECT_EQ(error("request_stamp", {{"reason", mcp::Value("Lease")}}),
              "No company stamp is set up. The user can add one under Company Signature in the Inkwarden panel, or "
              "ask you to set it with set_company_stamp.");
    writeFile(CompanyStamp::url(), "not an image");
    EXPECT_EQ(error("request_stamp", {{"reason", mcp::Value("Lease")}}).substr(0, 30), "No company stamp is set up. Th");
    approval.busy = false;
    EXPECT_EQ(error("request_stamp", {{"reason", mcp::Value("")}}), "Missing reason");

    const auto stamp = png(30, 10, Qt::black);
    writeFile(CompanyStamp::url(), stamp);
    approval.answer = {false, false};
    EXPECT_EQ(error("request_stamp", {{"reason", mcp::Value("Lease")}}),
              "The user didn't approve the stamp. Don't ask again unless they tell you to.");
    EXPECT_EQ(main.run([this] { return store->count(); }), 0);

    approval.answer = {true, false};
    const std::string longDocument(2000, 'd');
    Tools::Arguments arguments{{"reason", mcp::Value(std::string(301, 'r'))}, {"document", mcp::Value(longDocument)}};
    auto contents = call("request_stamp", arguments);
    ASSERT_EQ(contents.size(), 2u);
    const auto& text = std::get<mcp::Tool::Content::Text>(contents[0].value).text;
    auto object = platform::json::parse(text).as_object();
    EXPECT_EQ(text.find("{\"deleted_after_seconds\":600,\"note\":\"Transparent background. Use it for this document "
                        "only.\",\"path\":\""),
              0u);
    EXPECT_EQ(object.at("status"), "approved");
    const auto& image = std::get<mcp::Tool::Content::Image>(contents[1].value);
    EXPECT_EQ(image.mimeType, "image/png");
    EXPECT_EQ(platform::base64Decode(image.data), stamp);
    EXPECT_EQ(readRegularFile(std::string(object.at("path").as_string())), stamp);

    const auto& asked = approval.questions.back();
    EXPECT_EQ(asked.title, "Claude asks for your company stamp");
    EXPECT_EQ(asked.detail, QString(300, 'r'));
    EXPECT_EQ(asked.document, QString::fromStdString(longDocument));
    EXPECT_EQ(asked.confirm, "Stamp");
    EXPECT_EQ(asked.image->size(), QSize(30, 10));

    // A document that is no string shows no document line; each approval makes its own copy.
    auto second = result("request_stamp", {{"reason", mcp::Value("Lease")}, {"document", mcp::Value(true)}});
    EXPECT_FALSE(approval.questions.back().document);
    EXPECT_NE(second.at("path"), object.at("path"));
    EXPECT_TRUE(notes.empty());
}

}  // namespace
}  // namespace inkwarden
