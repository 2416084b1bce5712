#include "signature/document_signing_tools.hpp"

#include "pdf_fixtures.hpp"
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

#include <gtest/gtest.h>


#include <fstream>

namespace inkwarden {
namespace {

using testing::FixturePage;
using testing::pngBytes;
using testing::makePdf;
using testing_support::runAsync;

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

/// What the scripted user does once the window is shown.
enum class Act { sign, cancel, close, wait, answerNothing, answerEmpty, signWithoutPicture };

/// The document signing window with a scripted user in place of a person.
class ScriptedWindow final : public RequestWindow {
public:
    void setCloseHandler(std::function<void()> handler) override { closeHandler = std::move(handler); }
    void show() override { act(); }
    void close() override {}

    std::function<void()> act;
    std::function<void()> closeHandler;
};

struct DocumentSigningFixture : ::testing::Test {
    DocumentSigningFixture() { DocumentSigningTools::install(tools, signing); }
    ~DocumentSigningFixture() override {
        main.run([this] {
            shown.clear();
            store.reset();
        });
    }

    std::unique_ptr<RequestWindow> makeWindow(DocumentSigningContent content, DocumentSigning::OnAnswer onAnswer) {
        auto window = std::make_unique<ScriptedWindow>();
        auto* raw = window.get();
        auto shared = std::make_shared<DocumentSigningContent>(std::move(content));
        raw->act = [this, raw, shared, onAnswer] {
            shown.push_back(shared);
            switch (act) {
            case Act::sign:
            case Act::signWithoutPicture: {
                std::vector<DocumentState> states;
                for (const auto& job : shared->jobs) states.push_back(DocumentState::initial(job));
                for (auto k : leaveOut) states.at(k).include = false;
                SigningChoices choices{RenderedSignature{pngBytes(testing::solidImage(690, 240, Qt::red)), 690, 240, 0.75},
                                       shared->companyText.has_value(), shared->stamp};
                auto outcome = SigningAction::sign(shared->jobs, states, choices);
                if (act == Act::signWithoutPicture)
                    for (auto& answer : *outcome.answers)
                        if (answer) answer->pagePNG.reset();
                onAnswer(std::move(outcome.answers));
                break;
            }
            case Act::cancel: onAnswer(std::nullopt); break;
            case Act::close: main.post([raw] { raw->closeHandler(); }); break;
            case Act::wait: main.post([this] { scheduler.advance(gate.timeout); }); break;
            case Act::answerNothing: onAnswer(SigningAnswers{std::nullopt}); break;
            case Act::answerEmpty: onAnswer(SigningAnswers{}); break;
            }
        };
        return window;
    }

    Tools::Contents call(const std::string& name, Tools::Arguments arguments) {
        return runAsync([&]() -> boost::asio::awaitable<Tools::Contents> {
            co_return co_await tools.call(name, arguments, std::string("Claude"));
        });
    }

    std::string error(const std::string& name, Tools::Arguments arguments) {
        try {
            call(name, std::move(arguments));
        } catch (const ToolError& error) {
            return error.message();
        }
        return "(no error)";
    }

    static std::string text(const Tools::Contents& contents) {
        return std::get<mcp::Tool::Content::Text>(contents.at(0).value).text;
    }

    /// A one-page PDF in the inbox (or `folder`) named `name`; its path.
    std::string document(const std::string& name, std::optional<std::filesystem::path> folder = std::nullopt) {
        FixturePage page;
        page.text = "Agreement";
        auto path = folder.value_or(CompanyStamp::inbox()) / name;
        writeFile(path, makePdf({page}));
        return path.string();
    }

    static mcp::Value entry(const std::string& path) { return mcp::Value(mcp::Value::Object{{"document_path", mcp::Value(path)}}); }

    static Tools::Arguments many(mcp::Value::Array documents) {
        return {{"reason", mcp::Value("Lease renewal")}, {"documents", mcp::Value(std::move(documents))}};
    }

    QApplication& app = testing_support::qtApplication();
    testing_support::AppFoldersSandbox folders;
    testing_support::TestMainThread main;
    testing_support::ManualScheduler scheduler;  // used on the main thread
    RequestGate gate{scheduler};
    HostStatus status;
    std::unique_ptr<SignatureStore> store = main.run([this] { return std::make_unique<SignatureStore>(scheduler); });
    Tools tools{main, status, *store};
    int cacheClears = 0;
    DocumentSigning signing{gate, status,
                            [this](DocumentSigningContent content, DocumentSigning::OnAnswer onAnswer) {
                                return makeWindow(std::move(content), std::move(onAnswer));
                            },
                            [this] { ++cacheClears; }};
    Act act = Act::sign;
    std::vector<std::size_t> leaveOut;
    std::vector<std::shared_ptr<DocumentSigningContent>> shown;  // main thread
};

struct SignDocumentsTest : DocumentSigningFixture {};

TEST_F(SignDocumentsTest, RefusesBadDocumentListsBeforeReadingAnyFile) {
    const auto inboxCopy = document("lease.pdf");
    mcp::Value::Array twentyOne(21, entry(inboxCopy));
    struct Case {
        const char* name;
        Tools::Arguments arguments;
        std::string error;
    };
    const Case cases[] = {
        {"Absent", {{"reason", mcp::Value("r")}}, "Pass at least one document in documents."},
        {"Empty", many({}), "Pass at least one document in documents."},
        {"AString", {{"reason", mcp::Value("r")}, {"documents", mcp::Value(inboxCopy)}},
         "Pass at least one document in documents."},
        {"AnObject", {{"reason", mcp::Value("r")}, {"documents", entry(inboxCopy)}},
         "Pass at least one document in documents."},
        {"TwentyOne", many(twentyOne), "At most 20 documents in one request."},
        {"ReasonFirst", {{"documents", mcp::Value(twentyOne)}}, "Missing reason"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(error("sign_documents", c.arguments), c.error);
        EXPECT_TRUE(std::filesystem::exists(inboxCopy)) << "no file may be read before the list is accepted";
    }
    EXPECT_TRUE(main.run([this] { return shown.empty(); }));
}

TEST_F(SignDocumentsTest, TwentyDocumentsAreAccepted) {
    mcp::Value::Array twenty;
    for (int i = 0; i < 20; ++i) twenty.push_back(entry(document("doc" + std::to_string(i) + ".pdf")));
    act = Act::answerNothing;  // one absent entry; the rest of the list is short
    auto result = platform::json::parse(text(call("sign_documents", many(twenty))));
    EXPECT_EQ(main.run([this] { return shown.at(0)->jobs.size(); }), 20u);
    EXPECT_EQ(result.at("documents").as_array().size(), 1u) << "entries go as far as the shorter list";
}

TEST_F(SignDocumentsTest, AnEntryThatIsNoObjectFailsTheCallAfterTheEarlierOnesWereRead) {
    const auto first = document("first.pdf");
    const auto third = document("third.pdf");
    EXPECT_EQ(error("sign_documents", many({entry(first), mcp::Value("second.pdf"), entry(third)})),
              "Missing document_path");
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(third));
    EXPECT_TRUE(main.run([this] { return shown.empty(); }));
}

TEST_F(SignDocumentsTest, LeftOutDocumentsAreReportedInOrderWithPicturesOfTheSignedOnes) {
    auto other = folders.path() / "elsewhere";
    const auto paths = {document("lease.pdf"), document("annex.pdf"), document("lease.pdf", other)};
    mcp::Value::Array documents;
    for (const auto& path : paths) documents.push_back(entry(path));
    auto arguments = many(documents);
    arguments["company"] = mcp::Value(true);
    AppSettings::setCompanyText("ACME Ltd");

    leaveOut = {1};
    auto contents = call("sign_documents", arguments);
    auto result = platform::json::parse(text(contents)).as_object();
    EXPECT_EQ(result.at("deleted_after_seconds"), 600);
    EXPECT_EQ(result.at("note"),
              "Copy each signed PDF to where it belongs; the originals are unchanged. The pictures show the signed "
              "pages, in order. Don't sign a document the user left out.");
    const auto& entries = result.at("documents").as_array();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1], platform::json::parse(R"({"document":"annex.pdf","status":"left out by the user"})"));
    for (auto k : {0, 2}) {
        SCOPED_TRACE(k);
        const auto& e = entries[k].as_object();
        EXPECT_EQ(e.at("document"), "lease.pdf") << "same names stay as they are, in request order";
        EXPECT_EQ(e.at("status"), "signed");
        EXPECT_EQ(e.at("page"), 1);
        EXPECT_EQ(e.at("company_text_added"), true);
        EXPECT_EQ(e.at("stamp_added"), false);
        std::filesystem::path saved(std::string(e.at("signed_pdf_path").as_string()));
        EXPECT_TRUE(std::filesystem::exists(saved));
        EXPECT_EQ(saved.parent_path(), SignatureStore::folder());
        EXPECT_TRUE(saved.filename().string().starts_with("lease-signed-"));
        EXPECT_EQ(saved.extension(), ".pdf");
        EXPECT_EQ(saved.filename().string().size(), std::string("lease-signed-12345678.pdf").size());
    }
    EXPECT_NE(entries[0].at("signed_pdf_path"), entries[2].at("signed_pdf_path"));
    ASSERT_EQ(contents.size(), 3u) << "a text and the pictures of the first and the third";
    for (std::size_t i = 1; i < 3; ++i)
        EXPECT_EQ(std::get<mcp::Tool::Content::Image>(contents[i].value).mimeType, "image/png");
    auto content = main.run([this] { return shown.at(0)->companyText; });
    EXPECT_EQ(content, QString("ACME Ltd"));
}

TEST_F(SignDocumentsTest, AllLeftOutIsStillASuccessWithoutPictures) {
    leaveOut = {0, 1};
    auto contents = call("sign_documents", many({entry(document("a.pdf")), entry(document("b.pdf"))}));
    ASSERT_EQ(contents.size(), 1u);
    auto result = platform::json::parse(text(contents));
    EXPECT_EQ(result.at("documents"), platform::json::parse(R"([{"document":"a.pdf","status":"left out by the user"},
                                                                 {"document":"b.pdf","status":"left out by the user"}])"));
}

TEST_F(SignDocumentsTest, TheWindowsUnansweredEndsAreErrors) {
    struct Case {
        const char* name;
        Act act;
        std::string error;
    };
    const Case cases[] = {
        {"Cancel", Act::cancel, RequestGate::cancelText},
        {"CloseButton", Act::close, RequestGate::cancelText},
        {"NobodyAnswers", Act::wait, RequestGate::timeOutText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        act = c.act;
        EXPECT_EQ(error("sign_documents", many({entry(document("a.pdf"))})), c.error);
        EXPECT_FALSE(main.run([this] { return gate.isOpen(); })) << "the gate must be free again";
    }
    // A request after the time-out is accepted.
    act = Act::sign;
    EXPECT_EQ(call("sign_documents", many({entry(document("a.pdf"))})).size(), 2u);
}

struct SignDocumentTest : DocumentSigningFixture {};

TEST_F(SignDocumentTest, GivesTheSavedPdfItsPageAndAPicture) {
    const auto path = document("Lease 2024.pdf");
    auto contents = call("sign_document", {{"reason", mcp::Value("Renewal")}, {"document_path", mcp::Value(path)},
                                           {"stamp", mcp::Value(true)}, {"company", mcp::Value("yes")}});
    EXPECT_FALSE(std::filesystem::exists(path)) << "the inbox copy goes once it was read";
    const auto& resultText = text(contents);
    auto result = platform::json::parse(resultText).as_object();
    std::vector<std::string> keys;
    for (const auto& [key, value] : result) keys.emplace_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"company_text_added", "deleted_after_seconds", "note", "page",
                                              "signed_pdf_path", "stamp_added", "status"}));
    EXPECT_LT(resultText.find("company_text_added"), resultText.find("deleted_after_seconds")) << "keys are sorted";
    EXPECT_EQ(result.at("status"), "signed");
    EXPECT_EQ(result.at("deleted_after_seconds"), 600);
    EXPECT_EQ(result.at("note"), "Copy the signed PDF to where it belongs. The original file is unchanged.");
    EXPECT_EQ(result.at("page"), 1);
    EXPECT_EQ(result.at("company_text_added"), false);
    EXPECT_EQ(result.at("stamp_added"), false) << "no stamp is stored";
    std::filesystem::path saved(std::string(result.at("signed_pdf_path").as_string()));
    EXPECT_TRUE(saved.filename().string().starts_with("Lease 2024-signed-"));
    testing::RenderedPdf pdf(readRegularFile(saved));
    EXPECT_TRUE(pdf.ready());
    EXPECT_TRUE(pdf.text(0).contains("Agreement"));
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(main.run([this] { return shown.at(0)->client; }), "Claude");
    EXPECT_EQ(main.run([this] { return shown.at(0)->reason; }), "Renewal");
}

TEST_F(SignDocumentTest, NoSignedDocumentIsTheCancelTextAndNoPictureNoImage) {
    for (auto a : {Act::answerNothing, Act::answerEmpty}) {
        act = a;
        EXPECT_EQ(error("sign_document", {{"reason", mcp::Value("r")}, {"document_path", mcp::Value(document("a.pdf"))}}),
                  RequestGate::cancelText);
    }
    act = Act::signWithoutPicture;
    EXPECT_EQ(call("sign_document", {{"reason", mcp::Value("r")}, {"document_path", mcp::Value(document("a.pdf"))}}).size(),
              1u);
}

TEST_F(SignDocumentTest, DocumentsAreOpenedBeforeTheGateAndTheBusyGateRefuses) {
    const std::string locked =
        "This PDF is password-protected, so Inkwarden can't show or sign it. Ask the user for a copy without the "
        "password.";
    const auto lockedPath = CompanyStamp::inbox() / "locked.pdf";
    writeFile(lockedPath, testing::encrypted(makePdf({FixturePage{}}), "user", "owner"));
    auto ticket = std::make_shared<std::optional<RequestGate::Ticket>>();
    main.run([this, ticket] { ticket->emplace(gate.admit()); });

    EXPECT_EQ(error("sign_document", {{"reason", mcp::Value("r")}, {"document_path", mcp::Value(lockedPath.string())}}),
              locked);
    EXPECT_EQ(error("sign_document", {{"reason", mcp::Value("r")}, {"document_path", mcp::Value(document("a.pdf"))}}),
              RequestGate::busyText);
    EXPECT_EQ(main.run([this] { return cacheClears; }), 2) << "the page cache is emptied all the same";
    main.run([ticket] { ticket->reset(); });
    EXPECT_TRUE(main.run([this] { return shown.empty(); }));

    const auto missing = (folders.path() / "missing.pdf").string();
    EXPECT_EQ(error("sign_document", {{"reason", mcp::Value("r")}, {"document_path", mcp::Value(missing)}}),
              "Inkwarden can't read " + missing + ": it's sandboxed. Copy the document into " +
                  CompanyStamp::inbox().string() + " and pass that path.");
    EXPECT_EQ(error("sign_document", {{"reason", mcp::Value("r")}}), "Missing document_path");
}

TEST_F(SignDocumentTest, OffersTheCompanyTextAndStampOnlyWhenAskedAndPresent) {
    struct Case {
        const char* name;
        bool company, stamp;
        std::string text;
        bool stored;
        std::optional<QString> shownText;
        bool shownStamp;
    };
    const Case cases[] = {
        {"NotAsked", false, false, "ACME", true, std::nullopt, false},
        {"AskedAndPresent", true, true, "ACME", true, QString("ACME"), true},
        {"AskedButEmpty", true, true, "", false, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings::setCompanyText(c.text);
        main.run([&] {
            if (c.stored) CompanyStamp::save(pngBytes(testing::solidImage(40, 20, Qt::blue)));
            else CompanyStamp::remove();
        });
        auto contents = call("sign_document", {{"reason", mcp::Value("r")},
                                               {"document_path", mcp::Value(document("a.pdf"))},
                                               {"company", mcp::Value(c.company)},
                                               {"stamp", mcp::Value(c.stamp)}});
        auto result = platform::json::parse(text(contents));
        auto [shownText, shownStamp] = main.run([this] {
            auto last = shown.back();
            return std::pair{last->companyText, !last->stamp.isNull()};
        });
        EXPECT_EQ(shownText, c.shownText);
        EXPECT_EQ(shownStamp, c.shownStamp);
        EXPECT_EQ(result.at("company_text_added"), c.shownText.has_value());
        EXPECT_EQ(result.at("stamp_added"), c.shownStamp);
    }
}

}  // namespace
}  // namespace inkwarden
