#include "editor/ProgressDisplay.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <memory>
#include <numeric>
#include <ostream>
#include <vector>

namespace {

// What the display put on the screen, in order: the bar's value at each of
// its paints, and the label's text at each of its paints.
class Painted final : public QObject {
public:
    Painted(QLabel& label, QProgressBar& bar) : m_label(label), m_bar(bar) {
        label.installEventFilter(this);
        bar.installEventFilter(this);
    }
    std::vector<int> bar;
    QStringList label;

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (watched == &m_bar)
                bar.push_back(m_bar.value());
            else if (watched == &m_label)
                label.append(m_label.text());
        }
        return false;
    }
    QLabel& m_label;
    QProgressBar& m_bar;
};

std::vector<int> Count(int from, int to) {
    std::vector<int> values(size_t(to - from + 1));
    std::iota(values.begin(), values.end(), from);
    return values;
}

struct ProgressCase {
    const char* name;
    int maximum;
    std::vector<int> positions;
    // How the reports end: with a new stage, or with the display going away
    // (an assignment that failed inside the stage).
    bool endWithStage;
    int lastShown; // -1: the bar is never painted
};

void PrintTo(const ProgressCase& c, std::ostream* out) {
    *out << c.name;
}

// A window with the label and the bar where the dialog has them.
struct ProgressParts {
    ProgressParts() {
        window.resize(600, 400);
        label = new QLabel(&window);
        label->move(240, 304);
        bar = new QProgressBar(&window);
        bar->setGeometry(40, 360, 465, 25);
        bar->setTextVisible(false);
        window.show();
    }
    // What the window shows on the screen.
    QImage OnScreen() { return window.screen()->grabWindow(window.winId()).toImage(); }

    QWidget window;
    QLabel* label = nullptr;
    QProgressBar* bar = nullptr;
};

class ProgressWindow : public ::testing::Test, protected ProgressParts {
protected:
    void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)); }
};

class ProgressDisplayTest : public ProgressWindow,
                            public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressDisplayTest, PaintsEachNewWidthOnceAndEndsAStageWithItsLastPosition) {
    const ProgressCase& c = GetParam();
    bar->setRange(0, c.maximum);
    bar->setValue(0);
    label->setText("Processing...");
    QCoreApplication::processEvents();

    Painted painted(*label, *bar);
    {
        ProgressDisplay display(*label, *bar);
        for (int position : c.positions)
            display.Position(position);
        if (c.endWithStage)
            display.Stage("Saving File...");
    }

    if (c.lastShown < 0) {
        EXPECT_TRUE(painted.bar.empty());
    } else {
        ASSERT_FALSE(painted.bar.empty());
        EXPECT_EQ(painted.bar.back(), c.lastShown);
        // No paint shows what the screen already shows.
        for (size_t i = 1; i < painted.bar.size(); ++i)
            EXPECT_GT(painted.bar[i], painted.bar[i - 1]) << "paint " << i;
        EXPECT_LE(painted.bar.size(), size_t(bar->width()));
    }
    EXPECT_EQ(bar->value(), c.lastShown < 0 ? 0 : c.lastShown);
    EXPECT_EQ(painted.label.join('|'), c.endWithStage ? "Saving File..." : "");
}

INSTANTIATE_TEST_SUITE_P(
    Positions, ProgressDisplayTest,
    ::testing::Values(
        ProgressCase{"OnlyTheStartPaintsNothing", 538, {0, 0, 0}, true, -1},
        ProgressCase{"ARangeWiderThanTheBarPaintsNoPixelTwice", 538, Count(0, 811), true, 538},
        ProgressCase{"PastTheMaximumOneFullBar", 538, {0, 600, 700, 811}, true, 538},
        ProgressCase{"AStageEndsWithItsLastPosition", 100, Count(0, 60), true, 60},
        ProgressCase{"AFailureInsideAStageLeavesItsLastPosition", 100, Count(0, 60), false, 60}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgressWindow, ANewStageTextIsPaintedAndTheSameTextIsNot) {
    ProgressDisplay display(*label, *bar);
    display.Stage("Saving File...");
    Painted painted(*label, *bar);
    display.Stage("Saving File...");
    EXPECT_TRUE(painted.label.isEmpty());

    display.Stage("A");
    display.Stage("Saving File...");
    EXPECT_EQ(painted.label.join('|'), "A|Saving File...");

    // A shorter text leaves no pixel of the longer one on the screen: the
    // window shows what a window that only ever showed the shorter one shows,
    // before any event is handled, as during a save.
    display.Stage("A");
    const QImage shown = OnScreen();
    ProgressParts fresh;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh.window));
    ProgressDisplay(*fresh.label, *fresh.bar).Stage("A");
    EXPECT_EQ(shown, fresh.OnScreen());
}

} // namespace
