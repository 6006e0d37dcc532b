#include "qt/MainWindow.h"

#include "app/Form1.h"
#include "qt/AboutWindow.h"
#include "qt/Appearance.h"
#include "qt/Artwork.h"
#include "qt/QuarantineWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTimer>
#include <QtMath>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace tw::qt {

namespace {

// 15 twips are one pixel at 96 dpi.
constexpr int px(int twips) {
    return twips / 15;
}

QRect stored(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

const QString song = QStringLiteral("宋体");

struct LabelLayout {
    const char* name;
    const char* caption;
    QRect geometry;
    QFont font;
    Color color;
};

// For scripts/measure-startup.sh: the wall-clock time of the window's first paint, in
// microseconds, when TARNWICK_MARK_FIRST_PAINT asks for it.
void markFirstPaint() {
    static bool marked = false;
    if (marked || !qEnvironmentVariableIsSet("TARNWICK_MARK_FIRST_PAINT")) {
        return;
    }
    marked = true;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    std::fprintf(stderr, "first paint %lld\n", static_cast<long long>(us));
    std::fflush(stderr);
}

std::size_t index(Ctl control) {
    return static_cast<std::size_t>(control);
}

// The window's client area with the background picture; the labels lie over it.
class Surface final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        // Clipped to what needs painting: a label changing colour redraws only its own part.
        QPainter painter(this);
        drawBackground(painter);
        painter.end();
        markFirstPaint();
    }
};

// The menu bar makes a button for menus that do not fit, with an icon the style loads from a
// file, and reading that file loads every image format plugin. These menus always fit; the
// icon is drawn here instead.
class MenuBarStyle final : public QProxyStyle {
public:
    // Over the style in use, so that nothing else changes.
    MenuBarStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which != SP_ToolBarHorizontalExtensionButton) {
            return QProxyStyle::standardIcon(which, option, widget);
        }
        QPixmap chevrons(8, 8);
        chevrons.fill(Qt::transparent);
        QPainter p(&chevrons);
        p.setPen(QPen(QApplication::palette().color(QPalette::ButtonText), 1));
        for (const int x : {1, 4}) {
            p.drawPolyline(QPolygon({QPoint(x, 1), QPoint(x + 2, 4), QPoint(x, 7)}));
        }
        p.end();
        return QIcon(chevrons);
    }
};

void useMenuBarStyle() {
    if (dynamic_cast<MenuBarStyle*>(QApplication::style()) == nullptr) {
        QApplication::setStyle(new MenuBarStyle);
    }
}

// A drive action builds large listings and frees them at its end; the allocator keeps the
// freed pages unless asked. Handing them back keeps the idle window as small after an action
// as before it.
void releaseFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// Sets a label's text colour. A disabled label shows the system's grey text instead, as the
// Windows build does.
void paintText(QLabel* label, Color value) {
    QPalette palette = label->palette();
    const QColor color = toQColor(value, QPalette());
    palette.setColor(QPalette::Active, QPalette::WindowText, color);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, color);
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     toQColor(Form1::disabledForeColor, QPalette()));
    label->setPalette(palette);
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    installFontSubstitutions();
    useMenuBarStyle();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarnwick Ver 9.9.0.8 BETA"));
    setWindowIcon(programIcon());

    m_surface = new Surface(this);
    m_surface->setObjectName(QStringLiteral("surface"));
    m_surface->setFont(storedFont(QStringLiteral("华文中宋"), 9));
    m_surface->setFixedSize(px(8955), px(5955));
    m_surface->setAttribute(Qt::WA_OpaquePaintEvent); // the picture covers all of it
    m_surface->setMouseTracking(true);
    m_surface->installEventFilter(this);
    setCentralWidget(m_surface);

    buildControls();
    buildMenus();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, [this] {
        if (m_form != nullptr) {
            m_form->Timer1_Timer(); // the start-up sequence, with its hard-disk scan
            releaseFreedMemory();
        }
    });
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(3000);
    m_timer2->setTimerType(Qt::PreciseTimer);
    connect(m_timer2, &QTimer::timeout, this, [this] {
        if (m_form != nullptr) {
            m_form->Timer2_Timer();
        }
    });

    // The program never resizes the window, and neither does the user.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    const QFont bold = storedFont(song, 10.5, true);
    const QFont small = storedFont(song, 9);
    // In tab-index order, which is also the order a screen reader reads them in.
    const LabelLayout labels[] = {
        {"Label1", "关于我们", stored(780, 1380, 915, 285), bold, colors::scrollBar},
        {"Label2", "简单免疫", stored(2220, 1380, 915, 285), bold, colors::scrollBar},
        {"Label3", "深度免疫", stored(3660, 1380, 915, 285), bold, colors::scrollBar},
        {"Label4", "免疫系统", stored(5040, 1380, 915, 285), bold, colors::scrollBar},
        {"Label5", "正在进行自身完整性检测......", stored(1350, 3480, 2520, 180), small,
         colors::grayText},
    };
    const auto makeLabel = [this](const LabelLayout& item) {
        auto* label = new QLabel(QString::fromUtf8(item.caption), m_surface);
        label->setObjectName(QString::fromUtf8(item.name));
        label->setTextFormat(Qt::PlainText); // paths from a stick are never markup
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setFont(item.font);
        // The Noto faces need a taller line than the stored fonts: a label grows downward
        // rather than clip the descenders of a path in the status line.
        QRect geometry = item.geometry;
        geometry.setHeight(std::max(geometry.height(), qCeil(QFontMetricsF(item.font).height())));
        label->setGeometry(geometry);
        label->setAttribute(Qt::WA_NoMousePropagation);
        label->installEventFilter(this);
        paintText(label, item.color);
        return label;
    };
    const auto addLabel = [&](Ctl control, const LabelLayout& item) {
        m_labels[index(control)] = makeLabel(item);
        m_colors[index(control)] = item.color;
        applyForeColor(control);
    };
    addLabel(Ctl::Label1, labels[0]);
    addLabel(Ctl::Label2, labels[1]);
    addLabel(Ctl::Label3, labels[2]);
    addLabel(Ctl::Label4, labels[3]);
    addLabel(Ctl::Label5, labels[4]);
    label(Ctl::Label5)->adjustSize(); // it sizes itself to its text

    const struct {
        const char* name;
        const char* caption;
        QRect geometry;
    } options[] = {
        {"Option1_0", "快速扫描", stored(6780, 2490, 1515, 405)},
        {"Option1_1", "完全扫描", stored(6780, 3150, 1545, 345)},
    };
    for (std::size_t i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(QString::fromUtf8(options[i].caption), m_surface);
        option->setObjectName(QString::fromUtf8(options[i].name));
        option->setGeometry(options[i].geometry);
        option->setFont(small);
        option->setAutoFillBackground(true);
        QPalette palette = option->palette();
        palette.setColor(QPalette::Window, toQColor(colors::optionBack, palette));
        palette.setColor(QPalette::Button, toQColor(colors::optionBack, palette));
        palette.setColor(QPalette::WindowText, toQColor(colors::black, palette));
        palette.setColor(QPalette::ButtonText, toQColor(colors::black, palette));
        option->setPalette(palette);
        option->setAttribute(Qt::WA_NoMousePropagation);
        m_options[i] = option;
    }
    setTabOrder(m_options[0], m_options[1]);

    addLabel(Ctl::Label6,
             {"Label6", "立即扫描（S)", stored(7140, 3990, 1095, 285), small, colors::buttonText});
    label(Ctl::Label6)->setEnabled(false);
    addLabel(Ctl::Label7,
             {"Label7", "正在检测U盘......", stored(360, 4920, 8295, 240), small, colors::green});
    label(Ctl::Label7)->setVisible(false);

    makeLabel({"Label8", "Tarnwick将帮助您清除U盘中的病毒。", stored(1440, 2520, 4095, 375),
               storedFont(QStringLiteral("微软雅黑"), 10.5), colors::darkGreen});
    // The action labels see the pointer move over them without a button held.
    for (const Ctl control : {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4, Ctl::Label6}) {
        label(control)->setMouseTracking(true);
    }
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("操作(&F)"));
    file->setObjectName(QStringLiteral("vbfile"));
    QAction* quarantine = file->addAction(QStringLiteral("隔离区(&Q)..."));
    quarantine->setObjectName(QStringLiteral("vbquarantine"));
    connect(quarantine, &QAction::triggered, this, [this] {
        if (m_form != nullptr) {
            m_form->vbquarantine_Click();
            releaseFreedMemory();
        }
    });
    QAction* undo = file->addAction(QStringLiteral("撤销系统免疫(&U)"));
    undo->setObjectName(QStringLiteral("vbundosystem"));
    connect(undo, &QAction::triggered, this, [this] {
        if (m_form != nullptr) {
            m_form->vbundosystem_Click();
            releaseFreedMemory();
        }
    });
    QAction* report = file->addAction(QStringLiteral("查看完全扫描报告(&R)..."));
    report->setObjectName(QStringLiteral("vbreport"));
    connect(report, &QAction::triggered, this, [this] {
        if (m_form != nullptr) {
            m_form->vbreport_Click();
        }
    });
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("退出(&X)"));
    exit->setObjectName(QStringLiteral("vbexit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(exit, &QAction::triggered, this, [this] {
        if (m_form != nullptr) {
            m_form->vbexit_Click();
        }
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("vbhelp"));
    QAction* support = help->addAction(QStringLiteral("技术支持(&S)"));
    support->setObjectName(QStringLiteral("vbhelpinfo"));
    support->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(support, &QAction::triggered, this, [this] {
        if (m_form != nullptr) {
            m_form->vbhelpinfo_Click();
        }
    });
    QAction* about = help->addAction(QStringLiteral("关于我们(&A)"));
    about->setObjectName(QStringLiteral("about"));
    about->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(about, &QAction::triggered, this, [this] {
        if (m_form != nullptr) {
            m_form->about_Click();
        }
    });
}

QLabel* MainWindow::label(Ctl control) const {
    return m_labels.at(index(control));
}

std::optional<Ctl> MainWindow::actionLabel(const QObject* object) const {
    for (const Ctl control : {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4, Ctl::Label6}) {
        if (object == label(control)) {
            return control;
        }
    }
    return std::nullopt;
}

void MainWindow::applyForeColor(Ctl control) {
    paintText(label(control), m_colors.at(index(control)));
}

void MainWindow::setCaption(Ctl control, const std::string& text) {
    label(control)->setText(QString::fromStdString(text));
    if (control == Ctl::Label5) {
        label(control)->adjustSize();
    }
}

void MainWindow::setForeColor(Ctl control, Color color) {
    m_colors.at(index(control)) = color;
    applyForeColor(control);
}

void MainWindow::setVisible(Ctl control, bool visible) {
    label(control)->setVisible(visible);
}

void MainWindow::setEnabled(Ctl control, bool enabled) {
    label(control)->setEnabled(enabled);
}

bool MainWindow::isEnabled(Ctl control) const {
    return label(control)->isEnabled();
}

bool MainWindow::optionValue(int index) const {
    return index >= 0 && index < 2 && m_options.at(static_cast<std::size_t>(index))->isChecked();
}

void MainWindow::setTimer1(bool enabled) {
    if (!enabled) {
        m_timer1->stop();
    } else if (!m_timer1->isActive()) {
        m_timer1->start();
    }
}

void MainWindow::setTimer2(bool enabled) {
    // Enabling a running timer leaves its interval alone.
    if (!enabled) {
        m_timer2->stop();
    } else if (!m_timer2->isActive()) {
        m_timer2->start();
    }
}

int MainWindow::msgBox(const std::string& prompt, int style, const std::string& title) {
    QMessageBox box(this);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(prompt));
    box.setTextFormat(Qt::PlainText);
    switch (style & 0x70) {
    case mb::information:
        box.setIcon(QMessageBox::Information);
        break;
    case mb::exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case 32:
        box.setIcon(QMessageBox::Question);
        break;
    case 16:
        box.setIcon(QMessageBox::Critical);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    // The buttons as a Chinese Windows labels them, first one the default.
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    if ((style & 0x0F) == mb::yesNo) {
        yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
    } else {
        ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        if ((style & 0x0F) == mb::okCancel) {
            cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
        }
    }
    box.exec();
    QAbstractButton* const clicked = box.clickedButton();
    if (clicked != nullptr && clicked == yes) {
        return mb::yes;
    }
    if (clicked != nullptr && clicked == no) {
        return mb::no;
    }
    if (clicked != nullptr && clicked == cancel) {
        return mb::cancel;
    }
    if (clicked == nullptr && cancel != nullptr) {
        return mb::cancel;
    }
    if (clicked == nullptr && no != nullptr) {
        return mb::no;
    }
    return mb::ok;
}

void MainWindow::showAbout() {
    showAboutWindow(this);
}

void MainWindow::bringToFront() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::showQuarantine(Quarantine& quarantine) {
    showQuarantineWindow(this, quarantine);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_form == nullptr) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched == m_surface) {
        if (event->type() == QEvent::MouseMove) {
            m_form->Form_MouseMove();
        }
        return false;
    }
    const std::optional<Ctl> control = actionLabel(watched);
    if (!control) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseMove:
        m_form->Label_MouseMove(*control);
        return true;
    case QEvent::MouseButtonPress:
        m_pressed = control;
        m_form->Label_MouseDown(*control);
        return true;
    case QEvent::MouseButtonDblClick:
        // The second press of a double click is no new click.
        m_pressed.reset();
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool click = m_pressed == control && mouse->button() == Qt::LeftButton &&
                           label(*control)->rect().contains(mouse->position().toPoint());
        m_pressed.reset();
        if (click) {
            m_form->Label_Click(*control);
            releaseFreedMemory();
        }
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_form != nullptr) {
        m_form->Form_Unload();
    }
    event->accept();
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange) {
        // System colours follow the new scheme.
        for (const Ctl control : {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4, Ctl::Label5,
                                  Ctl::Label6, Ctl::Label7}) {
            applyForeColor(control);
        }
    }
    return QMainWindow::event(event);
}

} // namespace tw::qt
