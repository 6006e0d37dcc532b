#include "app/Form2.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace tw {

void Form2::Form_Load() {
    m_view.setBackColor(AboutCtl::Form, colors::steelBlue);
    // The stored width holds the contact line in the stored font; a substitute font may need
    // more, and the whole line must pass through the strip.
    m_label5Width = std::max(label5Width, std::ceil(m_view.marqueeTextWidth()));
    m_view.setMarqueeWidth(m_label5Width);
    // Label5 is measured inside Picture1, Picture1 in the window: the text starts out of
    // sight beyond the strip's right end.
    m_label5Left = picture1Left + picture1Width;
    m_lastStep.reset();
    m_view.setMarqueeLeft(m_label5Left);
    for (AboutCtl c : {AboutCtl::Label1, AboutCtl::Label2, AboutCtl::Label3, AboutCtl::Label4,
                       AboutCtl::Label5, AboutCtl::Label6, AboutCtl::Picture1, AboutCtl::Frame1}) {
        m_view.setBackColor(c, colors::steelBlue);
    }
    const TwipsFrame main = m_view.mainWindowFrame();
    const float left = main.width / 2 - m_view.outerWidth() / 2 + main.left;
    const float top = main.top + dropBelowMain;
    m_view.place(left, top);
}

void Form2::Timer1_Timer() {
    step();
    m_view.setMarqueeLeft(m_label5Left);
}

void Form2::step() {
    const auto turningPoint = static_cast<float>(static_cast<double>(picture1Left) -
                                                 1.3 * static_cast<double>(m_label5Width));
    if (turningPoint > m_label5Left) {
        m_label5Left = picture1Left + picture1Width;
    } else {
        m_label5Left -= marqueeStep;
    }
}

void Form2::Timer1_Timer(std::chrono::milliseconds now) {
    const std::chrono::milliseconds interval{timer1IntervalMs};
    if (!m_lastStep || now < *m_lastStep) {
        // The first tick, or a clock that went back: one step, counted from here.
        m_lastStep = now;
        Timer1_Timer();
        return;
    }
    long steps = static_cast<long>((now - *m_lastStep) / interval);
    if (steps > maxStepsPerTick) {
        steps = maxStepsPerTick;
        m_lastStep = now;
    } else {
        *m_lastStep += steps * interval;
    }
    if (steps == 0) {
        return;
    }
    for (long i = 0; i < steps; ++i) {
        step();
    }
    m_view.setMarqueeLeft(m_label5Left);
}

void Form2::Form_Click() {
    m_view.setTimer1(false);
    m_view.unload();
}

void Form2::Form_Escape() {
    Form_Click();
}

} // namespace tw
