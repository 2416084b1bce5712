#include "app/host/host_harness.hpp"
#include "pdf_fixtures.hpp"
#include "platform/base64.hpp"
#include "platform/file_access.hpp"
#include "platform/json/parse.hpp"
#include "signature/company_stamp.hpp"
#include "signature/document_signing_tools.hpp"
#include "support/qt_application.hpp"

#include <gtest/gtest.h>

#include <QBuffer>
#include <boost/json/serialize.hpp>

namespace inkwarden {
namespace {

/// The user as a script: draws a red signature and signs where the boxes first stand.
class SigningUser final : public RequestWindow {
public:
    SigningUser(DocumentSigningContent content, DocumentSigning::OnAnswer onAnswer)
        : content_(std::move(content)), onAnswer_(std::move(onAnswer)) {}
    void setCloseHandler(std::function<void()>) override {}
    void close() override {}
    void show() override {
        std::vector<DocumentState> states;
        for (const auto& job : content_.jobs) states.push_back(DocumentState::initial(job));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        testing::solidImage(690, 240, Qt::red).save(&buffer, "PNG");
        auto outcome = SigningAction::sign(content_.jobs, states,
                                           {RenderedSignature{png.toStdString(), 690, 240, 0.75}, false, QImage()});
        onAnswer_(std::move(outcome.answers));
    }

private:
    DocumentSigningContent content_;
    DocumentSigning::OnAnswer onAnswer_;
};

TEST(SignDocumentOverHttpTest, AClientGetsTheSignedPdfWithTheInkWherePlacedAndThePagePicture) {
    QApplication& app = testing_support::qtApplication();
    (void)app;
    testing::HostHarness harness;
    RequestGate gate{harness.scheduler};
    DocumentSigning signing{gate, harness.status, [](DocumentSigningContent content, DocumentSigning::OnAnswer onAnswer) {
                                return std::make_unique<SigningUser>(std::move(content), std::move(onAnswer));
                            }};
    DocumentSigningTools::install(harness.tools, signing);
    harness.start();

    testing::FixturePage page;
    page.text = "Tenancy agreement";
    const auto path = CompanyStamp::inbox() / "tenancy.pdf";
    {
        std::ofstream(path, std::ios::binary) << testing::makePdf({page});
    }
    const std::string body = R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"sign_document",)"
                             R"("arguments":{"reason":"Tenancy","document_path":")" +
                             path.string() + R"("}}})";
    const std::string request = "POST /mcp HTTP/1.1\r\nAuthorization: Bearer secret\r\nHost: 127.0.0.1:47292\r\n"
                                "Accept: application/json, text/event-stream\r\nContent-Type: application/json\r\n"
                                "Content-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    const auto raw = harness.exchangeRaw(request);
    auto answer = platform::json::parse(testing::bodyOf(raw));
    ASSERT_TRUE(answer.as_object().contains("result")) << raw;
    const auto& result = answer.at("result").as_object();
    ASSERT_FALSE(result.at("isError").as_bool()) << boost::json::serialize(answer);
    const auto& content = result.at("content").as_array();
    ASSERT_EQ(content.size(), 2u);

    auto entry = platform::json::parse(std::string(content[0].at("text").as_string()));
    EXPECT_EQ(entry.at("status"), "signed");
    EXPECT_EQ(entry.at("page"), 1);
    testing::RenderedPdf pdf(readRegularFile(std::string(entry.at("signed_pdf_path").as_string())));
    ASSERT_TRUE(pdf.ready());
    ASSERT_EQ(pdf.pageCount(), 1);
    EXPECT_TRUE(pdf.text(0).contains("Tenancy agreement"));
    // The first signature box on A4 is (71.4, 157.54, 124.95, 43.46).
    auto rendered = pdf.render(0);
    EXPECT_EQ(testing::pixelAt(rendered, 130, 180), QColor(Qt::red));
    EXPECT_EQ(testing::pixelAt(rendered, 130, 150), QColor(Qt::white));
    EXPECT_EQ(testing::pixelAt(rendered, 200, 180), QColor(Qt::white));

    EXPECT_EQ(content[1].at("type"), "image");
    EXPECT_EQ(content[1].at("mimeType"), "image/png");
    auto png = platform::base64Decode(std::string(content[1].at("data").as_string()));
    ASSERT_TRUE(png);
    QImage picture;
    ASSERT_TRUE(picture.loadFromData(QByteArray::fromStdString(*png), "PNG"));
    EXPECT_EQ(picture.width(), 800);
    EXPECT_EQ(picture.pixelColor(130 * 800 / 595, picture.height() - 180 * 800 / 595), QColor(Qt::red));
}

}  // namespace
}  // namespace inkwarden
