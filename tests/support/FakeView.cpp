#include "support/FakeView.h"

#include <gtest/gtest.h>

namespace tw::test {

FakeView::FakeView(Transcript& transcript, VirtualClock& clock)
    : m_transcript(transcript), m_clock(clock) {
    const Ctl all[] = {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4,
                       Ctl::Label5, Ctl::Label6, Ctl::Label7};
    for (Ctl c : all) {
        m_visible[c] = true;
        m_enabled[c] = true;
        m_color[c] = colors::scrollBar;
    }
    m_caption[Ctl::Label1] = "关于我们";
    m_caption[Ctl::Label2] = "简单免疫";
    m_caption[Ctl::Label3] = "深度免疫";
    m_caption[Ctl::Label4] = "免疫系统";
    m_caption[Ctl::Label5] = "正在进行自身完整性检测......";
    m_color[Ctl::Label5] = colors::grayText;
    m_caption[Ctl::Label6] = "立即扫描（S)";
    m_color[Ctl::Label6] = colors::buttonText;
    m_enabled[Ctl::Label6] = false;
    m_caption[Ctl::Label7] = "正在检测U盘......";
    m_color[Ctl::Label7] = colors::green;
    m_visible[Ctl::Label7] = false;
}

std::string FakeView::name(Ctl control) {
    switch (control) {
    case Ctl::Label1:
        return "Label1";
    case Ctl::Label2:
        return "Label2";
    case Ctl::Label3:
        return "Label3";
    case Ctl::Label4:
        return "Label4";
    case Ctl::Label5:
        return "Label5";
    case Ctl::Label6:
        return "Label6";
    case Ctl::Label7:
        return "Label7";
    }
    return "?";
}

std::string FakeView::colorName(Color color) {
    switch (color) {
    case colors::green:
        return "green";
    case colors::darkRed:
        return "darkred";
    case colors::red:
        return "red";
    case colors::black:
        return "black";
    default:
        break;
    }
    if (colors::isSystemColor(color)) {
        return "sys" + std::to_string(colors::systemIndex(color));
    }
    return std::to_string(color);
}

void FakeView::setCaption(Ctl control, const std::string& text) {
    m_caption[control] = text;
    m_transcript.add(name(control) + ": " + text);
}

void FakeView::setForeColor(Ctl control, Color color) {
    m_color[control] = color;
    m_transcript.add(name(control) + " colour " + colorName(color));
}

void FakeView::setVisible(Ctl control, bool visible) {
    m_visible[control] = visible;
    m_transcript.add((visible ? "show " : "hide ") + name(control));
}

void FakeView::setEnabled(Ctl control, bool enabled) {
    m_enabled[control] = enabled;
    m_transcript.add((enabled ? "enable " : "disable ") + name(control));
}

bool FakeView::isEnabled(Ctl control) const {
    return m_enabled.at(control);
}

bool FakeView::optionValue(int index) const {
    return index >= 0 && index < 2 && option[index];
}

void FakeView::setTimer1(bool enabled) {
    m_timer1 = enabled;
    m_transcript.add(enabled ? "Timer1 on" : "Timer1 off");
}

void FakeView::setTimer2(bool enabled) {
    m_transcript.add(enabled ? "Timer2 on" : "Timer2 off");
    if (enabled == m_timer2) {
        return;
    }
    m_timer2 = enabled;
    if (enabled) {
        scheduleTick();
    } else {
        m_clock.cancel(m_tickEvent);
    }
}

void FakeView::scheduleTick() {
    m_tickEvent = m_clock.schedule(m_clock.now() + std::chrono::milliseconds(3000), [this] {
        scheduleTick();
        if (onTimer2) {
            onTimer2();
        }
    });
}

int FakeView::msgBox(const std::string& prompt, int style, const std::string& title) {
    const int buttons = style & 7;
    int result = mb::ok;
    // Only questions take a scripted answer; a box with OK alone is always closed with OK.
    if (buttons == mb::yesNo || buttons == mb::okCancel) {
        if (!m_answers.empty()) {
            result = m_answers.front();
            m_answers.pop_front();
        } else {
            ADD_FAILURE() << "unanswered question: " << prompt;
            result = buttons == mb::yesNo ? mb::no : mb::cancel;
        }
    }
    if (duringBox) {
        duringBox();
    }
    const char* answerName = result == mb::ok       ? "OK"
                             : result == mb::cancel ? "Cancel"
                             : result == mb::yes    ? "Yes"
                                                    : "No";
    m_transcript.add("box[" + std::to_string(style) + "] " + title + ": " + prompt + " -> " +
                     answerName);
    return result;
}

void FakeView::showAbout() {
    m_transcript.add("about");
}

void FakeView::showQuarantine(Quarantine& /*quarantine*/) {
    m_transcript.add("quarantine window");
}

} // namespace tw::test
