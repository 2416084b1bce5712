#include "signature/signing_action.hpp"

#include "pdf_fixtures.hpp"
#include "support/qt_application.hpp"

#include <gtest/gtest.h>


namespace inkwarden {
namespace {

using testing::FixturePage;
using testing::pngBytes;
using testing::isWhite;
using testing::isRed;
using testing::isBlue;
using testing::makePdf;
using testing::pixelAt;
using testing::RenderedPdf;
using testing::solidImage;


/// A red signature image of 690 × 240 pixels whose ink stands at three quarters of its height.
RenderedSignature redSignature() {
    return {pngBytes(solidImage(690, 240, Qt::red)), 690, 240, 0.75};
}

void expectRect(const QRectF& actual, const QRectF& expected) {
    EXPECT_NEAR(actual.x(), expected.x(), 0.01);
    EXPECT_NEAR(actual.y(), expected.y(), 0.01);
    EXPECT_NEAR(actual.width(), expected.width(), 0.01);
    EXPECT_NEAR(actual.height(), expected.height(), 0.01);
}

struct SigningActionTest : ::testing::Test {
    SigningJob job(std::vector<FixturePage> pages, std::string name = "lease.pdf") {
        SigningRequest request;
        request.name = std::move(name);
        request.file = makePdf(pages);
        return SigningJob::from(request);
    }

    QApplication& app = testing_support::qtApplication();
};

TEST_F(SigningActionTest, RectsPutTheInkOnItsLineAndTheStampOnItsEdge) {
    const QSizeF a4(595, 842);
    const Placement place{0.12, 0.8, 0.42};
    expectRect(SigningAction::signatureRect(a4, place, false, redSignature()), {71.4, 157.54, 124.95, 43.46});
    expectRect(SigningAction::signatureRect(a4, place, true, redSignature()),
               {71.4, 168.4 - 249.9 / 2.875 * 0.25, 249.9, 249.9 / 2.875});
    expectRect(SigningAction::stampRect(a4, {0.57, 0.8, 0.22}, QSizeF(300, 150)), {339.15, 168.4, 130.9, 65.45});
    // A landscape page as displayed measures the other way round.
    expectRect(SigningAction::signatureRect(a4.transposed(), place, true, redSignature()),
               {0.12 * 842, 0.2 * 595 - 0.42 * 842 / 2.875 * 0.25, 0.42 * 842, 0.42 * 842 / 2.875});
}

TEST_F(SigningActionTest, SignsTheTickedDocumentsAndPutsTheInkWhereItWasPlaced) {
    FixturePage portrait;
    portrait.text = "Lease";
    FixturePage turned;
    turned.width = 842, turned.height = 595, turned.rotate = 90;
    std::vector<SigningJob> jobs{job({portrait, portrait}), job({portrait}, "skip.pdf"), job({turned})};
    std::vector<DocumentState> documents;
    for (const auto& j : jobs) documents.push_back(DocumentState::initial(j));
    documents[0].signature = {1, {0.12, 0.8, 0.42}};
    documents[0].stamp = {0, {0.5, 0.5, 0.2}};
    documents[1].include = false;

    SigningChoices choices{redSignature(), true, solidImage(300, 150, Qt::blue)};
    auto outcome = SigningAction::sign(jobs, documents, choices);
    ASSERT_FALSE(outcome.problem);
    ASSERT_TRUE(outcome.answers);
    ASSERT_EQ(outcome.answers->size(), 3u);
    EXPECT_FALSE((*outcome.answers)[1]) << "an unticked document is left out";

    const auto& first = *(*outcome.answers)[0];
    EXPECT_EQ(first.page, 2);
    EXPECT_TRUE(first.includedCompanyText);
    EXPECT_TRUE(first.includedStamp);
    RenderedPdf pdf(first.pdf);
    ASSERT_EQ(pdf.pageCount(), 2);
    auto signedPage = pdf.render(1);
    // The rect is (71.4, 157.54, 124.95, 43.46).
    EXPECT_TRUE(isRed(pixelAt(signedPage, 130, 180)));
    EXPECT_TRUE(isWhite(pixelAt(signedPage, 130, 154)));
    EXPECT_TRUE(isWhite(pixelAt(signedPage, 68, 180)));
    EXPECT_TRUE(isWhite(pixelAt(signedPage, 200, 180)));
    EXPECT_TRUE(isWhite(pixelAt(signedPage, 130, 204)));
    EXPECT_TRUE(isWhite(pixelAt(signedPage, 350, 460))) << "the stamp belongs to the other page";
    auto stampPage = pdf.render(0);
    EXPECT_TRUE(isBlue(pixelAt(stampPage, 350, 460)));
    EXPECT_TRUE(isWhite(pixelAt(stampPage, 130, 180)));

    ASSERT_TRUE(first.pagePNG);
    QImage picture;
    ASSERT_TRUE(picture.loadFromData(QByteArray::fromStdString(*first.pagePNG), "PNG"));
    EXPECT_EQ(picture.width(), 500) << "several documents get smaller pictures";
    EXPECT_NEAR(picture.height(), 500 * 842 / 595.0, 1);
    EXPECT_TRUE(isRed(picture.pixelColor(static_cast<int>(130 * 500 / 595.0), picture.height() - static_cast<int>(180 * 500 / 595.0))))
        << "the picture shows the signed page";

    const auto& third = *(*outcome.answers)[2];
    RenderedPdf upright(third.pdf);
    ASSERT_EQ(upright.pageSize(0), QSizeF(595, 842));
    auto page = upright.render(0);
    EXPECT_TRUE(isRed(pixelAt(page, 130, 180))) << "rects refer to the page as displayed";
    EXPECT_TRUE(isBlue(pixelAt(page, 0.57 * 595 + 60, 0.2 * 842 + 30)));
}

TEST_F(SigningActionTest, OneDocumentGetsAWidePicture) {
    FixturePage page;
    std::vector<SigningJob> jobs{job({page})};
    std::vector<DocumentState> documents{DocumentState::initial(jobs[0])};
    auto outcome = SigningAction::sign(jobs, documents, {redSignature(), false, QImage()});
    ASSERT_TRUE(outcome.answers);
    const auto& signedDocument = *outcome.answers->at(0);
    EXPECT_EQ(signedDocument.page, 1);
    EXPECT_FALSE(signedDocument.includedCompanyText);
    EXPECT_FALSE(signedDocument.includedStamp);
    QImage picture;
    ASSERT_TRUE(picture.loadFromData(QByteArray::fromStdString(signedDocument.pagePNG.value()), "PNG"));
    EXPECT_EQ(picture.width(), 800);
}

TEST_F(SigningActionTest, MissingPagesInkOrAFailedWriteAnswerAsTheyShould) {
    FixturePage good;
    FixturePage damaged;
    damaged.damaged = true;

    // A signature on a page the document lacks leaves that document out.
    std::vector<SigningJob> jobs{job({good})};
    std::vector<DocumentState> documents{DocumentState::initial(jobs[0])};
    documents[0].signature.page = 3;
    auto outcome = SigningAction::sign(jobs, documents, {redSignature(), false, QImage()});
    ASSERT_TRUE(outcome.answers);
    EXPECT_EQ(outcome.answers->size(), 1u);
    EXPECT_FALSE(outcome.answers->at(0));

    // No ink: nothing happens at all.
    documents[0].signature.page = 0;
    auto nothing = SigningAction::sign(jobs, documents, {std::nullopt, false, QImage()});
    EXPECT_FALSE(nothing.answers);
    EXPECT_FALSE(nothing.problem);
    auto unreadable = SigningAction::sign(jobs, documents, {RenderedSignature{"no png", 690, 240, 0.75}, false, QImage()});
    EXPECT_FALSE(unreadable.answers);
    EXPECT_FALSE(unreadable.problem);

    // A page that cannot be drawn: no answer at all, the problem shown, even for documents
    // already written.
    jobs.push_back(job({good, damaged}));
    documents.push_back(DocumentState::initial(jobs[1]));
    auto failed = SigningAction::sign(jobs, documents, {redSignature(), false, QImage()});
    EXPECT_FALSE(failed.answers);
    EXPECT_EQ(failed.problem, "The signed PDF couldn't be written.");
}

}  // namespace
}  // namespace inkwarden
