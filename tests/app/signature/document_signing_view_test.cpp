#include "signature/document_signing_view.hpp"

#include "app/signature/pdf_pages.hpp"
#include "signature/document_pages_view.hpp"
#include "signature/page_images.hpp"
#include "signature/qt_request_window.hpp"
#include "signature/signature_pad.hpp"
#include "support/qt_application.hpp"
#include "support/test_main_thread.hpp"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPdfDocument>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace inkwarden {
namespace {

using namespace std::chrono_literals;

constexpr QSizeF a4{595, 842};

Strokes someInk() {
    return {{{100, 100}, {140, 150}, {180, 110}, {230, 160}, {300, 120}}, {{120, 180}, {320, 175}}};
}

QImage stampImage() {
    QImage image(300, 150, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    return image;
}

struct DocumentSigningViewTest : ::testing::Test {
    DocumentSigningViewTest() {
        testing_support::qtApplication();
        PageImages::shared().clear();
    }
    ~DocumentSigningViewTest() override {
        closeWindow();
        PageImages::shared().clear();
    }

    void closeWindow() {
        if (window) window->close();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    testing_support::ManualScheduler scheduler;
    std::vector<std::optional<SigningAnswers>> answers;
    std::unique_ptr<RequestWindow> window;
    DocumentSigningView* view = nullptr;

    static SigningJob job(const std::string& name, int pages) {
        SigningRequest request;
        request.name = name;
        const QByteArray pdf = testing_support::pdfWithPages(std::vector<QSizeF>(static_cast<std::size_t>(pages), a4));
        request.file = pdf.toStdString();
        return SigningJob::from(request);
    }

    void open(std::vector<SigningJob> jobs, std::optional<QString> companyText = {}, QImage stamp = {},
              Strokes initial = {}) {
        DocumentSigningContent content{QStringLiteral("Claude"), QStringLiteral("The lease needs your signature."),
                                       std::move(jobs), std::move(companyText), std::move(stamp)};
        view = new DocumentSigningView(std::move(content), std::move(initial),
                                       [this](std::optional<SigningAnswers> answer) { answers.push_back(std::move(answer)); },
                                       scheduler);
        window = QtRequestWindow::wrap(view);
        // As the gate does: closing the window answers nothing.
        window->setCloseHandler([this] { answers.push_back(std::nullopt); });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        QCoreApplication::processEvents();
    }

    void openDocuments(int count, int pages = 1) {
        std::vector<SigningJob> jobs;
        for (int i = 0; i < count; ++i) jobs.push_back(job("Contract " + std::to_string(i + 1) + ".pdf", pages));
        open(std::move(jobs));
    }

    template <class T = QWidget>
    T* find(const char* name) const {
        return view->findChild<T*>(QString::fromLatin1(name));
    }
    QPushButton* signButton() const { return find<QPushButton>("signButton"); }
    SignaturePad* pad() const { return find<SignaturePad>("signaturePad"); }

    void draw(Strokes strokes = someInk()) {
        pad()->setStrokes(std::move(strokes));
        scheduler.advance(DocumentSigningView::renderDelay);
    }

    static double opacity(QWidget* widget) {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
        return effect ? effect->opacity() : 1.0;
    }
};

TEST_F(DocumentSigningViewTest, OneDocumentHasNoListAndSignsWithInk) {
    openDocuments(1, 2);
    EXPECT_EQ(view->width(), DocumentSigningView::viewWidth);
    EXPECT_EQ(find<QLabel>("title")->text(), "Claude asks you to sign a document");
    EXPECT_EQ(find<QLabel>("documentName")->text(), "Contract 1.pdf");
    EXPECT_EQ(find("documentList"), nullptr);
    EXPECT_EQ(find("companyTextRow"), nullptr);
    EXPECT_EQ(find("stampRow"), nullptr);
    EXPECT_EQ(find("leftColumn")->size(), QSize(420, 600));
    EXPECT_EQ(find("rightColumn")->size(), QSize(460, 600));
    EXPECT_EQ(pad()->size(), QSize(460, 260));
    EXPECT_TRUE(find<QLabel>("note")->text().startsWith("Inkwarden puts the signature on the page"));

    EXPECT_EQ(signButton()->text(), "Sign");
    EXPECT_FALSE(signButton()->isEnabled());
    EXPECT_FALSE(find<QPushButton>("clearButton")->isEnabled());
    draw();
    EXPECT_TRUE(signButton()->isEnabled());
    QTest::mouseClick(find<QPushButton>("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(pad()->strokes().empty());
    EXPECT_FALSE(signButton()->isEnabled());
}

TEST_F(DocumentSigningViewTest, DocumentListHeightFollowsTheCount) {
    const std::pair<int, int> cases[] = {{2, 54}, {3, 80}, {4, 106}, {10, 106}};
    for (auto [count, height] : cases) {
        SCOPED_TRACE(count);
        openDocuments(count);
        EXPECT_EQ(find<QLabel>("title")->text(), QStringLiteral("Claude asks you to sign %1 documents").arg(count));
        EXPECT_EQ(find("documentList")->height(), height);
        EXPECT_EQ(find("documentName"), nullptr);
        EXPECT_TRUE(find<QLabel>("note")->text().startsWith("Your one signature goes on every ticked document"));
        closeWindow();
    }
}

TEST_F(DocumentSigningViewTest, UntickingDocumentsCountsThemOutAndDimsThem) {
    openDocuments(3);
    draw();
    EXPECT_EQ(signButton()->text(), "Sign 3 of 3");
    auto* second = find("documentRow2");
    second->findChild<QCheckBox*>()->setChecked(false);
    EXPECT_EQ(signButton()->text(), "Sign 2 of 3");
    EXPECT_EQ(opacity(find("pagesFrame")), 1.0);

    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(second->width() - 5, second->height() / 2));
    EXPECT_EQ(view->current(), 1);
    EXPECT_EQ(opacity(find("pagesFrame")), 0.4);

    find("documentRow1")->findChild<QCheckBox*>()->setChecked(false);
    find("documentRow3")->findChild<QCheckBox*>()->setChecked(false);
    EXPECT_EQ(signButton()->text(), "Sign 0 of 3");
    EXPECT_FALSE(signButton()->isEnabled());
}

TEST_F(DocumentSigningViewTest, ClickingARowShowsThatDocumentAtZoomOne) {
    std::vector<SigningJob> jobs;
    jobs.push_back(job("One.pdf", 1));
    SigningRequest request;
    request.name = "Two.pdf";
    request.file = testing_support::pdfWithPages({a4, a4, a4}).toStdString();
    request.page = 3;
    jobs.push_back(SigningJob::from(request));
    open(std::move(jobs));

    view->pagesView()->setZoom(3);
    EXPECT_EQ(view->zoom(), 3);
    auto* row = find("documentRow2");
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 5, row->height() / 2));
    EXPECT_EQ(view->current(), 1);
    EXPECT_EQ(view->zoom(), 1);
    EXPECT_EQ(view->pagesView()->zoom(), 1);
    EXPECT_EQ(view->pagesView()->layout().tops.size(), 3u);
    // The signature's page, the third, is what is shown.
    const auto& layout = view->pagesView()->layout();
    auto* pages = view->pagesView();
    const auto centre = [&] { return pages->verticalScrollBar()->value() + pages->viewport()->height() / 2.0; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return centre() > layout.tops[2]; }, 5000)) << centre();
}

TEST_F(DocumentSigningViewTest, TheShownSignatureIsDrawnOnceTheInkRests) {
    open({job("One.pdf", 1)}, QStringLiteral("Jane Doe\nManaging Director"));
    pad()->setStrokes({{{100, 100}, {200, 150}}});
    scheduler.advance(40ms);
    pad()->setStrokes(someInk());
    scheduler.advance(59ms);
    EXPECT_FALSE(view->shownSignature());
    scheduler.advance(1ms);
    ASSERT_TRUE(view->shownSignature());
    auto* box = view->pagesView()->box("signature");
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->item().image.isNull());
    const double withCaption = box->boxArea().height();

    // Without the company text the picture loses its caption: the box gets shorter 60 ms later.
    find<QCheckBox>("addCompanyText")->setChecked(false);
    scheduler.advance(59ms);
    EXPECT_EQ(box->boxArea().height(), withCaption);
    scheduler.advance(1ms);
    EXPECT_LT(box->boxArea().height(), withCaption);

    pad()->setStrokes({});
    scheduler.advance(60ms);
    EXPECT_FALSE(view->shownSignature());
    EXPECT_TRUE(view->pagesView()->box("signature")->item().image.isNull());
}

TEST_F(DocumentSigningViewTest, InitialStrokesFillThePad) {
    open({job("One.pdf", 1)}, {}, {}, someInk());
    EXPECT_EQ(pad()->strokes(), someInk());
    EXPECT_TRUE(signButton()->isEnabled());
}

TEST_F(DocumentSigningViewTest, StampRowAndBoxFollowTheSwitch) {
    open({job("One.pdf", 1)}, {}, stampImage());
    ASSERT_NE(find("stampRow"), nullptr);
    EXPECT_NE(view->pagesView()->box("stamp"), nullptr);
    find<QCheckBox>("addStamp")->setChecked(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(view->pagesView()->box("stamp"), nullptr);
    EXPECT_DOUBLE_EQ(opacity(find("stampPreview")), 0.35);
}

TEST_F(DocumentSigningViewTest, DraggedBoxIsWhereTheSignatureGoes) {
    open({job("Three pages.pdf", 3)});
    draw();
    auto* pages = view->pagesView();
    auto* box = pages->box("signature");
    ASSERT_NE(box, nullptr);
    const QPoint grip = box->boxArea().center().toPoint();
    const int step = static_cast<int>(pages->layout().tops[1]);
    QTest::mousePress(box, Qt::LeftButton, {}, grip);
    QTest::mouseMove(box, grip + QPoint(0, 20));
    QTest::mouseMove(box, grip + QPoint(0, step));
    QTest::mouseRelease(box, Qt::LeftButton, {}, grip);
    EXPECT_EQ(view->documents().front().signature.page, 1);

    QTest::mouseClick(signButton(), Qt::LeftButton);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0]);
    ASSERT_EQ(answers[0]->size(), 1u);
    ASSERT_TRUE((*answers[0])[0]);
    EXPECT_EQ((*answers[0])[0]->page, 2);
}

TEST_F(DocumentSigningViewTest, ExcludedDocumentIsLeftOutOfTheAnswer) {
    openDocuments(2);
    draw();
    find("documentRow2")->findChild<QCheckBox*>()->setChecked(false);
    EXPECT_EQ(signButton()->text(), "Sign 1 of 2");
    QTest::mouseClick(signButton(), Qt::LeftButton);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0]);
    ASSERT_EQ(answers[0]->size(), 2u);
    EXPECT_TRUE((*answers[0])[0]);
    EXPECT_FALSE((*answers[0])[1]);
}

TEST_F(DocumentSigningViewTest, KeysCancelAndSign) {
    openDocuments(1);
    QTest::keyClick(view->window(), Qt::Key_Return);
    EXPECT_TRUE(answers.empty());  // nothing drawn: the sign button is off
    draw();
    QTest::keyClick(view->window(), Qt::Key_Return);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0]);

    answers.clear();
    closeWindow();
    openDocuments(1);
    draw();
    QTest::keyClick(view->window(), Qt::Key_Escape);
    // The shortcut clicks the button the way a person would see it pressed: a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !answers.empty(); }, 5000));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0]);

    answers.clear();
    closeWindow();
    openDocuments(1);
    QTest::mouseClick(find<QPushButton>("cancelButton"), Qt::LeftButton);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0]);
}

}  // namespace
}  // namespace inkwarden
