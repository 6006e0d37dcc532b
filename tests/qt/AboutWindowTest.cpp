#include "qt/AboutWindow.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace tw::qt {
namespace {

int openAboutWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QStringLiteral("Form2") && w->isVisible()) {
            ++n;
        }
    }
    return n;
}

// A press and a release at pos (the centre when not given), delivered the way the window
// system delivers them, so that an ignored event travels on to the parent.
void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {-1, -1}) {
    if (pos == QPoint(-1, -1)) {
        pos = widget->rect().center();
    }
    const QPointF local(pos);
    const QPointF global(widget->mapToGlobal(pos));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Runs the event loop until done() holds, or for at most two seconds.
bool runUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(10);
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AboutWindowTest : public ::testing::Test {
protected:
    AboutWindowTest() {
        // No frame, so that the outer geometry is the one set here on every platform.
        main.setWindowFlags(Qt::FramelessWindowHint);
        main.setGeometry(100, 50, 600, 420);
        main.show();
    }
    ~AboutWindowTest() override {
        if (QWidget* w = aboutWindow()) {
            w->close();
        }
        flushDeletes();
    }
    template <typename T> T* child(const char* name) {
        return aboutWindow()->findChild<T*>(QString::fromLatin1(name));
    }

    QWidget main;
};

TEST_F(AboutWindowTest, OneSharedInstanceInSteelBluePlacedFromTheMainWindow) {
    showAboutWindow(&main);
    QWidget* first = aboutWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    // 9000 / 2 - 5745 / 2 + 1500 = 3127.5 twips; 750 + 2200 = 2950 twips
    EXPECT_EQ(first->pos(), QPoint(209, 197));
    EXPECT_EQ(first->size(), QSize(383, 245));
    EXPECT_EQ(first->palette().color(QPalette::Window), QColor(97, 133, 183));
    EXPECT_EQ(child<QLabel>("Label5")->palette().color(QPalette::Window), QColor(97, 133, 183));
    EXPECT_EQ(child<QGroupBox>("Frame1")->palette().color(QPalette::Window), QColor(97, 133, 183));
    EXPECT_EQ(child<QLabel>("Label1")->text(), QStringLiteral("Tarnwick Ver 9.9.0.8 BETA"));
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), QStringLiteral("关于Tarnwick"));
    EXPECT_EQ(child<QLabel>("Label4")->text(), QStringLiteral("软件版本：全新版 Ver 9.9.0.8 BETA"));
    // The marquee starts beyond the strip's right end (4905 twips inside a 273-pixel strip).
    EXPECT_EQ(child<QLabel>("Label5")->pos(), QPoint(327, 4));
    EXPECT_EQ(child<QWidget>("Picture1")->geometry(), QRect(54, 216, 273, 21));
    // At least the stored 2640 twips, and wide enough for the whole line in the font shown.
    const QLabel* label5 = child<QLabel>("Label5");
    EXPECT_GE(label5->width(), 176);
    EXPECT_LE(QFontMetricsF(label5->font()).horizontalAdvance(label5->text()), label5->width());

    showAboutWindow(&main);
    EXPECT_EQ(aboutWindow(), first);
    EXPECT_EQ(openAboutWindows(), 1);
}

TEST_F(AboutWindowTest, FontsAndTextColourAreTheMainWindowsStoredOnes) {
    showAboutWindow(&main);
    struct Expected {
        const char* name;
        const char* family;
        int pixelSize; // points at 96 dpi
        bool bold;
    };
    const Expected fonts[] = {
        {"Label1", "宋体", 16, true},  {"Frame1", "华文行楷", 16, false},
        {"Label4", "宋体", 12, false}, {"Label6", "宋体", 12, false},
        {"Label5", "楷体", 12, true},
    };
    for (const Expected& e : fonts) {
        SCOPED_TRACE(e.name);
        const QFont font = child<QWidget>(e.name)->font();
        EXPECT_EQ(font.family().toStdString(), e.family);
        EXPECT_EQ(font.pixelSize(), e.pixelSize);
        EXPECT_EQ(font.bold(), e.bold);
    }

    // System colour 0 is the scroll-bar colour, drawn as the main window draws it.
    const QPalette original = QApplication::palette();
    ASSERT_NE(original.color(QPalette::Midlight), original.color(QPalette::Button));
    EXPECT_EQ(child<QLabel>("Label1")->palette().color(QPalette::WindowText),
              original.color(QPalette::Midlight));
    EXPECT_EQ(child<QGroupBox>("Frame1")->palette().color(QPalette::WindowText),
              original.color(QPalette::Midlight));

    // And it follows a new colour scheme, which reaches the windows through the event loop.
    QPalette changed = original;
    changed.setColor(QPalette::Midlight, QColor(10, 20, 30));
    QApplication::setPalette(changed);
    QLabel* label5 = child<QLabel>("Label5");
    const auto label5Text = [label5] { return label5->palette().color(QPalette::WindowText); };
    EXPECT_TRUE(runUntil([&] { return label5Text() == QColor(10, 20, 30); }))
        << label5Text().name().toStdString();
    QApplication::setPalette(original);
    EXPECT_TRUE(runUntil([&] { return label5Text() == original.color(QPalette::Midlight); }));
}

TEST_F(AboutWindowTest, OnlyAClickOnTheBareSurfaceOrEscapeClosesIt) {
    showAboutWindow(&main);
    QWidget* window = aboutWindow();
    ASSERT_NE(window, nullptr);

    struct Press {
        QWidget* target;
        Qt::MouseButton button;
        QPoint pos;
    };
    const Press kept[] = {
        {child<QLabel>("Label1"), Qt::LeftButton, {-1, -1}},
        {child<QLabel>("Label4"), Qt::LeftButton, {-1, -1}},
        {child<QLabel>("Label6"), Qt::LeftButton, {-1, -1}},
        {child<QGroupBox>("Frame1"), Qt::LeftButton, {10, 130}}, // the frame, between labels
        {child<QWidget>("Picture1"), Qt::LeftButton, {-1, -1}},
        {window, Qt::RightButton, {5, 5}},
    };
    for (const Press& p : kept) {
        SCOPED_TRACE(p.target->objectName().toStdString());
        click(p.target, p.button, p.pos);
        ASSERT_EQ(aboutWindow(), window);
        ASSERT_TRUE(window->isVisible());
    }

    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_EQ(aboutWindow(), window);
    click(window, Qt::LeftButton, QPoint(5, 5));
    EXPECT_EQ(aboutWindow(), nullptr);
    EXPECT_EQ(openAboutWindows(), 0);

    // Escape closes it as well.
    showAboutWindow(&main);
    ASSERT_NE(aboutWindow(), nullptr);
    QTest::keyClick(aboutWindow(), Qt::Key_Escape);
    EXPECT_EQ(aboutWindow(), nullptr);
}

TEST_F(AboutWindowTest, ReopenedItRestartsTheMarqueeWhereTheMainWindowIsNow) {
    showAboutWindow(&main);
    auto* timer = child<QTimer>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 5);
    QLabel* marquee = child<QLabel>("Label5");
    EXPECT_TRUE(runUntil([marquee] { return marquee->x() < 327; }));

    click(aboutWindow(), Qt::LeftButton, QPoint(370, 230));
    flushDeletes();
    main.move(300, 100);
    showAboutWindow(&main);
    ASSERT_NE(aboutWindow(), nullptr);
    // 9000 / 2 - 5745 / 2 + 4500 = 6127.5 twips; 1500 + 2200 = 3700 twips
    EXPECT_EQ(aboutWindow()->pos(), QPoint(409, 247));
    EXPECT_EQ(child<QLabel>("Label5")->pos(), QPoint(327, 4));
}

} // namespace
} // namespace tw::qt
