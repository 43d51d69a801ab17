// Trinode's front: what a start can do on Qt Core alone, before any of the
// GUI's libraries are loaded. It answers --help, --version and a command line
// that does not read, and a start while a Trinode runs for this user and file
// hands over to it and ends (a summon), so a summon pays for nothing else.
// Every other start loads the GUI part (GuiMain) from Trinode's private
// folder and runs it with the same command line.
//
// Loading the 49 libraries that the GUI needs (Qt Widgets, Gui and D-Bus,
// fontconfig, harfbuzz, libjpeg, GLX ...) took 13 ms of a summon's 26 ms on
// a two-core machine, where a program on Qt Core alone starts in 4 ms. A
// first start loads nothing twice: Qt Core once, and with the GUI part the
// rest of what the GUI needs.

#include "app/BindingsCommands.h"
#include "app/CommandLine.h"
#include "app/GuiMain.h"
#include "app/HandOver.h"
#include "store/CombinationFile.h"

#include <QByteArray>
#include <QDeadlineTimer>

#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace {

// Without its GUI part no window can come up: the status of no usable display.
constexpr int ExitNoGuiPart = ExitStatus::BadInput;

// When a Trinode holds the name, the exit status of the hand-over to it;
// nullopt when none does, or none answered as one (the GUI part then tries
// again, and says why it runs on its own).
std::optional<int> HandOverToRunningInstance(bool background, const QDeadlineTimer& reachBy) {
    SingleInstance instance(CombinationFile::DefaultPath());
    if (!instance.HeldElsewhere())
        return std::nullopt;
    const SingleInstance::Outcome outcome =
        instance.Summon(HandOver::RequestFor(background), reachBy);
    if (outcome == SingleInstance::Outcome::Alone)
        return std::nullopt;
    return HandOver::Leave(outcome, instance.Message());
}

// The GUI part's file, where the build and the installation both put it:
// TRINODE_GUI_PART, relative to this program's folder.
QByteArray GuiPartPath() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
    const QByteArray program = n > 0 ? QByteArray(self, n) : QByteArray();
    return program.left(program.lastIndexOf('/') + 1) + TRINODE_GUI_PART;
}

int RunGuiPart(int argc, char** argv, const QDeadlineTimer& reachBy) {
    const QByteArray path = GuiPartPath();
    // Never unloaded: the program ends inside it.
    void* part = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    auto* guiMain =
        part ? reinterpret_cast<decltype(&TrinodeGuiMain)>(::dlsym(part, GuiPartEntry)) : nullptr;
    if (!guiMain) {
        // The loader's reason names the file.
        const char* why = ::dlerror();
        std::fprintf(stderr, "trinode: cannot load Trinode's GUI part: %s\n",
                     why ? why : (path + ": it has no entry").constData());
        return ExitNoGuiPart;
    }
    return guiMain(argc, argv, reachBy.deadline());
}

// The commands on the bindings, which need the store alone.
std::optional<int> RunStoreCommand(const CommandLine& commandLine) {
    // A file size limit must make a save fail with "Disk full", not kill the
    // process in the middle of it; these commands start no program that
    // would inherit the disposition.
    if (commandLine.ChangesBindings())
        std::signal(SIGXFSZ, SIG_IGN);
    return BindingsCommands::Answer(commandLine);
}

} // namespace

int main(int argc, char** argv) {
    // One wait for a running Trinode to listen and greet, the GUI part's
    // look included: a busy one is not waited for twice.
    const QDeadlineTimer reachBy(SingleInstance::ReachWaitMs);
    const CommandLine commandLine(argc, argv);
    if (const std::optional<int> status = commandLine.Answer())
        return *status;
    if (const std::optional<int> status = RunStoreCommand(commandLine))
        return *status;
    if (commandLine.Starts()) {
        if (const std::optional<int> status = HandOver::RefuseWithoutDisplay())
            return *status;
        if (const std::optional<int> status =
                HandOverToRunningInstance(commandLine.Background(), reachBy))
            return *status;
    }
    return RunGuiPart(argc, argv, reachBy);
}
