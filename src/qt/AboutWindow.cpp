#include "qt/AboutWindow.h"

#include "ports/AboutView.h"
#include "app/Form2.h"
#include "qt/Appearance.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cmath>
#include <initializer_list>

namespace tw::qt {

namespace {

constexpr int twipsPerPixel = 15;

int pixels(float twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

// Stored positions are whole pixels.
QRect pixelRect(int left, int top, int width, int height) {
    return {left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
            height / twipsPerPixel};
}

const QString songTi = QStringLiteral("宋体");

// Controls show their text in system colour 0, as the main window shows it.
QColor textColour() {
    return toQColor(colors::scrollBar, QApplication::palette());
}

class AboutWindow;
QPointer<AboutWindow> theWindow;

class AboutWindow final : public QWidget, public AboutView {
public:
    explicit AboutWindow(QWidget* mainWindow)
        : QWidget(mainWindow != nullptr ? mainWindow->window() : nullptr,
                  Qt::Tool | Qt::FramelessWindowHint),
          m_main(mainWindow != nullptr ? mainWindow->window() : nullptr), m_form(*this),
          m_timer1(this) {
        installFontSubstitutions();
        setAttribute(Qt::WA_DeleteOnClose);
        setObjectName(QStringLiteral("Form2"));
        setWindowTitle(QString::fromUtf8(Form2::frameCaption));
        setFixedSize(5745 / twipsPerPixel, 3675 / twipsPerPixel);
        setFont(storedFont(songTi, 9));
        buildControls();

        m_timer1.setObjectName(QStringLiteral("Timer1"));
        m_timer1.setTimerType(Qt::PreciseTimer);
        m_timer1.setInterval(Form2::timer1IntervalMs);
        QObject::connect(&m_timer1, &QTimer::timeout, [this] {
            m_form.Timer1_Timer(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch()));
        });
        m_form.Form_Load();
        m_timer1.start();
    }

    [[nodiscard]] TwipsFrame mainWindowFrame() const override {
        if (m_main == nullptr) {
            return {};
        }
        const QRect outer = m_main->frameGeometry();
        return {static_cast<float>(outer.x() * twipsPerPixel),
                static_cast<float>(outer.y() * twipsPerPixel),
                static_cast<float>(outer.width() * twipsPerPixel)};
    }
    [[nodiscard]] float outerWidth() const override {
        return static_cast<float>(frameGeometry().width() * twipsPerPixel);
    }

    [[nodiscard]] float marqueeTextWidth() const override {
        const QFontMetricsF metrics(m_label5->font());
        return static_cast<float>(metrics.horizontalAdvance(m_label5->text()) * twipsPerPixel);
    }
    void setMarqueeWidth(float width) override {
        m_label5->resize(static_cast<int>(std::ceil(width / twipsPerPixel)), m_label5->height());
    }
    void setBackColor(AboutCtl control, Color color) override {
        QWidget* w = widgetFor(control);
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, toQColor(color, w->palette()));
        w->setPalette(palette);
        w->setAutoFillBackground(true);
    }
    void setMarqueeLeft(float left) override { m_label5->move(pixels(left), 60 / twipsPerPixel); }
    void place(float left, float top) override { move(pixels(left), pixels(top)); }
    void setTimer1(bool enabled) override {
        if (enabled) {
            m_timer1.start();
        } else {
            m_timer1.stop();
        }
    }
    void unload() override { close(); }

protected:
    // Only presses on the bare surface arrive here: the controls keep theirs.
    void mousePressEvent(QMouseEvent* event) override {
        m_pressed = event->button() == Qt::LeftButton;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click = m_pressed && event->button() == Qt::LeftButton &&
                           rect().contains(event->position().toPoint());
        m_pressed = false;
        if (click) {
            m_form.Form_Click();
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            m_form.Form_Escape();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange) {
            // System colour 0 follows the new scheme.
            for (QWidget* w :
                 std::initializer_list<QWidget*>{m_label1, m_label2, m_label3, m_label4, m_label5,
                                                 m_label6, m_frame1, m_picture1}) {
                if (w != nullptr) {
                    paintText(w);
                }
            }
        }
        return QWidget::event(event);
    }
    void closeEvent(QCloseEvent* event) override {
        // The next request loads a new window, even before this one is deleted.
        m_timer1.stop();
        if (theWindow == this) {
            theWindow.clear();
        }
        QWidget::closeEvent(event);
    }

private:
    QLabel* addLabel(QWidget* parent, const char* name, const char* text, QRect where) {
        auto* label = new QLabel(QString::fromUtf8(text), parent);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(where);
        label->setFont(storedFont(songTi, 9));
        prepareControl(label);
        return label;
    }
    void prepareControl(QWidget* w) {
        // A press on a control must not reach the window: only the bare surface closes it.
        w->setAttribute(Qt::WA_NoMousePropagation);
        paintText(w);
    }
    static void paintText(QWidget* w) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::WindowText, textColour());
        w->setPalette(palette);
    }

    void buildControls() {
        m_label1 = addLabel(this, "Label1", Form2::title, pixelRect(240, 330, 3915, 345));
        m_label1->setFont(storedFont(songTi, 12, true));

        m_frame1 = new QGroupBox(QString::fromUtf8(Form2::frameCaption), this);
        m_frame1->setObjectName(QStringLiteral("Frame1"));
        m_frame1->setGeometry(pixelRect(480, 840, 4785, 2115));
        m_frame1->setFont(storedFont(QStringLiteral("华文行楷"), 12));
        prepareControl(m_frame1);
        m_label4 = addLabel(m_frame1, "Label4", Form2::versionLine, pixelRect(480, 480, 4200, 255));
        m_label2 = addLabel(m_frame1, "Label2", Form2::makerLine, pixelRect(480, 840, 4200, 255));
        m_label3 = addLabel(m_frame1, "Label3", Form2::mailLine, pixelRect(480, 1200, 4200, 255));
        m_label6 = addLabel(m_frame1, "Label6", Form2::rightsLine, pixelRect(480, 1560, 4200, 255));

        m_picture1 = new QWidget(this);
        m_picture1->setObjectName(QStringLiteral("Picture1"));
        m_picture1->setGeometry(pixelRect(810, 3240, 4095, 315));
        prepareControl(m_picture1);
        m_label5 =
            addLabel(m_picture1, "Label5", Form2::contactLine, pixelRect(210, 60, 2640, 285));
        m_label5->setFont(storedFont(QStringLiteral("楷体"), 9, true));
    }

    QWidget* widgetFor(AboutCtl control) {
        switch (control) {
        case AboutCtl::Form:
            return this;
        case AboutCtl::Label1:
            return m_label1;
        case AboutCtl::Label2:
            return m_label2;
        case AboutCtl::Label3:
            return m_label3;
        case AboutCtl::Label4:
            return m_label4;
        case AboutCtl::Label5:
            return m_label5;
        case AboutCtl::Label6:
            return m_label6;
        case AboutCtl::Picture1:
            return m_picture1;
        case AboutCtl::Frame1:
            return m_frame1;
        }
        return this;
    }

    QWidget* m_main;
    Form2 m_form;
    QTimer m_timer1;
    bool m_pressed = false;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
    QLabel* m_label5 = nullptr;
    QLabel* m_label6 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QWidget* m_picture1 = nullptr;
};

} // namespace

void showAboutWindow(QWidget* mainWindow) {
    if (theWindow == nullptr) {
        theWindow = new AboutWindow(mainWindow);
    }
    // Active, so that Escape reaches it.
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
}

QWidget* aboutWindow() {
    return theWindow.data();
}

} // namespace tw::qt
