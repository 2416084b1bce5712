#include "ui/menu_view.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <gtest/gtest.h>

#include "ui/menu_divider.hpp"
#include "ui/status_header.hpp"

namespace {

using inkwarden::MenuView;
using Section = MenuView::Section;

QWidget* block(int height, const char* name) {
    auto* widget = new QWidget;
    widget->setObjectName(name);
    widget->setFixedHeight(height);
    return widget;
}

int visibleDividers(const MenuView& view) {
    int count = 0;
    for (auto* divider : view.findChildren<inkwarden::MenuDivider*>()) count += divider->isVisibleTo(&view);
    return count;
}

TEST(MenuViewTest, SectionsStandInOrderBelowDividersWhateverOrderTheyCameIn) {
    MenuView view;
    view.show();
    const int bare = view.height();
    EXPECT_EQ(view.width(), 320);
    EXPECT_EQ(visibleDividers(view), 0);

    view.setSection(Section::footer, block(40, "footer"));
    view.setSection(Section::connection, block(30, "connection"));
    view.setSection(Section::signatures, block(20, "signatures"));
    QCoreApplication::processEvents();
    EXPECT_EQ(visibleDividers(view), 3);
    // Each section adds itself, a divider (9) and two gaps of 4.
    EXPECT_EQ(view.height(), bare + (20 + 30 + 40) + 3 * (9 + 2 * 4));

    const auto* header = view.header();
    const auto* signatures = view.findChild<QWidget*>("signatures");
    const auto* connection = view.findChild<QWidget*>("connection");
    const auto* footer = view.findChild<QWidget*>("footer");
    EXPECT_EQ(header->y(), 10);
    EXPECT_LT(header->geometry().bottom(), signatures->y());
    EXPECT_LT(signatures->geometry().bottom(), connection->y());
    EXPECT_LT(connection->geometry().bottom(), footer->y());
    EXPECT_EQ(footer->geometry().bottom(), view.height() - 1 - 10);
    EXPECT_EQ(footer->x(), 6);
    EXPECT_EQ(footer->width(), 320 - 12);

    view.setSection(Section::company, block(50, "company"));
    QCoreApplication::processEvents();
    const auto* company = view.findChild<QWidget*>("company");
    EXPECT_LT(signatures->geometry().bottom(), company->y());
    EXPECT_LT(company->geometry().bottom(), connection->y());
    EXPECT_EQ(visibleDividers(view), 4);
}

TEST(MenuViewTest, GrowsAndShrinksWithItsOpenSections) {
    MenuView view;
    auto* section = block(30, "section");
    view.setSection(Section::connection, section);
    view.show();
    QCoreApplication::processEvents();
    const int closed = view.height();
    section->setFixedHeight(130);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.height(), closed + 100);
    section->setFixedHeight(30);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.height(), closed);
}

TEST(MenuViewTest, AReplacedSectionIsDeleted) {
    MenuView view;
    QPointer<QWidget> first = block(10, "first");
    view.setSection(Section::signatures, first);
    view.setSection(Section::signatures, block(10, "second"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(view.section(Section::signatures)->objectName(), "second");
}

}  // namespace
