#include "qt/QuarantineWindow.h"

#include "linux/PosixFileSystem.h"
#include "linux/PosixQuarantine.h"
#include "support/QuarantineStoreFixture.h"

#include <QLabel>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

namespace tw::qt {
namespace {

using QuarantineView = test::QuarantineStoreFixture;

// The window lists the store with the rows the Win32 one shows, a link marked as such, and
// tells how full the store is.
TEST_F(QuarantineView, ListsItemsAndTellsHowFullTheStoreIs) {
    PosixQuarantine q(folder, fs);
    ASSERT_TRUE(add(q, "setup.exe", std::string(1536, 'x')));
    ASSERT_TRUE(q.addRecord(facts("autorun.inf", 0), ItemKind::link, "/etc"));
    QWidget main;
    main.setGeometry(100, 80, 600, 420);
    showQuarantineWindow(&main, q);
    QWidget* window = quarantineWindow();
    ASSERT_NE(window, nullptr);
    auto* usage = window->findChild<QLabel*>(QStringLiteral("usage"));
    ASSERT_NE(usage, nullptr);
    EXPECT_EQ(usage->text().toStdString(), "已用 1.5 KB / 1.0 GB");
    auto* list = window->findChild<QTreeWidget*>(QStringLiteral("items"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->headerItem()->text(1).toStdString(), "原位置");
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), stick / "setup.exe");
    EXPECT_EQ(list->topLevelItem(1)->text(1).toStdString(), stick / "autorun.inf" + "（符号链接）");
    EXPECT_EQ(list->topLevelItem(1)->text(3).toStdString(), "4 字节");
    window->close();
}

} // namespace
} // namespace tw::qt
