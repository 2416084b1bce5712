#include "host/tools.hpp"

#include "platform/file_access.hpp"
#include "signature/company_stamp.hpp"
#include "signature/tool_error.hpp"
#include "support/run_async.hpp"
#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace inkwarden {
namespace {

using mcp::Value;
using Arguments = Tools::Arguments;

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string expectToolError(const std::function<void()>& action) {
    try {
        action();
    } catch (const ToolError& error) {
        return error.message();
    }
    ADD_FAILURE() << "no ToolError";
    return {};
}

TEST(ToolsTest, StringsAndReasonsAreRequiredNonEmptyTextsCutAtThreeHundredCharacters) {
    for (const auto& reason : {Value(5), Value(""), Value(true)}) {
        EXPECT_EQ(expectToolError([&] { Tools::reason({{"reason", reason}}); }), "Missing reason");
    }
    EXPECT_EQ(expectToolError([] { Tools::reason({}); }), "Missing reason");
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";  // one flag: two code points, one character
    std::string long_;
    for (int i = 0; i < 301; ++i) long_ += flag;
    auto cut = Tools::reason({{"reason", Value(long_)}});
    EXPECT_EQ(cut.size(), 300 * flag.size());
    EXPECT_EQ(Tools::reason({{"reason", Value("Lease")}}), "Lease");
}

TEST(ToolsTest, FlagsPagesAndAnchorsReadOnlyTheirOwnJSONType) {
    EXPECT_TRUE(Tools::flag({{"company", Value(true)}}, "company"));
    EXPECT_FALSE(Tools::flag({{"company", Value("true")}}, "company"));
    EXPECT_FALSE(Tools::flag({{"company", Value(1)}}, "company"));
    EXPECT_FALSE(Tools::flag({}, "stamp"));

    struct Case {
        const char* name;
        Value value;
        std::optional<std::int64_t> page;
    };
    const Case pages[] = {{"Integer", Value(3), 3},          {"Fraction", Value(2.9), 2},
                          {"NegativeFraction", Value(-2.9), -2}, {"Text", Value("2"), std::nullopt},
                          {"Huge", Value(1e19), std::nullopt},    {"Null", Value(), std::nullopt}};
    for (const auto& c : pages) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Tools::page({{"page", c.value}}), c.page);
    }
    EXPECT_EQ(Tools::anchorText({{"anchor_text", Value("")}}), "");
    EXPECT_EQ(Tools::anchorText({{"anchor_text", Value(4)}}), std::nullopt);
}

TEST(ToolsTest, BoxesAreClampedOrIgnored) {
    struct Case {
        const char* name;
        Value value;
        std::optional<Placement> placement;
    };
    const Case cases[] = {
        {"ClampedWidthAndLeft", Value::object({{"x", Value(0.95)}, {"y", Value(0)}, {"width", Value(0.5)}}),
         Placement{0.5, 0.05, 0.5}},
        {"DefaultWidthAndFarOut", Value::object({{"x", Value(-1)}, {"y", Value(2)}}), Placement{0, 1.0, 0.3}},
        {"IntegersCount", Value::object({{"x", Value(0)}, {"y", Value(1)}, {"width", Value(1)}}), Placement{0, 1, 0.9}},
        {"TinyWidth", Value::object({{"x", Value(0.2)}, {"y", Value(0.5)}, {"width", Value(0.001)}}),
         Placement{0.2, 0.5, 0.05}},
        {"WidthOfWrongType", Value::object({{"x", Value(0.2)}, {"y", Value(0.5)}, {"width", Value("1")}}),
         Placement{0.2, 0.5, 0.3}},
        {"NoY", Value::object({{"x", Value(0.2)}}), std::nullopt},
        {"TextCoordinates", Value::object({{"x", Value("0.2")}, {"y", Value(0.5)}}), std::nullopt},
        {"NotAnObject", Value::array({Value(0.1), Value(0.2)}), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Tools::box(&c.value, 0.3), c.placement);
    }
    EXPECT_EQ(Tools::box(nullptr, 0.3), std::nullopt);
}

TEST(ToolsTest, SigningRequestReadsTheDocumentAndDeletesOnlyAnInboxCopy) {
    testing_support::AppFoldersSandbox sandbox;
    testing_support::ScopedEnvironment home("HOME", (sandbox.path() / "home").string());
    const auto inbox = CompanyStamp::inbox();
    writeFile(inbox / "lease.pdf", "%PDF-inbox");
    writeFile(inbox / "sub" / "nested.pdf", "%PDF-nested");
    writeFile(sandbox.path() / "home" / "Desktop" / "a.pdf", "%PDF-home");

    auto request = Tools::signingRequest({{"document_path", Value((inbox / "lease.pdf").string())},
                                          {"page", Value(2.5)},
                                          {"anchor_text", Value("Tenant")},
                                          {"signature_box", Value::object({{"x", Value(0.1)}, {"y", Value(0.8)}})},
                                          {"stamp_box", Value::object({{"x", Value(0.5)}, {"y", Value(0.8)}})}});
    EXPECT_EQ(request.name, "lease.pdf");
    EXPECT_EQ(request.file, "%PDF-inbox");
    EXPECT_EQ(request.page, 2);
    EXPECT_EQ(request.anchor, "Tenant");
    EXPECT_EQ(request.signatureBox, (Placement{0.1, 0.8, 0.3}));
    EXPECT_EQ(request.stampBox, (Placement{0.5, 0.8, 0.22}));
    EXPECT_FALSE(std::filesystem::exists(inbox / "lease.pdf"));

    EXPECT_EQ(Tools::signingRequest({{"document_path", Value((inbox / "sub" / "nested.pdf").string())}}).file,
              "%PDF-nested");
    EXPECT_TRUE(std::filesystem::exists(inbox / "sub" / "nested.pdf"));
    EXPECT_EQ(Tools::signingRequest({{"document_path", Value("~/Desktop/a.pdf")}}).file, "%PDF-home");
    EXPECT_TRUE(std::filesystem::exists(sandbox.path() / "home" / "Desktop" / "a.pdf"));

    const std::string refusal = ": it's sandboxed. Copy the document into " + inbox.string() + " and pass that path.";
    EXPECT_EQ(expectToolError([] { Tools::signingRequest({{"document_path", Value("~/Desktop/missing.pdf")}}); }),
              "Inkwarden can't read ~/Desktop/missing.pdf" + refusal);
    // Only regular files are read: a folder or a FIFO would never give a document.
    EXPECT_EQ(expectToolError([&] { Tools::signingRequest({{"document_path", Value(inbox.string())}}); }),
              "Inkwarden can't read " + inbox.string() + refusal);
    auto fifo = sandbox.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(expectToolError([&] { Tools::signingRequest({{"document_path", Value(fifo.string())}}); }),
              "Inkwarden can't read " + fifo.string() + refusal);
    EXPECT_EQ(expectToolError([] { Tools::signingRequest({{"document_path", Value("")}}); }), "Missing document_path");
}

TEST(ToolsTest, ReadingStopsAtTheSizeLimit) {
    testing_support::TemporaryFolder folder;
    writeFile(folder / "big", std::string(1025, 'x'));
    EXPECT_THROW(readRegularFile(folder / "big", 1024), std::system_error);
    EXPECT_EQ(readRegularFile(folder / "big", 1025).size(), 1025u);
}

TEST(ToolsTest, SavedDocumentsAreNamedAfterTheirSourceAndWriteIntegers) {
    testing_support::AppFoldersSandbox sandbox;
    testing_support::TestMainThread main;
    testing_support::ManualScheduler scheduler;
    HostStatus status;
    SignatureStore store(scheduler);
    Tools tools(main, status, store);
    auto entry = testing_support::runAsync([&]() -> boost::asio::awaitable<boost::json::object> {
        auto save = tools.saved(SignedDocument{"%PDF-signed", 3, std::nullopt, true, false}, "contract.final.pdf");
        co_return co_await std::move(save);
    });
    std::filesystem::path path(std::string(entry.at("signed_pdf_path").as_string()));
    EXPECT_EQ(path.parent_path(), SignatureStore::folder());
    EXPECT_TRUE(path.filename().string().starts_with("contract.final-signed-"));
    EXPECT_EQ(path.filename().string().size(), std::string("contract.final-signed-12345678.pdf").size());
    EXPECT_EQ(readRegularFile(path), "%PDF-signed");
    auto text = std::get<mcp::Tool::Content::Text>(Tools::resultText(entry).value).text;
    EXPECT_EQ(text, R"({"company_text_added":true,"page":3,"signed_pdf_path":")" + path.string() +
                        R"(","stamp_added":false})");
    EXPECT_EQ(Tools::version(), "1.0.0 (1)");
}

}  // namespace
}  // namespace inkwarden
