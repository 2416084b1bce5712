#include "ui/menu_row.hpp"

#include <QEnterEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/chevron.hpp"
#include "ui/collapsible_section_header.hpp"

namespace {

using inkwarden::CollapsibleSectionHeader;
using inkwarden::MenuRow;

constexpr int kPanelWidth = 308;  // the panel's 320 less its side padding

void layOut(QWidget& widget) {
    widget.resize(kPanelWidth, widget.heightForWidth(kPanelWidth));
    widget.show();
    QCoreApplication::processEvents();
}

TEST(MenuRowTest, EveryPartOfTheRowRunsItsActionOnce) {
    MenuRow row(QStringLiteral("doc.on.doc"), true, QStringLiteral("Copy Setup Prompt"), QStringLiteral("subtitle"));
    auto* accessory = new QLabel(QStringLiteral("⌘Q"));
    row.setAccessory(accessory);
    layOut(row);
    QSignalSpy clicked(&row, &MenuRow::clicked);

    const auto* title = row.findChild<QLabel*>("title");
    const QPoint points[] = {
        {4, row.height() / 2},                                            // padding before the badge
        {20, row.height() / 2},                                           // the badge
        title->geometry().center(),                                       // the title
        {(title->geometry().right() + accessory->geometry().left()) / 2,  // the gap before the accessory
         row.height() / 2},
        accessory->geometry().center(),
    };
    for (const auto& point : points) {
        QTest::mouseClick(&row, Qt::LeftButton, {}, point);
    }
    EXPECT_EQ(clicked.count(), static_cast<int>(std::size(points)));
}

TEST(MenuRowTest, PaddingFollowsTheBadgeAndLongSubtitlesWrap) {
    MenuRow withIcon(QStringLiteral("trash"), false, QStringLiteral("Delete Signatures Now"));
    MenuRow withoutIcon(std::nullopt, false, QStringLiteral("Manual Setup"));
    layOut(withIcon);
    layOut(withoutIcon);
    const auto* titleWithIcon = withIcon.findChild<QLabel*>("title");
    const auto* titleWithoutIcon = withoutIcon.findChild<QLabel*>("title");
    EXPECT_EQ(withIcon.height(), 26 + 2 * 4);
    EXPECT_EQ(withoutIcon.height(), titleWithoutIcon->sizeHint().height() + 2 * 5);
    EXPECT_EQ(titleWithoutIcon->x(), 8) << "no gap where the badge would be";
    EXPECT_EQ(titleWithIcon->x(), 8 + 26 + 10);

    MenuRow shortRow(QStringLiteral("trash"), false, QStringLiteral("Title"), QStringLiteral("One line"));
    MenuRow longRow(QStringLiteral("trash"), false, QStringLiteral("Title"),
                    QString(QStringLiteral("a long subtitle that wraps ")).repeated(6));
    layOut(shortRow);
    layOut(longRow);
    EXPECT_GT(longRow.height(), shortRow.height() + 20);
    EXPECT_LE(longRow.findChild<QLabel*>("subtitle")->geometry().right(), kPanelWidth - 8);
}

TEST(MenuRowTest, HighlightFollowsThePointer) {
    MenuRow row(std::nullopt, false, QStringLiteral("Row"));
    layOut(row);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&row, &enter);
    EXPECT_TRUE(row.isHovering());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&row, &leave);
    EXPECT_FALSE(row.isHovering());
}

TEST(CollapsibleSectionHeaderTest, ClickReportsButNeverFoldsByItself) {
    for (bool expanded : {false, true}) {
        CollapsibleSectionHeader header(QStringLiteral("Connect Your AI"), expanded);
        layOut(header);
        QSignalSpy clicked(&header, &CollapsibleSectionHeader::clicked);
        QTest::mouseClick(&header, Qt::LeftButton, {}, QPoint(header.width() - 10, header.height() / 2));
        EXPECT_EQ(clicked.count(), 1);
        EXPECT_EQ(header.isExpanded(), expanded);
        EXPECT_EQ(header.findChild<inkwarden::Chevron*>()->isOpen(), expanded);
    }
}

}  // namespace
