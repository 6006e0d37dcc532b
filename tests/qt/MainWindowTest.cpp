// Mouse events travel the real path: through the window system interface to the window,
// and from there to the widget under the pointer.
#define QTEST_QPA_MOUSE_HANDLING

#include "qt/MainWindow.h"

#include "app/Form1.h"
#include "qt/Appearance.h"
#include "qt/QuarantineWindow.h"
#include "linux/PosixFileSystem.h"
#include "linux/PosixQuarantine.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace tw::qt {
namespace {

using test::Lines;

// A scheme whose system colours all differ from the plain ones, so that "the label's
// default text colour" cannot pass for black.
QPalette distinctScheme() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Midlight, QColor(0xc8, 0xc8, 0xc9));        // system colour 0
    palette.setColor(QPalette::PlaceholderText, QColor(0x6d, 0x6d, 0x6e)); // 17
    palette.setColor(QPalette::ButtonText, QColor(0x10, 0x18, 0x20));      // 18
    return palette;
}

// The files this process has mapped whose path contains all of the given parts.
std::set<std::string> mappedFiles(std::initializer_list<const char*> parts) {
    std::set<std::string> files;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::size_t slash = line.find('/');
        if (slash != std::string::npos &&
            std::all_of(parts.begin(), parts.end(), [&](const char* part) {
                return line.find(part, slash) != std::string::npos;
            })) {
            files.insert(line.substr(slash));
        }
    }
    return files;
}

// How many pixels of the text come out dark in this font.
int inkOf(const QString& text, const QFont& font) {
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(4, 28), text);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return ink;
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        // Another test in the same process may have loaded the image plugins (a message
        // box's icon): only a fresh process tells what the window itself loads.
        static int made = 0;
        freshProcess = made++ == 0 && mappedFiles({"/imageformats/"}).empty();
        m_saved = QApplication::palette();
        QApplication::setPalette(distinctScheme());
        window = std::make_unique<MainWindow>();
        form = std::make_unique<Form1>(Ports{fs, host, *window, clock, quarantine}, state);
        window->attach(*form);
    }
    ~MainWindowTest() override {
        window.reset();
        QApplication::setPalette(m_saved);
    }

    void show() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T = QWidget> T* find(const char* name) const {
        T* widget = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QWidget* surface() const { return window->centralWidget(); }

    // The colour a label shows when enabled, by name.
    std::string colour(const char* name) const {
        const QColor c =
            find<QLabel>(name)->palette().color(QPalette::Active, QPalette::WindowText);
        static const std::map<QRgb, std::string> names = {
            {qRgb(255, 0, 0), "red"},          {qRgb(0, 0, 0), "black"},
            {qRgb(0xc8, 0xc8, 0xc9), "sys0"},  {qRgb(0x6d, 0x6d, 0x6e), "sys17"},
            {qRgb(0x10, 0x18, 0x20), "sys18"}, {qRgb(0, 192, 0), "green"},
            {qRgb(192, 0, 0), "darkred"},      {qRgb(0, 128, 0), "darkgreen"},
        };
        const auto it = names.find(c.rgb());
        return it == names.end() ? c.name().toStdString() : it->second;
    }
    std::string actionColours() const {
        return colour("Label1") + " " + colour("Label2") + " " + colour("Label3") + " " +
               colour("Label4") + " " + colour("Label6");
    }

    test::Transcript transcript;
    test::VirtualClock clock{transcript};
    test::TempDir stick{"stick"};
    test::TempDir temp{"temp"};
    test::TempDir program{"program"};
    test::FakeHost host{transcript, temp.path(), program.path()};
    PosixFileSystem fs{"removable=" + stick.path()};
    test::TempDir store{"quarantine"};
    PosixQuarantine quarantine{store.path(), fs};
    AppState state;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Form1> form;

    bool freshProcess = false;

private:
    QPalette m_saved;
};

TEST_F(MainWindowTest, ControlsHaveTheirStoredNamesCaptionsPlacesAndFonts) {
    struct Expected {
        const char* name;
        const char* className;
        const char* caption;
        QRect geometry;
        const char* family;
        int pixelSize;
        bool bold;
    };
    const Expected controls[] = {
        {"Label1", "QLabel", "关于我们", {52, 92, 61, 19}, "宋体", 14, true},
        {"Label2", "QLabel", "简单免疫", {148, 92, 61, 19}, "宋体", 14, true},
        {"Label3", "QLabel", "深度免疫", {244, 92, 61, 19}, "宋体", 14, true},
        {"Label4", "QLabel", "免疫系统", {336, 92, 61, 19}, "宋体", 14, true},
        {"Option1_0", "QRadioButton", "快速扫描", {452, 166, 101, 27}, "宋体", 12, false},
        {"Option1_1", "QRadioButton", "完全扫描", {452, 210, 103, 23}, "宋体", 12, false},
        {"Label6", "QLabel", "立即扫描（S)", {476, 266, 73, 19}, "宋体", 12, false},
        {"Label7", "QLabel", "正在检测U盘......", {24, 328, 553, 16}, "宋体", 12, false},
        {"Label8",
         "QLabel",
         "Tarnwick将帮助您清除U盘中的病毒。",
         {96, 168, 273, 25},
         "微软雅黑",
         14,
         false},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        QWidget* widget = find(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), e.className);
        EXPECT_EQ(widget->parentWidget(), surface());
        const QString text = e.className == std::string("QLabel")
                                 ? static_cast<QLabel*>(widget)->text()
                                 : static_cast<QRadioButton*>(widget)->text();
        EXPECT_EQ(text.toStdString(), e.caption);
        // Stored place and width; the height grows where a Noto line needs more room.
        EXPECT_EQ(widget->pos(), e.geometry.topLeft());
        EXPECT_EQ(widget->width(), e.geometry.width());
        EXPECT_GE(widget->height(), e.geometry.height());
        EXPECT_GE(widget->height(), QFontMetricsF(widget->font()).height());
        EXPECT_EQ(widget->font().family().toStdString(), e.family);
        EXPECT_EQ(widget->font().pixelSize(), e.pixelSize);
        EXPECT_EQ(widget->font().bold(), e.bold);
        // Chinese renders: the stored family resolves to an installed CJK face.
        EXPECT_TRUE(QFontInfo(widget->font()).family().contains(QStringLiteral("CJK")))
            << QFontInfo(widget->font()).family().toStdString();
    }

    // Label5 sizes itself to its text from its stored top left corner.
    auto* label5 = find<QLabel>("Label5");
    EXPECT_EQ(label5->text().toStdString(), "正在进行自身完整性检测......");
    EXPECT_EQ(label5->pos(), QPoint(90, 232));
    EXPECT_EQ(label5->font().pixelSize(), 12);
    EXPECT_EQ(label5->size(), label5->sizeHint());
    window->setCaption(Ctl::Label5, "√Tarnwick完整性良好");
    EXPECT_EQ(label5->pos(), QPoint(90, 232));
    EXPECT_EQ(label5->size(), label5->sizeHint());

    EXPECT_EQ(window->objectName().toStdString(), "Form1");
    EXPECT_EQ(window->windowTitle().toStdString(), "Tarnwick Ver 9.9.0.8 BETA");
    EXPECT_EQ(surface()->font().family().toStdString(), "华文中宋");
    EXPECT_EQ(surface()->font().pixelSize(), 12);
    EXPECT_EQ(window->windowIcon().availableSizes(),
              (QList<QSize>{QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
}

TEST_F(MainWindowTest, OneFontFaceDrawsEveryStoredFontAndNoImagePluginIsLoaded) {
    show();
    QApplication::processEvents();

    std::set<std::string> faces;
    for (const char* name : {"Label1", "Label5", "Label6", "Label7", "Label8", "Option1_0"}) {
        SCOPED_TRACE(name);
        const QFontInfo info(find(name)->font());
        faces.insert(info.family().toStdString() + " " + info.styleName().toStdString());
        EXPECT_EQ(info.family(), oneFace());
    }
    EXPECT_EQ(faces.size(), 1u) << *faces.begin();
    EXPECT_EQ(mappedFiles({"CJK"}).size(), 1u);

    // Bold still shows: drawn from the regular face, with clearly more ink.
    const QFont bold = find("Label1")->font();
    ASSERT_TRUE(bold.bold());
    QFont regular = bold;
    regular.setBold(false);
    EXPECT_GT(inkOf(QStringLiteral("关于我们"), bold),
              inkOf(QStringLiteral("关于我们"), regular) * 5 / 4);

    // The menu bar's icons are drawn, not read from files through the image plugins.
    if (freshProcess) {
        EXPECT_EQ(mappedFiles({"/imageformats/"}), std::set<std::string>{});
    }
}

TEST_F(MainWindowTest, ClientAreaIsFixedBelowTheMenuBar) {
    show();
    EXPECT_EQ(surface()->size(), QSize(597, 397));
    EXPECT_EQ(surface()->y(), window->menuBar()->height());
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->height(), window->menuBar()->height() + 397);
}

TEST_F(MainWindowTest, StoredColoursAndStatesFollowTheScheme) {
    EXPECT_EQ(actionColours(), "sys0 sys0 sys0 sys0 sys18");
    EXPECT_EQ(colour("Label5"), "sys17");
    EXPECT_EQ(colour("Label7"), "green");
    EXPECT_EQ(colour("Label8"), "darkgreen");
    for (const char* name : {"Option1_0", "Option1_1"}) {
        auto* option = find<QRadioButton>(name);
        EXPECT_TRUE(option->autoFillBackground());
        EXPECT_EQ(option->palette().color(option->backgroundRole()), QColor(206, 218, 234));
        EXPECT_EQ(option->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        EXPECT_FALSE(option->isChecked());
    }
    for (const char* name :
         {"Label1", "Label2", "Label3", "Label4", "Label5", "Label7", "Label8"}) {
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(find("Label6")->isEnabled());
    // A disabled label shows the system's grey text, as the Windows build draws it.
    EXPECT_EQ(find<QLabel>("Label6")->palette().color(QPalette::Disabled, QPalette::WindowText),
              QColor(0x6d, 0x6d, 0x6e));
    EXPECT_TRUE(find("Label7")->isHidden());
    EXPECT_FALSE(find("Label5")->isHidden());
    EXPECT_FALSE(window->optionValue(0));
    EXPECT_FALSE(window->optionValue(1));

    auto* timer1 = find<QTimer>("Timer1");
    auto* timer2 = find<QTimer>("Timer2");
    EXPECT_EQ(timer1->interval(), 1000);
    EXPECT_EQ(timer2->interval(), 3000);
    EXPECT_FALSE(timer2->isActive());

    // A new scheme repaints the system colours, and only those.
    window->setForeColor(Ctl::Label7, colors::darkRed);
    QPalette scheme = distinctScheme();
    scheme.setColor(QPalette::Midlight, QColor(1, 2, 3));
    QApplication::setPalette(scheme);
    QApplication::processEvents(); // the change reaches the window as a posted event
    EXPECT_EQ(find<QLabel>("Label1")->palette().color(QPalette::WindowText), QColor(1, 2, 3));
    EXPECT_EQ(colour("Label7"), "darkred");
}

TEST_F(MainWindowTest, OnlyTheOptionButtonsTakeTheFocusInStoredOrder) {
    Lines order;
    for (QObject* child : surface()->children()) {
        order.push_back(child->objectName().toStdString());
    }
    EXPECT_EQ(order, (Lines{"Label1", "Label2", "Label3", "Label4", "Label5", "Option1_0",
                            "Option1_1", "Label6", "Label7", "Label8"}));
    for (const char* name :
         {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label8"}) {
        EXPECT_EQ(find(name)->focusPolicy(), Qt::NoFocus) << name;
    }
    EXPECT_EQ(find("Option1_0")->nextInFocusChain(), find("Option1_1"));
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsAndShortcutsAndReachTheirHandlers) {
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text().toStdString(), "操作(&F)");
    EXPECT_EQ(menus[0]->menu()->objectName().toStdString(), "vbfile");
    EXPECT_EQ(menus[1]->text().toStdString(), "帮助(&H)");
    EXPECT_EQ(menus[1]->menu()->objectName().toStdString(), "vbhelp");

    const struct {
        QMenu* menu;
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    } items[] = {
        {menus[0]->menu(), "vbquarantine", "隔离区(&Q)...", QKeySequence()},
        {menus[0]->menu(), "vbundosystem", "撤销系统免疫(&U)", QKeySequence()},
        {menus[0]->menu(), "vbreport", "查看完全扫描报告(&R)...", QKeySequence()},
        {menus[0]->menu(), "vbexit", "退出(&X)", QKeySequence(QStringLiteral("Ctrl+X"))},
        {menus[1]->menu(), "vbhelpinfo", "技术支持(&S)", QKeySequence(QStringLiteral("Ctrl+S"))},
        {menus[1]->menu(), "about", "关于我们(&A)", QKeySequence(QStringLiteral("Ctrl+A"))},
    };
    EXPECT_EQ(menus[0]->menu()->actions().size(), 5); // a separator before 退出
    EXPECT_EQ(menus[1]->menu()->actions().size(), 2);
    for (const auto& item : items) {
        auto* action = item.menu->findChild<QAction*>(QString::fromUtf8(item.name));
        ASSERT_NE(action, nullptr) << item.name;
        EXPECT_TRUE(item.menu->actions().contains(action));
        EXPECT_EQ(action->text().toStdString(), item.caption);
        EXPECT_EQ(action->shortcut(), item.shortcut);
    }

    // Without its companion file the undo item says so in the status line.
    menus[0]->menu()->findChild<QAction*>(QStringLiteral("vbundosystem"))->trigger();
    EXPECT_EQ(find<QLabel>("Label7")->text().toStdString(),
              "找不到" + program.path() + "/systemset.dll无法完成操作！");

    show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_X, Qt::ControlModifier);
    window->close();
    EXPECT_EQ(transcript.lines(),
              (Lines{"open https://tarnwick.example.com/support", "end", "end"}));
}

// 操作 > 隔离区 opens the quarantine window over the main window, its list read from the store.
TEST_F(MainWindowTest, TheQuarantineMenuItemOpensTheWindowWithTheStoredItems) {
    struct Content final : ByteReader {
        std::optional<std::size_t> read(char* buffer, std::size_t size) override {
            const std::size_t n = std::min(size, left);
            std::fill_n(buffer, n, 'x');
            left -= n;
            return n;
        }
        std::size_t left = 2048;
    } content;
    QuarantineFacts facts;
    facts.originalPath = stick / "Photos.exe";
    facts.driveRoot = stick.path();
    facts.size = 2048;
    facts.attributes = 38;
    facts.condemnedBy = condemned::disguisedFolder;
    ASSERT_TRUE(quarantine.add(facts, content));

    show();
    auto* item = find<QAction>("vbquarantine");
    ASSERT_NE(item, nullptr);
    item->trigger();
    QWidget* opened = quarantineWindow();
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_EQ(opened->windowTitle().toStdString(), "隔离区");
    EXPECT_EQ(opened->parentWidget(), window.get());

    auto* list = opened->findChild<QTreeWidget*>(QStringLiteral("items"));
    ASSERT_NE(list, nullptr);
    const QTreeWidgetItem* header = list->headerItem();
    EXPECT_EQ((Lines{header->text(0).toStdString(), header->text(1).toStdString(),
                     header->text(2).toStdString(), header->text(3).toStdString()}),
              (Lines{"时间", "原位置", "原因", "大小"}));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    const QTreeWidgetItem* row = list->topLevelItem(0);
    EXPECT_EQ(row->text(1).toStdString(), stick / "Photos.exe");
    EXPECT_EQ(row->text(2).toStdString(), "快速扫描：伪装文件夹病毒");
    EXPECT_EQ(row->text(3).toStdString(), "2.0 KB");
    for (const auto& [name, caption] : {std::pair{"restore", "恢复(&R)"}, {"purge", "删除(&D)"}}) {
        auto* button = opened->findChild<QPushButton*>(QString::fromUtf8(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text().toStdString(), caption);
    }

    // A second click brings the same window forward.
    item->trigger();
    EXPECT_EQ(quarantineWindow(), opened);
    opened->close();
}

TEST_F(MainWindowTest, HoverPressAndSurfaceResetThroughRealMouseEvents) {
    ASSERT_TRUE(form->Form_Load()); // Label2 and Label3 disabled, as at start-up
    show();
    const auto move = [&](const char* name) { QTest::mouseMove(find(name)); };
    // The right button: a press like any other, but no click that would run a command.
    const auto press = [&](const char* name) {
        QTest::mousePress(find(name), Qt::RightButton);
        QTest::mouseRelease(find(name), Qt::RightButton);
    };
    const auto moveSurface = [&] { QTest::mouseMove(surface(), QPoint(10, 250)); };

    const struct {
        std::function<void()> step;
        const char* what;
        const char* colours; // Label1 Label2 Label3 Label4 Label6
    } script[] = {
        {[&] { move("Label1"); }, "hover Label1", "red sys0 sys0 sys0 sys18"},
        {[&] { move("Option1_0"); }, "on to an option", "red sys0 sys0 sys0 sys18"},
        {[&] { move("Label8"); }, "on to the banner", "red sys0 sys0 sys0 sys18"},
        {moveSurface, "surface", "sys0 sys0 sys0 sys0 black"},
        {[&] { move("Label2"); }, "hover disabled Label2", "sys0 sys0 sys0 sys0 black"},
        {[&] { move("Label6"); }, "hover disabled Label6", "sys0 sys0 sys0 sys0 black"},
        {[&] { move("Label4"); }, "hover Label4", "sys0 sys0 sys0 red black"},
        {[&] { press("Label4"); }, "press Label4", "sys0 sys0 sys0 sys0 black"},
        {[&] { QTest::mouseMove(find("Label4"), QPoint(3, 3)); }, "hover Label4 again",
         "sys0 sys0 sys0 red black"},
        {[&] { move("Label3"); }, "hover disabled Label3", "sys0 sys0 sys0 red black"},
        {[&] { window->setEnabled(Ctl::Label6, true); }, "enable Label6",
         "sys0 sys0 sys0 red black"},
        {[&] { move("Label6"); }, "hover Label6", "sys0 sys0 sys0 red red"},
        {[&] { QTest::mousePress(find("Label6"), Qt::RightButton); }, "right-press Label6",
         "sys0 sys0 sys0 red sys0"},
        {[&] { QTest::mouseRelease(find("Label6"), Qt::RightButton); }, "release",
         "sys0 sys0 sys0 red sys0"},
        {moveSurface, "surface", "sys0 sys0 sys0 sys0 black"},
    };
    for (const auto& s : script) {
        s.step();
        EXPECT_EQ(actionColours(), s.colours) << s.what;
    }
}

TEST_F(MainWindowTest, ALeftClickOnAnEnabledActionLabelRunsItsCommand) {
    show();
    auto* timer2 = find<QTimer>("Timer2");
    // Label6 with neither scan chosen only pauses and resumes the drive monitor.
    QTest::mouseClick(find("Label6"), Qt::LeftButton);
    EXPECT_FALSE(timer2->isActive()) << "a disabled label takes no click";

    window->setEnabled(Ctl::Label6, true);
    QTest::mousePress(find("Label6"), Qt::LeftButton);
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(10, 250));
    EXPECT_FALSE(timer2->isActive()) << "released away from the label: no click";

    QTest::mouseClick(find("Label6"), Qt::RightButton);
    EXPECT_FALSE(timer2->isActive()) << "only the left button clicks";

    QTest::mouseClick(find("Label6"), Qt::LeftButton);
    EXPECT_TRUE(timer2->isActive());
}

TEST_F(MainWindowTest, EnablingTheRunningMonitorKeepsItsInterval) {
    auto* timer2 = find<QTimer>("Timer2");
    window->setTimer2(true);
    ASSERT_TRUE(timer2->isActive());
    QTest::qWait(60);
    window->setTimer2(true);
    EXPECT_LE(timer2->remainingTime(), 3000 - 40);
    window->setTimer2(false);
    EXPECT_FALSE(timer2->isActive());
    window->setTimer2(true);
    EXPECT_GE(timer2->remainingTime(), 3000 - 10) << "a new start waits a full interval";

    auto* timer1 = find<QTimer>("Timer1");
    window->setTimer1(true);
    EXPECT_TRUE(timer1->isActive());
    window->setTimer1(false);
    EXPECT_FALSE(timer1->isActive());
}

// What a message box showed.
struct BoxSeen {
    std::string title;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Lines buttons;
    Qt::TextFormat format = Qt::AutoText;
    bool modal = false;
    QWidget* parent = nullptr;
};

TEST_F(MainWindowTest, MessageBoxesSpeakChineseAndReturnTheButtonPressed) {
    show();
    const auto click = [](const char* text) {
        return [text](QMessageBox& box) {
            for (QAbstractButton* button : box.buttons()) {
                if (button->text().toStdString() == text) {
                    button->click();
                    return;
                }
            }
            ADD_FAILURE() << "no button " << text;
            box.reject();
        };
    };
    const auto escape = [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); };
    const auto enter = [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); };

    const struct {
        int style;
        std::function<void(QMessageBox&)> answer;
        QMessageBox::Icon icon;
        Lines buttons;
        int result;
    } cases[] = {
        {64, click("确定"), QMessageBox::Information, {"确定"}, mb::ok},
        {64, escape, QMessageBox::Information, {"确定"}, mb::ok},
        {48, click("确定"), QMessageBox::Warning, {"确定"}, mb::ok},
        {4, click("是(&Y)"), QMessageBox::NoIcon, {"是(&Y)", "否(&N)"}, mb::yes},
        {4, click("否(&N)"), QMessageBox::NoIcon, {"是(&Y)", "否(&N)"}, mb::no},
        {4, enter, QMessageBox::NoIcon, {"是(&Y)", "否(&N)"}, mb::yes},
        {4, escape, QMessageBox::NoIcon, {"是(&Y)", "否(&N)"}, mb::no},
        {1, click("确定"), QMessageBox::NoIcon, {"确定", "取消"}, mb::ok},
        {1, click("取消"), QMessageBox::NoIcon, {"确定", "取消"}, mb::cancel},
        {1, escape, QMessageBox::NoIcon, {"确定", "取消"}, mb::cancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        BoxSeen seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen.title = box->windowTitle().toStdString();
            seen.text = box->text().toStdString();
            seen.icon = box->icon();
            seen.format = box->textFormat();
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons.push_back(button->text().toStdString());
            }
            seen.modal = box->isModal();
            seen.parent = box->parentWidget();
            c.answer(*box);
        });
        const int result = window->msgBox("检测到<b>E:</b>盘中存在Autorun威胁！", c.style, "威胁");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(seen.title, "威胁");
        EXPECT_EQ(seen.text, "检测到<b>E:</b>盘中存在Autorun威胁！");
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.format, Qt::PlainText) << "a path is never markup";
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_TRUE(seen.modal);
        EXPECT_EQ(seen.parent, window.get());
    }
}

} // namespace
} // namespace tw::qt
