#pragma once

#include "ports/MainView.h"
#include "support/Transcript.h"
#include "support/VirtualClock.h"

#include <deque>
#include <functional>
#include <map>
#include <string>

namespace tw::test {

// The main window as a recorder. Starts in the stored layout. Records:
//   "Label7: <text>"          a caption
//   "Label7 colour darkred"   a text colour (green, darkred, red, black, sys0, sys17, …)
//   "show Label7", "disable Label2", "enable Label6"
//   "Timer1 off", "Timer2 on", "Timer2 off"
//   "box[48] 警告: <text> -> OK"   a message box, its style, title, text and the answer
//   "about", "quarantine window"
// Answers questions (Yes/No, OK/Cancel) from a script; an unscripted question fails the
// test. Boxes with OK alone are closed with OK and take no scripted answer.
// While Timer2 is on, its ticks fall due on the virtual clock every 3000 ms and call onTimer2.
class FakeView final : public MainView {
public:
    FakeView(Transcript& transcript, VirtualClock& clock);

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

    // The answers to the next questions, in order (mb::yes, mb::no, mb::ok, mb::cancel).
    void answer(std::initializer_list<int> answers) { m_answers.insert(m_answers.end(), answers); }
    // Runs while a box is open (for events that arrive during a modal box).
    std::function<void()> duringBox;
    // Called on each tick of Timer2.
    std::function<void()> onTimer2;
    // Option1(0) and Option1(1).
    bool option[2] = {false, false};

    [[nodiscard]] std::string caption(Ctl control) const { return m_caption.at(control); }
    [[nodiscard]] Color foreColor(Ctl control) const { return m_color.at(control); }
    [[nodiscard]] bool visible(Ctl control) const { return m_visible.at(control); }
    [[nodiscard]] bool timer1() const { return m_timer1; }
    [[nodiscard]] bool timer2() const { return m_timer2; }
    [[nodiscard]] std::size_t pendingAnswers() const { return m_answers.size(); }

    static std::string name(Ctl control);
    static std::string colorName(Color color);

private:
    void scheduleTick();

    Transcript& m_transcript;
    VirtualClock& m_clock;
    std::map<Ctl, std::string> m_caption;
    std::map<Ctl, Color> m_color;
    std::map<Ctl, bool> m_visible;
    std::map<Ctl, bool> m_enabled;
    bool m_timer1 = true;
    bool m_timer2 = false;
    int m_tickEvent = 0;
    std::deque<int> m_answers;
};

} // namespace tw::test
