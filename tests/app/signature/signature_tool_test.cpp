#include "signature/signature_tool.hpp"

#include "host/host_status.hpp"
#include "platform/base64.hpp"
#include "platform/file_access.hpp"
#include "platform/json/parse.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "signature/tool_error.hpp"
#include "support/qt_application.hpp"
#include "support/run_async.hpp"
#include "support/signing_fixtures.hpp"
#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"

#include <gtest/gtest.h>


#include <atomic>
#include <fstream>
#include <future>
#include <regex>

namespace inkwarden {
namespace {

using namespace std::chrono_literals;
using testing_support::runAsync;

std::string stampPng() { return testing_support::imageBytes(80, 50, Qt::blue); }

using testing_support::pdfOfPages;

std::string locked(const std::string& pdf) { return testing_support::encryptedPdf(pdf, "secret"); }

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

/// A signature window that only records what it was asked and runs the test's script once shown.
class FakeWindow final : public RequestWindow {
public:
    explicit FakeWindow(std::function<void()> onShow) : onShow_(std::move(onShow)) {}
    void setCloseHandler(std::function<void()> handler) override { closeHandler = std::move(handler); }
    void show() override {
        if (onShow_) onShow_();
    }
    void close() override { closed = true; }

    std::function<void()> closeHandler;
    bool closed = false;

private:
    std::function<void()> onShow_;
};

/// What the window was shown.
struct Shown {
    QString client;
    QString reason;
    std::optional<QString> document;
    std::optional<int> previewPage;
    std::optional<int> previewPages;
    std::optional<QString> companyText;
    bool stamp = false;
};

const Strokes kInk = {{{10, 10}, {110, 60}}};

struct SignatureToolFixture : ::testing::Test {
    using Script = std::function<void(const SignatureQuestion&, RequestGate::Finish<std::optional<Answer>>, FakeWindow&)>;

    SignatureToolFixture() {
        testing_support::qtApplication();
        SignatureTool::install(tools, capture);
    }
    ~SignatureToolFixture() override {
        main.run([this] {
            scheduler.advance(1h);
            store.reset();
        });
    }

    /// The window answers with `answer` as soon as it is shown.
    static Script answering(std::function<std::optional<Answer>(const SignatureQuestion&)> answer) {
        return [answer](const SignatureQuestion& question, auto finish, FakeWindow&) { finish(answer(question)); };
    }
    static Script signing(Strokes strokes = kInk, bool keepText = true, bool keepStamp = true) {
        return answering([=](const SignatureQuestion& question) {
            return std::optional<Answer>(Answer{strokes, keepText ? question.companyText : std::nullopt,
                                                keepStamp && question.stamp.has_value()});
        });
    }

    std::unique_ptr<RequestWindow> makeWindow(SignatureQuestion question, RequestGate::Finish<std::optional<Answer>> finish) {
        Shown seen{question.client, question.reason, question.document, std::nullopt, std::nullopt,
                   question.companyText, question.stamp.has_value()};
        if (question.preview) {
            seen.previewPage = question.preview->page();
            seen.previewPages = question.preview->pageCount();
        }
        shown.push_back(seen);
        lastFinish = finish;
        auto window = std::make_unique<FakeWindow>([this, run = script, question, finish] {
            // Later, as a user would answer once the window is up.
            main.post([this, run, question, finish] { run(question, finish, *openWindow); });
        });
        openWindow = window.get();
        windowShown = true;
        return window;
    }

    Tools::Contents call(Tools::Arguments arguments) {
        return runAsync([&]() -> boost::asio::awaitable<Tools::Contents> {
            co_return co_await tools.call("request_signature", arguments, std::string("Claude"));
        });
    }

    boost::json::object result(Tools::Arguments arguments) {
        auto contents = call(std::move(arguments));
        EXPECT_EQ(contents.size(), 2u);
        const auto& image = std::get<mcp::Tool::Content::Image>(contents.at(1).value);
        EXPECT_EQ(image.mimeType, "image/png");
        lastImage = platform::base64Decode(image.data).value_or("");
        const auto& text = std::get<mcp::Tool::Content::Text>(contents.at(0).value).text;
        return platform::json::parse(text).as_object();
    }

    std::string error(Tools::Arguments arguments) {
        try {
            call(std::move(arguments));
        } catch (const ToolError& error) {
            return error.message();
        }
        return "(no error)";
    }

    bool gateOpen() {
        return main.run([this] { return gate.isOpen(); });
    }

    static Tools::Arguments reason(Tools::Arguments more = {}) {
        more["reason"] = mcp::Value("Lease for the flat");
        return more;
    }

    testing_support::AppFoldersSandbox folders;
    testing_support::TestMainThread main;
    testing_support::ManualScheduler scheduler;  // used on the main thread
    HostStatus status;
    std::unique_ptr<SignatureStore> store = main.run([this] { return std::make_unique<SignatureStore>(scheduler); });
    Tools tools{main, status, *store};
    RequestGate gate{scheduler};
    SignatureCapture capture{gate, *store, [this](SignatureQuestion question, RequestGate::Finish<std::optional<Answer>> finish) {
                                 return makeWindow(std::move(question), std::move(finish));
                             }};
    Script script = signing();
    std::vector<Shown> shown;
    FakeWindow* openWindow = nullptr;
    std::atomic<bool> windowShown = false;
    RequestGate::Finish<std::optional<Answer>> lastFinish;
    std::string lastImage;
};

using RequestSignatureTest = SignatureToolFixture;

std::vector<std::string> keys(const boost::json::object& object) {
    std::vector<std::string> out;
    for (const auto& entry : object) out.emplace_back(entry.key());
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(RequestSignatureTest, PlainSignatureIsSavedAndReturned) {
    const auto answer = result(reason());
    EXPECT_EQ(keys(answer), (std::vector<std::string>{"deleted_after_seconds", "height", "note", "path", "status", "width"}));
    EXPECT_EQ(answer.at("status"), "signed");
    EXPECT_EQ(answer.at("deleted_after_seconds"), 600);
    EXPECT_EQ(answer.at("note"), "Black ink on a transparent background. Use it for this document only.");
    EXPECT_EQ(answer.at("width"), 360);
    EXPECT_EQ(answer.at("height"), 210);
    const std::filesystem::path path(std::string(answer.at("path").as_string()));
    EXPECT_EQ(path.parent_path(), SignatureStore::folder());
    EXPECT_TRUE(std::regex_match(path.filename().string(), std::regex("signature-[0-9A-F]{8}\\.png")));
    EXPECT_EQ(readRegularFile(path), lastImage);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].client, "Claude");
    EXPECT_EQ(shown[0].reason, "Lease for the flat");
    EXPECT_FALSE(shown[0].document);
    EXPECT_FALSE(shown[0].companyText);
    EXPECT_FALSE(shown[0].stamp);
    EXPECT_FALSE(gateOpen());
    // Deleted ten minutes later.
    main.run([this] { scheduler.advance(600s); });
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(RequestSignatureTest, CompanyTextAndStampFollowWhatIsSetUpAndKept) {
    const std::string text = "Jane Doe\nManaging Director";
    const auto stamp = stampPng();
    struct Case {
        const char* name;
        bool companyFlag, stampFlag;
        bool textSetUp, stampSetUp;
        bool keepText, keepStamp;
        std::map<std::string, std::string> expected;  // key -> value ("*" for a path)
        bool offeredText, offeredStamp;
    };
    const std::string noText = SignatureTool::kNoCompanyText;
    const std::string noStamp = SignatureTool::kNoStamp;
    const std::vector<Case> cases = {
        {"not asked", false, false, true, true, true, true, {}, false, false},
        {"text asked, none set up", true, false, false, true, true, true, {{"company_text_note", noText}}, false, false},
        {"text kept", true, false, true, false, true, true, {{"company_text", text}}, true, false},
        {"text left out", true, false, true, false, false, true,
         {{"company_text_note", SignatureTool::kCompanyTextDeclined}}, true, false},
        {"stamp asked, none set up", false, true, true, false, true, true, {{"stamp_note", noStamp}}, false, false},
        {"stamp kept", false, true, false, true, true, true, {{"stamp_path", "*"}}, false, true},
        {"stamp left out", false, true, false, true, true, false, {{"stamp_note", SignatureTool::kStampDeclined}}, false,
         true},
        {"both kept", true, true, true, true, true, true, {{"company_text", text}, {"stamp_path", "*"}}, true, true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        AppSettings::setCompanyText(test.textSetUp ? text : "");
        if (test.stampSetUp)
            CompanyStamp::save(stamp);
        else
            CompanyStamp::remove();
        script = signing(kInk, test.keepText, test.keepStamp);
        shown.clear();
        Tools::Arguments arguments = reason();
        if (test.companyFlag) arguments["company"] = mcp::Value(true);
        if (test.stampFlag) arguments["stamp"] = mcp::Value(true);
        const auto answer = result(arguments);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].companyText.has_value(), test.offeredText);
        EXPECT_EQ(shown[0].stamp, test.offeredStamp);
        EXPECT_EQ(answer.size(), 6 + test.expected.size());
        for (const auto& [key, value] : test.expected) {
            ASSERT_TRUE(answer.contains(key)) << key;
            if (value != "*") {
                EXPECT_EQ(answer.at(key).as_string(), value) << key;
                continue;
            }
            const std::filesystem::path path(std::string(answer.at(key).as_string()));
            EXPECT_TRUE(std::regex_match(path.filename().string(), std::regex("stamp-[0-9A-F]{8}\\.png")));
            EXPECT_EQ(readRegularFile(path), stamp) << "the stored stamp, unchanged";
        }
        // A kept caption makes the image taller than the bare ink.
        EXPECT_EQ(answer.at("height").as_int64() > 210, answer.contains("company_text"));
    }
}

TEST_F(RequestSignatureTest, StoredStampThatIsNoImageCountsAsNone) {
    // The window cannot show it, so the user never had the choice to leave it out.
    writeFile(CompanyStamp::url(), "not an image");
    Tools::Arguments arguments = reason();
    arguments["stamp"] = mcp::Value(true);
    const auto answer = result(arguments);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0].stamp);
    EXPECT_EQ(answer.at("stamp_note"), SignatureTool::kNoStamp);
    EXPECT_FALSE(answer.contains("stamp_path"));
}

TEST_F(RequestSignatureTest, UnansweredWindowsAndEmptyInkFailAndFreeTheGate) {
    struct Case {
        const char* name;
        Script script;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"cancel", answering([](const SignatureQuestion&) { return std::optional<Answer>(); }), RequestGate::cancelText},
        {"close button", [](const SignatureQuestion&, auto, FakeWindow& window) { window.closeHandler(); },
         RequestGate::cancelText},
        {"nobody answers", [this](const SignatureQuestion&, auto, FakeWindow&) { scheduler.advance(300s); },
         RequestGate::timeOutText},
        {"no strokes", signing({}), SignatureCapture::kEmptyText},
        {"only empty strokes", signing({{}, {}}), SignatureCapture::kEmptyText},
    };
    for (const auto& test : cases) {
        script = test.script;
        EXPECT_EQ(error(reason()), test.error) << test.name;
        EXPECT_FALSE(gateOpen()) << test.name;
        EXPECT_EQ(main.run([this] { return store->count(); }), 0) << test.name;
    }
    // The gate is free: the next request is shown and signed.
    script = signing();
    EXPECT_EQ(result(reason()).at("status"), "signed");
}

TEST_F(RequestSignatureTest, ArgumentErrorsComeBeforeAnyWindow) {
    const auto inbox = Tools::pathText(CompanyStamp::inbox());
    writeFile(CompanyStamp::inbox() / "locked.pdf", locked(pdfOfPages(2)));
    writeFile(CompanyStamp::inbox() / "notes.txt", "plain words");
    struct Case {
        const char* name;
        Tools::Arguments arguments;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"no reason", {}, "Missing reason"},
        {"empty reason", {{"reason", mcp::Value("")}}, "Missing reason"},
        {"unreadable file", reason({{"document_path", mcp::Value("~/no/such/file.pdf")}}),
         "Inkwarden can't read ~/no/such/file.pdf: it's sandboxed. Copy the document into " + inbox +
             " and pass that path, or leave out document_path."},
        {"locked PDF", reason({{"document_path", mcp::Value(Tools::pathText(CompanyStamp::inbox() / "locked.pdf"))}}),
         DocumentPreview::kLockedText},
        {"not a document", reason({{"document_path", mcp::Value(Tools::pathText(CompanyStamp::inbox() / "notes.txt"))}}),
         DocumentPreview::kUnreadableText},
    };
    for (const auto& test : cases) EXPECT_EQ(error(test.arguments), test.error) << test.name;
    EXPECT_TRUE(shown.empty());
    // The inbox copies went, even though they could not be shown.
    EXPECT_FALSE(std::filesystem::exists(CompanyStamp::inbox() / "locked.pdf"));
    EXPECT_FALSE(std::filesystem::exists(CompanyStamp::inbox() / "notes.txt"));
}

TEST_F(RequestSignatureTest, DocumentIsShownByNameAndOnItsPage) {
    const auto pdf = pdfOfPages(4);
    struct Case {
        const char* name;
        Tools::Arguments more;
        std::optional<QString> document;
        std::optional<int> page;
    };
    const auto file = CompanyStamp::inbox() / "lease 2026.pdf";
    const auto path = Tools::pathText(file);
    const std::vector<Case> cases = {
        {"name only", {{"document", mcp::Value("Lease")}}, QString("Lease"), std::nullopt},
        {"empty name is kept", {{"document", mcp::Value("")}}, QString(""), std::nullopt},
        {"name not a string", {{"document", mcp::Value(3)}}, std::nullopt, std::nullopt},
        {"file gives its name", {{"document_path", mcp::Value(path)}}, QString("lease 2026.pdf"), 1},
        {"file on a page", {{"document_path", mcp::Value(path)}, {"page", mcp::Value(3.7)}}, QString("lease 2026.pdf"), 3},
        {"page past the end", {{"document_path", mcp::Value(path)}, {"page", mcp::Value(9)}}, QString("lease 2026.pdf"), 4},
        {"given name wins", {{"document_path", mcp::Value(path)}, {"document", mcp::Value("Lease")}}, QString("Lease"), 1},
        {"empty path is no document", {{"document_path", mcp::Value("")}}, std::nullopt, std::nullopt},
    };
    for (const auto& test : cases) {
        writeFile(file, pdf);
        shown.clear();
        EXPECT_EQ(result(reason(test.more)).at("status"), "signed") << test.name;
        ASSERT_EQ(shown.size(), 1u) << test.name;
        EXPECT_EQ(shown[0].document, test.document) << test.name;
        EXPECT_EQ(shown[0].previewPage, test.page) << test.name;
        if (test.page) {
            EXPECT_EQ(shown[0].previewPages, 4) << test.name;
            EXPECT_FALSE(std::filesystem::exists(file)) << test.name << ": the inbox copy is deleted";
        }
    }
}

TEST_F(RequestSignatureTest, SecondRequestWhileTheWindowIsOpenIsBusy) {
    script = [](const SignatureQuestion&, auto, FakeWindow&) {};  // the user takes their time
    auto first = std::async(std::launch::async, [this] { return result(reason()); });
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!windowShown && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_TRUE(windowShown);

    EXPECT_EQ(error(reason()), RequestGate::busyText);
    EXPECT_TRUE(gateOpen());
    EXPECT_EQ(shown.size(), 1u);

    // The first window is undisturbed and still answers.
    main.run([this] { lastFinish(Answer{kInk, std::nullopt, false}); });
    ASSERT_EQ(first.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(first.get().at("status"), "signed");
    EXPECT_FALSE(gateOpen());
}

}  // namespace
}  // namespace inkwarden
