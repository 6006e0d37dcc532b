#pragma once

#include "app/Maker.h"
#include "ports/AboutView.h"

#include <chrono>
#include <optional>

namespace tw {

// The about window's event handlers: its load, the marquee and the click that closes it.
// The window itself (a Qt widget, or a fake in tests) forwards its events here.
class Form2 {
public:
    explicit Form2(AboutView& view) : m_view(view) {}

    // Before the window is first shown: colours, marquee start, position.
    void Form_Load();
    // One marquee step.
    void Timer1_Timer();
    // A tick of the window's timer at a monotonic time: as many marquee steps as whole
    // intervals have passed since the last one, so that the text moves 5 twips every 5 ms
    // however coarse the platform's timer is. After a long stall (a modal loop that held the
    // timer back) the text goes on from where it was rather than jump.
    void Timer1_Timer(std::chrono::milliseconds now);
    // A click on the bare surface (not on a label, the frame or the strip).
    void Form_Click();
    // Escape: closes the window as a click on its surface does, for keyboard users.
    void Form_Escape();

    [[nodiscard]] float marqueeLeft() const { return m_label5Left; }
    [[nodiscard]] float marqueeWidth() const { return m_label5Width; }

    // The stored layout that the behaviour reads, in twips.
    static constexpr float picture1Left = 810;
    static constexpr float picture1Width = 4095;
    static constexpr float label5Width = 2640;
    static constexpr float marqueeStep = 5;
    // How far below the main window's top the about window opens.
    static constexpr float dropBelowMain = 2200;
    static constexpr int timer1IntervalMs = 5;
    // Steps caught up at most in one tick.
    static constexpr long maxStepsPerTick = 20;

    static constexpr const char* title = "Tarnwick Ver 9.9.0.8 BETA";
    static constexpr const char* frameCaption = "关于Tarnwick";
    static constexpr const char* versionLine = "软件版本：全新版 Ver 9.9.0.8 BETA";
    static constexpr const char* makerLine = maker::makerLine;
    static constexpr const char* mailLine = maker::mailLine;
    static constexpr const char* rightsLine = maker::rightsLine;
    static constexpr const char* contactLine = maker::contactLine;

private:
    void step();

    AboutView& m_view;
    float m_label5Left = 0;
    float m_label5Width = label5Width;
    std::optional<std::chrono::milliseconds> m_lastStep;
};

} // namespace tw
