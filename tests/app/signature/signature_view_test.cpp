#include "signature/signature_view.hpp"

#include "signature/qt_request_window.hpp"
#include "signature/signature_pad.hpp"
#include "support/qt_application.hpp"
#include "support/signing_fixtures.hpp"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace inkwarden {
namespace {

QImage stampImage() {
    QImage image(60, 40, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
}

class SignatureViewTest : public testing::Test {
protected:
    SignatureViewTest() { testing_support::qtApplication(); }

    SignatureView& open(SignatureQuestion question) {
        view = std::make_unique<SignatureView>(std::move(question), [this](std::optional<Answer> answer) {
            answers.push_back(std::move(answer));
        });
        view->show();
        view->adjustSize();
        return *view;
    }

    template <class T>
    T* child(const char* name) const {
        return view->findChild<T*>(QString::fromLatin1(name));
    }

    void drawStroke() { testing_support::dragMouse(view->pad(), {40, 60}, {{80, 90}, {140, 70}}); }

    static SignatureQuestion plain() { return {"Claude", "Lease for the flat", std::nullopt, std::nullopt, {}, {}, {}}; }

    std::unique_ptr<SignatureView> view;
    std::vector<std::optional<Answer>> answers;
};

TEST_F(SignatureViewTest, SignNeedsInkAndAnswersTheStrokes) {
    open(plain());
    auto* sign = child<QPushButton>("signButton");
    auto* clear = child<QPushButton>("clearButton");
    EXPECT_FALSE(sign->isEnabled());
    EXPECT_FALSE(clear->isEnabled());
    EXPECT_TRUE(child<QPushButton>("useTrackpadButton")->isEnabled());
    drawStroke();
    EXPECT_TRUE(sign->isEnabled());
    EXPECT_TRUE(clear->isEnabled());
    QTest::mouseClick(sign, Qt::LeftButton);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0]);
    EXPECT_EQ(answers[0]->strokes, (Strokes{{{40, 60}, {80, 90}, {140, 70}}}));
    EXPECT_FALSE(answers[0]->companyText);
    EXPECT_FALSE(answers[0]->includeStamp);

    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_TRUE(view->pad()->strokes().empty());
    EXPECT_FALSE(sign->isEnabled());
}

TEST_F(SignatureViewTest, CancelAnswersNothing) {
    open(plain());
    drawStroke();
    QTest::mouseClick(child<QPushButton>("cancelButton"), Qt::LeftButton);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0]);
}

TEST_F(SignatureViewTest, EscapeAndReturnInTheWindow) {
    std::vector<std::optional<Answer>> finished;
    int closed = 0;
    auto window = signatureWindow(plain(), [&](std::optional<Answer> answer) { finished.push_back(std::move(answer)); });
    window->setCloseHandler([&] { ++closed; });
    window->show();
    auto* dialog = static_cast<QtRequestWindow*>(window.get())->widget();
    auto* shown = dialog->findChild<SignatureView*>();
    ASSERT_TRUE(shown);
    // Return does nothing without ink.
    QTest::keyClick(dialog, Qt::Key_Return);
    EXPECT_TRUE(finished.empty());
    EXPECT_EQ(closed, 0);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_EQ(closed + static_cast<int>(finished.size()), 1);
    if (!finished.empty()) {
        EXPECT_FALSE(finished[0]);
    }
    window->close();
}

TEST_F(SignatureViewTest, UseTrackpadSwitchesThePad) {
    open(plain());
    QTest::mouseClick(child<QPushButton>("useTrackpadButton"), Qt::LeftButton);
    EXPECT_TRUE(view->pad()->trackpad());
}

TEST_F(SignatureViewTest, TitleAndOptionsFollowWhatIsSetUp) {
    struct Case {
        const char* name;
        std::optional<QString> companyText;
        std::optional<QImage> stamp;
        QString title;
    };
    const std::vector<Case> cases = {
        {"nothing", std::nullopt, std::nullopt, "Claude asks for your signature"},
        {"text", QString("Jane Doe\nACME Ltd"), std::nullopt, "Claude asks for your company signature"},
        {"stamp only", std::nullopt, stampImage(), "Claude asks for your company signature"},
        {"both", QString("Jane Doe"), stampImage(), "Claude asks for your company signature"},
    };
    for (const auto& test : cases) {
        auto question = plain();
        question.companyText = test.companyText;
        question.stamp = test.stamp;
        open(question);
        EXPECT_EQ(child<QLabel>("title")->text(), test.title) << test.name;
        EXPECT_EQ(child<QCheckBox>("addCompanyText") != nullptr, test.companyText.has_value()) << test.name;
        EXPECT_EQ(child<QCheckBox>("addStamp") != nullptr, test.stamp.has_value()) << test.name;
        drawStroke();
        const auto answer = view->answer();
        EXPECT_EQ(answer.companyText, test.companyText) << test.name;
        EXPECT_EQ(answer.includeStamp, test.stamp.has_value()) << test.name;
    }
}

TEST_F(SignatureViewTest, UntickedOptionsAreLeftOut) {
    auto question = plain();
    question.companyText = "Jane Doe";
    question.stamp = stampImage();
    open(question);
    drawStroke();
    auto* text = child<QLabel>("companyText");
    const QColor shown = text->palette().color(QPalette::WindowText);
    child<QCheckBox>("addCompanyText")->click();
    child<QCheckBox>("addStamp")->click();
    EXPECT_NE(text->palette().color(QPalette::WindowText), shown);
    auto* dim = qobject_cast<QGraphicsOpacityEffect*>(child<QWidget>("stampPreview")->graphicsEffect());
    ASSERT_TRUE(dim);
    EXPECT_DOUBLE_EQ(dim->opacity(), 0.35);
    QTest::mouseClick(child<QPushButton>("signButton"), Qt::LeftButton);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0]);
    EXPECT_FALSE(answers[0]->companyText);
    EXPECT_FALSE(answers[0]->includeStamp);
}

TEST_F(SignatureViewTest, DocumentLineAndWidths) {
    struct Case {
        const char* name;
        std::optional<QString> document;
        bool preview;
        bool line;
        int width;
    };
    const std::vector<Case> cases = {
        {"none", std::nullopt, false, false, 504},
        {"empty name", QString(), false, false, 504},
        {"name", QString("lease.pdf"), false, true, 504},
        {"preview", QString("lease.pdf"), true, true, 920},
    };
    for (const auto& test : cases) {
        auto question = plain();
        question.document = test.document;
        if (test.preview) question.preview.emplace(testing_support::pdfOfPages(3), 2);
        open(question);
        EXPECT_EQ(child<QWidget>("documentLine") != nullptr, test.line) << test.name;
        EXPECT_EQ(view->width(), test.width) << test.name;
        EXPECT_EQ(child<QWidget>("signaturePad")->size(), QSize(460, 260)) << test.name;
        if (test.preview) {
            EXPECT_EQ(child<QWidget>("documentPreview")->size(), QSize(400, 480)) << test.name;
            EXPECT_EQ(child<QWidget>("signingColumn")->height(), 480) << test.name;
        }
    }
}

TEST_F(SignatureViewTest, LongTextsAreCut) {
    auto question = plain();
    question.reason = QString("This reason goes on and on. ").repeated(40);
    question.document = QString("a-very-long-document-name-").repeated(10) + "end.pdf";
    open(question);
    auto* reason = child<QLabel>("reason");
    EXPECT_LE(reason->height(), QFontMetrics(reason->font()).lineSpacing() * 5);
    const auto name = child<QLabel>("documentName")->text();
    EXPECT_TRUE(name.contains(QChar(0x2026))) << name.toStdString();
    EXPECT_TRUE(name.endsWith("end.pdf")) << name.toStdString();
}

TEST_F(SignatureViewTest, InitialStrokesFillAnEmptyPad) {
    auto question = plain();
    question.initialStrokes = {{{10, 10}, {30, 30}}};
    open(question);
    EXPECT_EQ(view->pad()->strokes(), question.initialStrokes);
    EXPECT_TRUE(child<QPushButton>("signButton")->isEnabled());
}

}  // namespace
}  // namespace inkwarden
