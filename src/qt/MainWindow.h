#pragma once

#include "ports/MainView.h"

#include <QMainWindow>

#include <array>
#include <optional>

class QLabel;
class QRadioButton;
class QTimer;

namespace tw {
class Form1;
}

namespace tw::qt {

// The main window: a thin view. Its controls carry their stored names (Label1 to Label8,
// Option1_0 and Option1_1 for Option1(0) and Option1(1), Timer1, Timer2, the menus vbfile,
// vbexit, vbhelp, vbhelpinfo, about); every event goes to Form1's handlers.
class MainWindow final : public QMainWindow, public MainView {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Events reach the handlers from here on.
    void attach(Form1& form) { m_form = &form; }

    void setCaption(Ctl control, const std::string& text) override;
    void setForeColor(Ctl control, Color color) override;
    void setVisible(Ctl control, bool visible) override;
    void setEnabled(Ctl control, bool enabled) override;
    [[nodiscard]] bool isEnabled(Ctl control) const override;
    [[nodiscard]] bool optionValue(int index) const override;
    void setTimer1(bool enabled) override;
    void setTimer2(bool enabled) override;
    int msgBox(const std::string& prompt, int style, const std::string& title) override;
    void showAbout() override;
    void showQuarantine(Quarantine& quarantine) override;

    // Shows the window, restored if it was minimized, in front and active.
    void bringToFront();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    [[nodiscard]] QLabel* label(Ctl control) const;
    [[nodiscard]] std::optional<Ctl> actionLabel(const QObject* object) const;
    void applyForeColor(Ctl control);

    Form1* m_form = nullptr;
    QWidget* m_surface = nullptr;
    std::array<QLabel*, 7> m_labels{}; // Label1 to Label7, by Ctl
    std::array<Color, 7> m_colors{};
    std::array<QRadioButton*, 2> m_options{};
    QTimer* m_timer1 = nullptr;
    QTimer* m_timer2 = nullptr;
    std::optional<Ctl> m_pressed; // the action label a click started on
};

} // namespace tw::qt
