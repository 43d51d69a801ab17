#include "app/SummonCommands.h"

#include "app/CommandLine.h"
#include "summon/Autostart.h"
#include "summon/SummonKey.h"

#include <QCoreApplication>

#include <cstdio>
#include <functional>

namespace {

int Report(const SummonKey::Outcome& outcome) {
    switch (outcome.kind) {
    case SummonKey::Outcome::Kind::Done:
        std::printf("%s\n", qPrintable(outcome.message));
        return 0;
    case SummonKey::Outcome::Kind::ByHand:
        std::printf("%s\n", qPrintable(outcome.message));
        return CommandLine::ExitByHand;
    case SummonKey::Outcome::Kind::Refused:
        std::fprintf(stderr, "trinode: %s\n", qPrintable(outcome.message));
        return CommandLine::ExitRefused;
    }
    return CommandLine::ExitRefused;
}

// The session bus needs an application object; no window is made.
SummonKey::Outcome WithApplication(const std::function<SummonKey::Outcome()>& work) {
    int argc = 1;
    char name[] = "trinode";
    char* argv[] = {name, nullptr};
    const QCoreApplication app(argc, argv);
    return work();
}

} // namespace

namespace SummonCommands {

int BindKey(const QString& text) {
    QString why;
    const auto shortcut = Shortcut::FromPortableText(text, &why);
    if (!shortcut) {
        std::fprintf(stderr, "trinode: %s\n", qPrintable(why));
        return CommandLine::ExitUsage;
    }
    return Report(WithApplication([&shortcut]() { return SummonKey::Bind(*shortcut); }));
}

int UnbindKey() {
    return Report(WithApplication(&SummonKey::Unbind));
}

int SetAutostart(const QString& onOrOff) {
    const bool on = onOrOff == QLatin1String("on");
    const QString failed = on ? Autostart::Enable() : Autostart::Disable();
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "trinode: %s\n", qPrintable(failed));
        return CommandLine::ExitRefused;
    }
    std::printf(on ? "Trinode starts in the background when you log in (%s)\n"
                   : "Trinode no longer starts when you log in (%s removed)\n",
                qPrintable(Autostart::FilePath()));
    if (const QString caveat = Autostart::Caveat(); on && !caveat.isEmpty())
        std::printf("%s\n", qPrintable(caveat));
    return 0;
}

} // namespace SummonCommands
