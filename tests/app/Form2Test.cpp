#include "app/Form2.h"

#include "support/Transcript.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iomanip>
#include <sstream>
#include <vector>

namespace tw::test {
namespace {

std::string num(float v) {
    std::ostringstream out;
    out << std::setprecision(9) << v;
    return out.str();
}

// Records "back <control> <colour>", "marquee <left>", "place <left> <top>", "Timer1 off",
// "unload".
class FakeAboutView final : public AboutView {
public:
    explicit FakeAboutView(Transcript& t) : m_t(t) {}

    [[nodiscard]] TwipsFrame mainWindowFrame() const override { return main; }
    [[nodiscard]] float outerWidth() const override { return width; }
    [[nodiscard]] float marqueeTextWidth() const override { return textWidth; }
    void setMarqueeWidth(float w) override { m_t.add("width " + num(w)); }
    void setBackColor(AboutCtl control, Color color) override {
        static const char* const names[] = {"Form",   "Label1", "Label2",   "Label3", "Label4",
                                            "Label5", "Label6", "Picture1", "Frame1"};
        m_t.add(std::string("back ") + names[static_cast<int>(control)] + " " +
                (color == colors::steelBlue ? "steelblue" : std::to_string(color)));
    }
    void setMarqueeLeft(float left) override {
        marquee.push_back(left);
        if (recordMarquee) {
            m_t.add("marquee " + num(left));
        }
    }
    void place(float left, float top) override { m_t.add("place " + num(left) + " " + num(top)); }
    void setTimer1(bool enabled) override { m_t.add(enabled ? "Timer1 on" : "Timer1 off"); }
    void unload() override { m_t.add("unload"); }

    TwipsFrame main{1500, 750, 9000};
    float width = 5745;
    float textWidth = 2100;
    bool recordMarquee = true;
    std::vector<float> marquee;

private:
    Transcript& m_t;
};

TEST(Form2, LoadColoursEverythingSteelBlueStartsTheMarqueeOutOfSightAndPlacesTheWindow) {
    Transcript t;
    FakeAboutView view(t);
    Form2 form(view);
    form.Form_Load();
    EXPECT_EQ(t.lines(), (Lines{
                             "back Form steelblue",
                             "width 2640",
                             "marquee 4905",
                             "back Label1 steelblue",
                             "back Label2 steelblue",
                             "back Label3 steelblue",
                             "back Label4 steelblue",
                             "back Label5 steelblue",
                             "back Label6 steelblue",
                             "back Picture1 steelblue",
                             "back Frame1 steelblue",
                             "place 3127.5 2950",
                         }));
    EXPECT_EQ(colors::steelBlue, 12027233u); // RGB 97, 133, 183
}

TEST(Form2, PlacementCentresOnTheMainWindowInSinglePrecision) {
    struct Case {
        TwipsFrame main;
        float aboutWidth;
        const char* placed;
    };
    const Case cases[] = {
        {{1500, 750, 9000}, 5745, "place 3127.5 2950"},
        {{0, 0, 5745}, 5745, "place 0 2200"},
        {{300, -150, 3000}, 5745, "place -1072.5 2050"}, // narrower than the about window
        {{-9000, 15000, 9135}, 5745, "place -7305 17200"},
        // Beyond 2^24 twips a single holds even numbers only: 16778911 becomes 16778912.
        {{16777216, 16777216, 9135}, 5745, "place 16778912 16779416"},
    };
    for (const Case& c : cases) {
        Transcript t;
        FakeAboutView view(t);
        view.main = c.main;
        view.width = c.aboutWidth;
        view.recordMarquee = false;
        Form2 form(view);
        form.Form_Load();
        EXPECT_EQ(t.lines().back(), c.placed);
    }
}

TEST(Form2, MarqueePassTakes1507TicksAndTurnsBeyondTheTurningPoint) {
    Transcript t;
    FakeAboutView view(t);
    view.recordMarquee = false;
    Form2 form(view);
    form.Form_Load();
    for (int tick = 1; tick <= 2 * 1507 + 1; ++tick) {
        form.Timer1_Timer();
    }
    const std::vector<float>& at = view.marquee; // at[0]: load, at[k]: after tick k
    ASSERT_EQ(at.size(), 3016u);
    EXPECT_EQ(at[0], 4905.0f);
    EXPECT_EQ(at[1], 4900.0f);
    EXPECT_EQ(at[2], 4895.0f);
    EXPECT_EQ(at[806], 875.0f);
    EXPECT_EQ(at[1505], -2620.0f); // still right of the turning point -2622
    EXPECT_EQ(at[1506], -2625.0f); // past it: the next tick turns
    EXPECT_EQ(at[1507], 4905.0f);
    EXPECT_EQ(at[1508], 4900.0f);
    EXPECT_EQ(at[3013], -2625.0f);
    EXPECT_EQ(at[3014], 4905.0f);
    EXPECT_EQ(at[3015], 4900.0f);
    for (std::size_t k = 1; k < at.size(); ++k) {
        if (k % 1507 != 0) {
            ASSERT_EQ(at[k - 1] - at[k], 5.0f) << "tick " << k;
        }
    }
    EXPECT_EQ(form.marqueeLeft(), 4900.0f);
}

// The strip shows the whole contact line: a font that needs more than the stored width widens
// the label, and the turning point moves out with it so that the text still leaves the strip.
TEST(Form2, AWiderTextWidensTheMarqueeAndMovesItsTurningPoint) {
    struct Case {
        float textWidth;
        const char* width;
        std::size_t ticksPerPass;
    };
    const Case cases[] = {
        {0, "width 2640", 1507},
        {2640, "width 2640", 1507},
        {3000.4f, "width 3001", 1601}, // turning point 810 - 1.3 * 3001 = -3091.3
        {4000, "width 4000", 1861},    // -4390: the text ends 4905 + 4390 twips later
    };
    for (const Case& c : cases) {
        Transcript t;
        FakeAboutView view(t);
        view.textWidth = c.textWidth;
        view.recordMarquee = false;
        Form2 form(view);
        form.Form_Load();
        EXPECT_EQ(t.lines().at(1), c.width);
        std::size_t tick = 0;
        do {
            form.Timer1_Timer();
            ++tick;
        } while (form.marqueeLeft() != 4905.0f && tick < 5000);
        EXPECT_EQ(tick, c.ticksPerPass) << c.textWidth;
        // The last position before the turn has the whole text left of the strip's start.
        EXPECT_LT(view.marquee.at(tick - 1), -c.textWidth * 0.99f) << c.textWidth;
    }
}

// Each tick of a coarse platform timer runs the steps of every 5 ms that has passed, and
// moves the label once.
TEST(Form2, TicksAtAMonotonicTimeRunTheStepsDueAtTheStatedSpeed) {
    using ms = std::chrono::milliseconds;
    struct Case {
        const char* name;
        std::vector<int> at;          // tick times in ms
        std::vector<float> positions; // the marquee's moves after load
    };
    const Case cases[] = {
        {"timer as asked", {0, 5, 10, 15}, {4900, 4895, 4890, 4885}},
        {"10 ms timer: two steps a tick", {0, 10, 20}, {4900, 4890, 4880}},
        {"15.6 ms timer: remainders carried", {0, 16, 31, 47}, {4900, 4885, 4870, 4855}},
        {"uneven ticks", {0, 7, 14}, {4900, 4895, 4890}},
        {"a tick too early moves nothing", {0, 3, 5}, {4900, 4895}},
        {"a stall catches up 20 steps at most", {0, 1000, 1005}, {4900, 4800, 4795}},
        {"a clock that went back counts anew", {100, 50, 55}, {4900, 4895, 4890}},
    };
    for (const Case& c : cases) {
        Transcript t;
        FakeAboutView view(t);
        view.recordMarquee = false;
        Form2 form(view);
        form.Form_Load();
        for (int at : c.at) {
            form.Timer1_Timer(ms(at));
        }
        const std::vector<float> moves(view.marquee.begin() + 1, view.marquee.end());
        EXPECT_EQ(moves, c.positions) << c.name;
    }
}

TEST(Form2, ClickOnTheSurfaceOrEscapeStopsTheMarqueeThenUnloads) {
    for (const auto handler : {&Form2::Form_Click, &Form2::Form_Escape}) {
        Transcript t;
        FakeAboutView view(t);
        Form2 form(view);
        (form.*handler)();
        EXPECT_EQ(t.lines(), (Lines{"Timer1 off", "unload"}));
    }
}

} // namespace
} // namespace tw::test
