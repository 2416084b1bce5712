#include "ui/company_section.hpp"

#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"

#include <QBuffer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace inkwarden {
namespace {

std::string imageBytes(int width, int height, const char* format = "PNG") {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

std::string pngBytes(int width, int height) {
    return imageBytes(width, height);
}

std::string rawCompanyText() {
    auto object = AppSettings::file().read();
    const auto* value = object.if_contains("companyText");
    return value && value->is_string() ? std::string(value->get_string()) : std::string("(none)");
}

struct CompanySectionTest : ::testing::Test {
    CompanySectionTest() { testing_support::qtApplication(); }

    std::unique_ptr<CompanySection> makeSection() {
        auto section = std::make_unique<CompanySection>(
            [this](QWidget*) { return chosen; }, [this](std::string_view line) { notes.emplace_back(line); });
        section->show();
        return section;
    }

    static bool shown(QWidget* section, const char* name) {
        auto* widget = section->findChild<QWidget*>(name);
        return widget && !widget->isHidden();
    }

    static QString chooseTitle(QWidget* section) {
        return section->findChild<QPushButton*>("chooseStampButton")->text();
    }

    testing_support::AppFoldersSandbox folders;
    std::optional<QString> chosen;
    std::vector<std::string> notes;
};

TEST_F(CompanySectionTest, StartsFoldedAndRemembersTheUserChoice) {
    auto section = makeSection();
    EXPECT_FALSE(shown(section.get(), "companyContent"));
    QTest::mouseClick(section->findChild<QWidget*>("companyHeader"), Qt::LeftButton);
    EXPECT_TRUE(shown(section.get(), "companyContent"));
    EXPECT_TRUE(makeSection()->isExpanded());
}

TEST_F(CompanySectionTest, StoresEveryKeystrokeAsTyped) {
    auto section = makeSection();
    auto* editor = section->findChild<QPlainTextEdit*>("companyTextEditor");
    QTest::keyClicks(editor, "  Jane");
    EXPECT_EQ(rawCompanyText(), "  Jane");
    for (int line = 0; line < 7; ++line) {
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, "x");
    }
    // Kept whole here; only the first six lines reach a signature.
    EXPECT_EQ(rawCompanyText(), "  Jane\nx\nx\nx\nx\nx\nx\nx");
    EXPECT_EQ(AppSettings::companyText(), "Jane\nx\nx\nx\nx\nx");

    // A change made elsewhere (a tool) shows in the open editor.
    AppSettings::setCompanyText("ACME Ltd");
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->toPlainText(), "ACME Ltd");
}

TEST_F(CompanySectionTest, StampRowFollowsEveryStampChange) {
    auto section = makeSection();
    EXPECT_FALSE(shown(section.get(), "companyStampPreview"));
    EXPECT_FALSE(shown(section.get(), "removeStampButton"));
    EXPECT_EQ(chooseTitle(section.get()), "Choose Company Stamp…");

    // Set by a tool while the panel is up.
    CompanyStamp::save(CompanyStamp::normalized(pngBytes(60, 30)));
    EXPECT_TRUE(shown(section.get(), "companyStampPreview"));
    EXPECT_TRUE(shown(section.get(), "removeStampButton"));
    EXPECT_EQ(chooseTitle(section.get()), "Replace Stamp…");
    ASSERT_TRUE(section->stamp());
    EXPECT_EQ(section->stamp()->size(), QSize(60, 30));

    QTest::mouseClick(section->findChild<QPushButton*>("removeStampButton"), Qt::LeftButton);
    EXPECT_FALSE(section->stamp());
    EXPECT_FALSE(shown(section.get(), "companyStampPreview"));
    EXPECT_EQ(chooseTitle(section.get()), "Choose Company Stamp…");
    EXPECT_EQ(notes, std::vector<std::string>{"Company stamp removed in the panel"});
}

TEST_F(CompanySectionTest, ChoosingShowsProblemsUntilAnImportSucceeds) {
    auto section = makeSection();
    const auto notImage = folders.path() / "notes.txt";
    std::ofstream(notImage) << "hello";
    const auto image = folders.path() / "stamp.png";
    std::ofstream(image, std::ios::binary) << pngBytes(40, 20);

    chosen = std::nullopt;  // cancelled
    section->chooseStamp();
    EXPECT_FALSE(section->stampProblem());

    chosen = QString::fromStdString(notImage.string());
    section->chooseStamp();
    EXPECT_EQ(section->stampProblem(), "That file isn't an image Inkwarden can read. Use a PNG or JPEG.");
    EXPECT_TRUE(shown(section.get(), "stampProblem"));
    EXPECT_FALSE(section->stamp());

    chosen = QString::fromStdString((folders.path() / "missing.png").string());
    section->chooseStamp();
    ASSERT_TRUE(section->stampProblem());
    EXPECT_FALSE(section->stampProblem()->isEmpty());

    section->removeStamp();  // leaves the problem as it is
    EXPECT_TRUE(section->stampProblem());

    chosen = QString::fromStdString(image.string());
    section->chooseStamp();
    EXPECT_FALSE(section->stampProblem());
    EXPECT_FALSE(shown(section.get(), "stampProblem"));
    ASSERT_TRUE(section->stamp());
    EXPECT_EQ(readRegularFile(CompanyStamp::url()), CompanyStamp::normalized(pngBytes(40, 20)));
    EXPECT_EQ(notes, (std::vector<std::string>{"Company stamp removed in the panel", "Company stamp set in the panel"}));
}

TEST_F(CompanySectionTest, ReadsPngJpegAndTiff) {
    auto section = makeSection();
    for (const char* format : {"PNG", "JPEG", "TIFF"}) {
        SCOPED_TRACE(format);
        section->removeStamp();
        const auto file = folders.path() / (std::string("stamp.") + format);
        std::ofstream(file, std::ios::binary) << imageBytes(50, 25, format);
        chosen = QString::fromStdString(file.string());
        section->chooseStamp();
        EXPECT_FALSE(section->stampProblem());
        ASSERT_TRUE(section->stamp());
        EXPECT_EQ(section->stamp()->size(), QSize(50, 25));
    }
}

}  // namespace
}  // namespace inkwarden
