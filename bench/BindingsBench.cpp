// The bindings window with every one of the 12167 combinations bound,
// measured in one run and printed side by side with the editor's opening:
//
//   opening the bindings window (shown and painted), the first opening
//   after the file changed (its rows made again from the table too), and
//   one keystroke in its filter (the rows narrowed, the first selected, the
//   list painted), beside opening the Add/Change Shortcut dialog on the same
//   table.
//
// Run it on the platform the user has (xvfb-run for an X server). A
// keystroke should cost less than a frame of the screen (16.7 ms at 60 Hz).

#include "BenchReport.h"
#include "bindings/BindingsHost.h"
#include "bindings/TBindingsForm.h"
#include "editor/EditorHost.h"
#include "editor/TAddForm.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationTable.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const char* const OpenName = "Open the bindings window";
const char* const FreshOpenName = "Open it after a change";
const char* const KeystrokeName = "One keystroke in its filter";
const char* const EditorName = "Open the editor";
constexpr int Repetitions = 9;

class NoHost final : public EditorHost, public BindingsHost {
public:
    Combination CombinationToEdit() const override { return {}; }
    void RefreshCurrent() override {}
    void ShowCombination(const Combination&) override {}
    void EditCombination(const Combination&) override {}
};

CombinationTable* g_table = nullptr;
QDialog* g_bindings = nullptr;
QDialog* g_editor = nullptr;

// Shows the window and processes what its showing set off, its paint among
// it; then hides it, uncounted.
void Open(benchmark::State& state, QDialog* window) {
    for (auto _ : state) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            state.SkipWithError("the window was never exposed");
        window->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        window->hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void OpenBindings(benchmark::State& state) {
    Open(state, g_bindings);
}

// The first opening after a save that changed one binding, as the editor's
// OK makes it; the save is not counted.
void OpenBindingsAfterAChange(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        NoProgress none;
        g_table->AssignCombination({QStringLiteral("Music"), QString(), QString()},
                                   QStringLiteral("Player %1").arg(++n), QStringLiteral("/p"),
                                   none);
        state.ResumeTiming();
        g_bindings->show();
        if (!QTest::qWaitForWindowExposed(g_bindings))
            state.SkipWithError("the window was never exposed");
        g_bindings->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        g_bindings->hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void OpenEditor(benchmark::State& state) {
    Open(state, g_editor);
}

// A letter that narrows the rows, the list painted; the filter is emptied
// again, uncounted.
void Keystroke(benchmark::State& state) {
    g_bindings->show();
    if (!QTest::qWaitForWindowExposed(g_bindings))
        state.SkipWithError("the window was never exposed");
    auto* filter = g_bindings->findChild<QLineEdit*>(QStringLiteral("FilterBox"));
    int n = 0;
    for (auto _ : state) {
        QTest::keyClick(filter, (n++ % 2) ? 'm' : 'p');
        g_bindings->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        filter->clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    g_bindings->hide();
}

void BindEverything(CombinationTable& table) {
    std::vector<BoundCombination> all;
    for (int number = 0; number < ButtonCatalogue::RecordCount; ++number)
        all.push_back({ButtonCatalogue::CombinationOf(number),
                       {"Bound " + QByteArray::number(number), "/usr/bin/program"}});
    NoProgress none;
    table.AssignCombinations(all, none);
}

} // namespace

int main(int argc, char** argv) {
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QTemporaryDir dir;
    CombinationTable table(dir.filePath(QStringLiteral("TrinodeRun.cmb")));
    table.CreateDefaultFile();
    BindEverything(table);

    NoHost host;
    TBindingsForm bindings(table, host);
    TAddForm editor(table, host);
    g_table = &table;
    g_bindings = &bindings;
    g_editor = &editor;
    std::printf("Platform %s, %lld bound combinations\n",
                qPrintable(QGuiApplication::platformName()),
                static_cast<long long>(table.BoundCombinations().size()));

    BenchReport::Add(OpenName, OpenBindings, Repetitions);
    BenchReport::Add(FreshOpenName, OpenBindingsAfterAChange, Repetitions);
    BenchReport::Add(KeystrokeName, Keystroke, Repetitions);
    BenchReport::Add(EditorName, OpenEditor, Repetitions);
    BenchReport reporter;
    reporter.RunInterleaved(argc, argv, Repetitions);
    reporter.PrintComparison(OpenName, EditorName, 2.0);
    reporter.PrintComparison(FreshOpenName, EditorName, 1.0);
    std::printf("%-30s %12.1f   (a frame at 60 Hz: 16667)\n", KeystrokeName,
                reporter.Micros(KeystrokeName));
    return 0;
}
