// What the editor's progress display adds to an assignment, measured in one
// run and printed side by side:
//
//   AssignCombination (durable) reporting to the editor's own progress label
//   and bar, in a shown, exposed editor window, against the same assignment
//   reporting to nobody.
//
// Every paint of the display is flushed to the window system, so run it on
// the platform that the user has (xvfb-run for an X server); offscreen paints
// cost less than any real screen. The file lives on the disk of the build
// tree (TRINODE_BENCH_DIR overrides it), as in the store's benchmark.

#include "BenchReport.h"
#include "editor/EditorHost.h"
#include "editor/ProgressDisplay.h"
#include "editor/TAddForm.h"
#include "store/CombinationTable.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const DisplayedName = "Assign with the progress shown";
const char* const BareName = "AssignCombination (durable)";
constexpr int Repetitions = 9;

class NoHost final : public EditorHost {
public:
    Combination CombinationToEdit() const override { return {}; }
    void RefreshCurrent() override {}
};

struct Editor {
    CombinationTable* table = nullptr;
    QLabel* label = nullptr;
    QProgressBar* bar = nullptr;
};
Editor g_editor;

void AssignBare(benchmark::State& state) {
    NoProgress none;
    int n = 0;
    for (auto _ : state)
        g_editor.table->AssignCombination({"Files", "Personal", "Music"},
                                          (n++ % 2) ? "Odd" : "Even", "/usr/bin/player", none);
}

// As OK does: the bar shown from 0, the assignment, the bar set back to 0.
// What Qt paints later, when the dialog would already be closing, is not
// counted.
void AssignDisplayed(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        ProgressDisplay progress(*g_editor.label, *g_editor.bar);
        g_editor.table->AssignCombination({"Files", "Personal", "Music"},
                                          (n++ % 2) ? "Odd" : "Even", "/usr/bin/player", progress);
        g_editor.bar->setValue(0);
        state.PauseTiming();
        g_editor.label->clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char** argv) {
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    const QByteArray chosen = qgetenv("TRINODE_BENCH_DIR");
    const QString root = chosen.isEmpty() ? QStringLiteral(TRINODE_BENCH_DEFAULT_DIR)
                                          : QString::fromLocal8Bit(chosen);
    QTemporaryDir dir(root + QStringLiteral("/trinode-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a directory under %s\n", qPrintable(root));
        return 1;
    }
    CombinationTable table(dir.filePath(QStringLiteral("TrinodeRun.cmb")));
    table.CreateDefaultFile();

    NoHost host;
    TAddForm form(table, host);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the editor window was never exposed\n");
        return 1;
    }
    g_editor = {&table, form.findChild<QLabel*>(QStringLiteral("ProgressLabel")),
                form.findChild<QProgressBar*>(QStringLiteral("ProgressBar"))};
    if (!g_editor.label || !g_editor.bar) {
        std::fprintf(stderr, "the editor has no progress display\n");
        return 1;
    }
    g_editor.bar->show();
    g_editor.bar->repaint();
    std::printf("Platform %s, working in %s\n", qPrintable(QGuiApplication::platformName()),
                qPrintable(dir.path()));

    BenchReport::Add(DisplayedName, AssignDisplayed, Repetitions);
    BenchReport::Add(BareName, AssignBare, Repetitions);

    BenchReport reporter;
    reporter.RunInterleaved(argc, argv, Repetitions);
    reporter.PrintComparison(DisplayedName, BareName, 2.0);
    return 0;
}
