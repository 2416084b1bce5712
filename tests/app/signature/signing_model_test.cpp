#include "signature/signing_model.hpp"

#include "pdf_fixtures.hpp"
#include "signature/signed_pdf.hpp"
#include "signature/tool_error.hpp"
#include "support/qt_application.hpp"

#include <gtest/gtest.h>


namespace inkwarden {
namespace {

using testing::FixturePage;
using testing::pngBytes;
using testing::makePdf;

FixturePage textPage(std::string text, double x = 100, double y = 700) {
    FixturePage page;
    page.text = std::move(text);
    page.textAt = {x, y};
    return page;
}

SigningRequest request(std::string file, std::optional<std::int64_t> page = std::nullopt,
                       std::optional<std::string> anchor = std::nullopt) {
    SigningRequest r;
    r.name = "lease.pdf";
    r.file = std::move(file);
    r.page = page;
    r.anchor = std::move(anchor);
    return r;
}

std::string toolError(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const ToolError& error) {
        return error.message();
    }
    return "(no error)";
}

struct SigningModelTest : ::testing::Test {
    QApplication& app = testing_support::qtApplication();
};

TEST_F(SigningModelTest, OpensOnTheAskedPageWithinTheDocument) {
    const auto five = makePdf(std::vector<FixturePage>(5, FixturePage{}));
    struct Case {
        const char* name;
        std::optional<std::int64_t> asked;
        int page;
    };
    const Case cases[] = {
        {"Absent", std::nullopt, 1}, {"Zero", 0, 1}, {"Negative", -3, 1}, {"One", 1, 1},
        {"Two", 2, 2},               {"Last", 5, 5}, {"PastTheEnd", 99, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto job = SigningJob::from(request(five, c.asked));
        EXPECT_EQ(job.page, c.page);
        EXPECT_FALSE(job.anchor);
        auto state = DocumentState::initial(job);
        EXPECT_EQ(state.signature.page, c.page - 1);
        EXPECT_EQ(state.stamp.page, c.page - 1);
    }
}

TEST_F(SigningModelTest, RefusesWhatItCannotShowAndTakesImages) {
    const std::string notShown =
        "Inkwarden can only show PDFs and images. Convert the document to PDF, or leave out document_path.";
    for (const auto* bytes : {"", "just some text", "%PDF-1.7\nbroken beyond repair"}) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(toolError([&] { SigningJob::from(request(bytes)); }), notShown);
    }
    const std::string locked =
        "This PDF is password-protected, so Inkwarden can't show or sign it. Ask the user for a copy without the "
        "password.";
    const auto pdf = makePdf({FixturePage{}, FixturePage{}});
    EXPECT_EQ(toolError([&] { SigningJob::from(request(testing::encrypted(pdf, "user", "owner"))); }), locked);
    // Only an owner password: it opens, as any viewer would open it.
    EXPECT_EQ(SigningJob::from(request(testing::encrypted(pdf, "", "owner"), 2)).page, 2);

    auto job = SigningJob::from(request(pngBytes(testing::solidImage(300, 120, Qt::red)), 4));
    EXPECT_EQ(job.page, 1);
    EXPECT_EQ(job.document->pageSizes(), std::vector<QSizeF>{QSizeF(300, 120)});
}

TEST_F(SigningModelTest, InitialBoxesFollowTheToolsBoxesOrTheDefaults) {
    const auto a4 = makePdf({FixturePage{}});
    struct Case {
        const char* name;
        std::optional<Placement> signatureBox, stampBox;
        Placement signature, stamp;
        bool fitsBox;
    };
    const Case cases[] = {
        {"Defaults", std::nullopt, std::nullopt, {0.12, 0.8, 0.42}, {0.57, 0.8, 0.22}, false},
        {"StampNeverPastItsLimit", Placement{0.5, 0.6, 0.3}, std::nullopt, {0.5, 0.6, 0.3}, {0.72, 0.6, 0.22}, true},
        {"StampBesideASmallBox", Placement{0.1, 0.9, 0.2}, std::nullopt, {0.1, 0.9, 0.2}, {0.55, 0.9, 0.22}, true},
        {"BothGiven", Placement{0.2, 0.5, 0.3}, Placement{0.6, 0.7, 0.1}, {0.2, 0.5, 0.3}, {0.6, 0.7, 0.1}, true},
        {"OnlyStampGiven", std::nullopt, Placement{0.3, 0.4, 0.2}, {0.12, 0.8, 0.42}, {0.3, 0.4, 0.2}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = request(a4);
        r.signatureBox = c.signatureBox;
        r.stampBox = c.stampBox;
        auto state = DocumentState::initial(SigningJob::from(r));
        EXPECT_EQ(state.signature.place.x, c.signature.x);
        EXPECT_EQ(state.signature.place.bottom, c.signature.bottom);
        EXPECT_EQ(state.signature.place.size, c.signature.size);
        EXPECT_DOUBLE_EQ(state.stamp.place.x, c.stamp.x);
        EXPECT_EQ(state.stamp.place.bottom, c.stamp.bottom);
        EXPECT_EQ(state.stamp.place.size, c.stamp.size);
        EXPECT_EQ(state.fitsBox, c.fitsBox);
        EXPECT_TRUE(state.include);
    }
}

TEST_F(SigningModelTest, TheSignatureStandsJustAboveTheAnchorText) {
    // Helvetica's capitals stand about 17.5 points above the baseline at 24 points.
    constexpr double kCapTop = 17.5, kSlack = 2.5;
    struct Case {
        const char* name;
        FixturePage page;
        double x, line;  // expected: the box's left edge and the ink's line, in points of the displayed page
    };
    auto turned = textPage("Sign here", 500, 100);
    turned.width = 842, turned.height = 595, turned.rotate = 90;
    turned.textMatrix = {0, 1, -1, 0};  // upright once the page is turned
    auto turnedBack = textPage("Sign here", 300, 500);
    turnedBack.width = 842, turnedBack.height = 595, turnedBack.rotate = -90;
    turnedBack.textMatrix = {0, -1, 1, 0};
    auto moved = textPage("Sign here", 130, 150);
    moved.llx = 80, moved.lly = 50;
    const Case cases[] = {
        {"Upright", textPage("Sign here", 50, 100 - kCapTop), 50, 104},
        {"Rotated90", turned, 100, 842 - (500 - kCapTop) + 4},
        {"RotatedMinus90", turnedBack, 595 - 500, 300 + kCapTop + 4},
        {"MediaBoxNotAtOrigin", moved, 50, 100 + kCapTop + 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto job = SigningJob::from(request(makePdf({c.page}), std::nullopt, "sign HERE"));
        ASSERT_TRUE(job.anchor);
        auto state = DocumentState::initial(job);
        EXPECT_EQ(state.pageSizes, std::vector<QSizeF>{QSizeF(595, 842)});
        EXPECT_NEAR(state.signature.place.x * 595, c.x, kSlack);
        EXPECT_NEAR((1 - state.signature.place.bottom) * 842, c.line, kSlack);
        EXPECT_EQ(state.signature.place.size, 0.42);
        EXPECT_DOUBLE_EQ(state.stamp.place.x, std::min(0.72, state.signature.place.x + 0.45));
        EXPECT_EQ(state.stamp.place.bottom, state.signature.place.bottom);
    }
}

TEST_F(SigningModelTest, AnchorsNearTheEdgesAreHeldInside) {
    auto top = SigningJob::from(request(makePdf({textPage("Sign here", 50, 830)}), std::nullopt, "Sign here"));
    EXPECT_EQ(DocumentState::initial(top).signature.place.bottom, 0.1);
    auto right = SigningJob::from(request(makePdf({textPage("Sign here", 480, 300)}), std::nullopt, "Sign here"));
    EXPECT_EQ(DocumentState::initial(right).signature.place.x, 0.7);
}

TEST_F(SigningModelTest, TheAnchorPicksThePage) {
    std::vector<FixturePage> pages(6, FixturePage{});
    pages[1] = textPage("Tenant signature");
    pages[3] = textPage("Landlord SIGNATURE");
    pages[4] = textPage("Guarantor Signature");
    const auto pdf = makePdf(pages);
    struct Case {
        const char* name;
        std::optional<std::int64_t> asked;
        std::string anchor;
        int page;
        bool found;
    };
    const Case cases[] = {
        {"OnTheAskedPage", 4, "signature", 4, true},
        {"AskedPageHasNoneTakesTheEarliest", 3, "signature", 2, true},
        {"OnlyOnALaterPage", 2, "guarantor", 5, true},
        {"CaseInsensitive", 1, "lANDLORD signature", 4, true},
        {"NotFoundKeepsTheAskedPage", 3, "witness", 3, false},
        {"EmptyAnchorIsNone", 3, "", 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto job = SigningJob::from(request(pdf, c.asked, c.anchor));
        EXPECT_EQ(job.page, c.page);
        EXPECT_EQ(job.anchor.has_value(), c.found);
        auto state = DocumentState::initial(job);
        EXPECT_EQ(state.signature.page, c.page - 1);
        EXPECT_EQ(state.stamp.page, c.page - 1);
        if (!c.found) {
            EXPECT_EQ(state.signature.place, (Placement{0.12, 0.8, 0.42}));
        }
    }
}

TEST_F(SigningModelTest, PageSizesAreThePagesAsDisplayed) {
    FixturePage landscape;
    landscape.width = 842, landscape.height = 595;
    FixturePage turned = landscape;
    turned.rotate = 270;
    FixturePage letter;
    letter.width = 612, letter.height = 792, letter.rotate = 180;
    auto job = SigningJob::from(request(makePdf({landscape, turned, letter})));
    EXPECT_EQ(DocumentState::initial(job).pageSizes,
              (std::vector<QSizeF>{QSizeF(842, 595), QSizeF(595, 842), QSizeF(612, 792)}));
}

TEST_F(SigningModelTest, ItemsMeasureTheSignatureAndTheStamp) {
    DocumentState state;
    state.signature = {0, {0.12, 0.8, 0.42}};
    state.stamp = {0, {0.57, 0.8, 0.22}};
    const auto stamp = testing::solidImage(300, 150, Qt::blue);
    RenderedSignature drawn{pngBytes(testing::solidImage(600, 200, Qt::black)), 600, 200, 0.7};

    auto empty = placedItems(state, std::nullopt, stamp, true);
    ASSERT_EQ(empty.size(), 2u);
    EXPECT_EQ(empty[0].id, "signature");
    EXPECT_EQ(empty[0].label, "Signature");
    EXPECT_TRUE(empty[0].image.isNull());
    EXPECT_EQ(empty[0].aspect, 2.6);
    EXPECT_DOUBLE_EQ(empty[0].width, 0.42 * 240 / 460);
    EXPECT_EQ(empty[0].baseline, 1.0);
    EXPECT_EQ(empty[0].placed, &state.signature);
    EXPECT_EQ(empty[1].id, "stamp");
    EXPECT_EQ(empty[1].label, "");
    EXPECT_EQ(empty[1].aspect, 2.0);
    EXPECT_EQ(empty[1].width, 0.22);
    EXPECT_EQ(empty[1].placed, &state.stamp);

    auto signedItems = placedItems(state, drawn, stamp, false);
    ASSERT_EQ(signedItems.size(), 1u) << "the stamp box shows only while the stamp is added";
    EXPECT_NEAR(signedItems[0].width, 0.18261, 1e-5);
    EXPECT_EQ(signedItems[0].aspect, 3.0);
    EXPECT_EQ(signedItems[0].baseline, 0.7);
    EXPECT_EQ(signedItems[0].image.size(), QSize(600, 200));

    state.fitsBox = true;
    EXPECT_EQ(placedItems(state, drawn, stamp, true)[0].width, 0.42);
    EXPECT_EQ(placedItems(state, drawn, QImage(), true).size(), 1u);
}

}  // namespace
}  // namespace inkwarden
