#include "app/Form2.h"

#include <initializer_list>

namespace tw {

void Form2::Form_Load() {
    m_view.setBackColor(AboutCtl::Form, colors::steelBlue);
    // Label5 is measured inside Picture1, Picture1 in the window: the text starts out of
    // sight beyond the strip's right end.
    m_label5Left = picture1Left + picture1Width;
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
    const auto turningPoint = static_cast<float>(static_cast<double>(picture1Left) -
                                                 1.3 * static_cast<double>(label5Width));
    if (turningPoint > m_label5Left) {
        m_label5Left = picture1Left + picture1Width;
    } else {
        m_label5Left -= marqueeStep;
    }
    m_view.setMarqueeLeft(m_label5Left);
}

void Form2::Form_Click() {
    m_view.setTimer1(false);
    m_view.unload();
}

} // namespace tw
