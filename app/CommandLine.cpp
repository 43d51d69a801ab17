#include "app/CommandLine.h"

#include "KeysUsage.h"

#include <cstdio>

namespace {

const char* const Usage =
    "Usage: trinode [--background]\n"
    "       trinode --list [WORD...] | --suggest | --import FILE\n"
    "       trinode --check | --repair\n"
    "       trinode --bind-key [SHORTCUT] | --unbind-key | --autostart on|off\n"
    "       trinode --help | --version\n"
    "\n"
    "Shows the Trinode launcher, full screen. When Trinode already runs for\n"
    "this user and combination file, brings that one to the front instead.\n"
    "\n"
    "      --list [WORD...]     print the bound combinations whose information,\n"
    "                           path or button names hold every WORD (ignoring\n"
    "                           case), one a line: the three button names (empty\n"
    "                           for an empty socket), the information and the\n"
    "                           path, separated by tabs; UTF-8, with \\xNN for a\n"
    "                           byte that is not, and \\\\ for a backslash\n"
    "      --suggest            print chords for the desktop's own applications\n"
    "                           (its default browser, mail, files, music, videos,\n"
    "                           pictures, office, text editor, terminal and\n"
    "                           settings, and GNOME's favourites) as --list\n"
    "                           prints bindings, leaving out every chord that is\n"
    "                           bound: trinode --suggest | trinode --import -\n"
    "      --import FILE        bind every line of FILE (- for standard input),\n"
    "                           as --list prints them, in one save; a line that\n"
    "                           does not read is named, and nothing is written\n"
    "      --check              say whether the combination file is whole, and\n"
    "                           what is wrong with it if not; changes nothing\n"
    "      --repair             mend a damaged combination file: every binding\n"
    "                           that reads is kept, every combination gets a\n"
    "                           record, and the damaged file is kept beside it\n"
    "      --background         start Trinode without showing its window; the\n"
    "                           first summon (its key, or trinode) shows it;\n"
    "                           when Trinode already runs, leave it as it is\n"
    "      --bind-key [SHORTCUT]\n"
    "                           bind SHORTCUT (Qt's notation, such as\n"
    "                           Ctrl+Alt+Space or Meta+T; Ctrl+Alt+Space when\n"
    "                           left out) to summon Trinode, in the desktop's own\n"
    "                           keyboard settings (GNOME, Budgie, Unity, Cinnamon,\n"
    "                           MATE, Xfce, KDE Plasma), by a grab of the running\n"
    "                           Trinode (other X11 window managers), or say the\n"
    "                           line to add (sway, i3); a shortcut the desktop\n"
    "                           already uses is refused, naming what holds it\n"
    "      --unbind-key         remove what --bind-key made\n"
    "      --autostart on|off   start Trinode (--background) when you log in, or not\n"
    "  -h, --help               show this text and exit\n"
    "  -v, --version            show the version and exit\n"
    "\n"
    "The desktop is the first one named in XDG_CURRENT_DESKTOP that Trinode\n"
    "knows; where that is unset, the one whose service answers on the session\n"
    "bus.\n";

// A meaning of the exit status, wrapped beside its number.
void PrintStatus(const ExitStatus::Meaning& meaning) {
    constexpr qsizetype Width = 76;
    const QString number = QStringLiteral("  %1  ").arg(meaning.status);
    QString line = number;
    for (const QString& word : QString::fromLatin1(meaning.text).split(QLatin1Char(' '))) {
        const bool empty = line.size() == number.size();
        if (!empty && line.size() + 1 + word.size() > Width) {
            std::printf("%s\n", qPrintable(line));
            line = QString(number.size(), QLatin1Char(' ')) + word;
            continue;
        }
        line += (empty ? QString() : QStringLiteral(" ")) + word;
    }
    std::printf("%s\n", qPrintable(line));
}

} // namespace

CommandLine::CommandLine(int argc, char** argv) {
    for (int i = 1; i < argc && m_action != Action::Usage; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const QString option = arg.section(QLatin1Char('='), 0, 0);
        const bool inlineValue = arg.contains(QLatin1Char('='));
        const QString value = arg.section(QLatin1Char('='), 1);
        // An option's value may follow as the next argument, unless it is an
        // option itself.
        const bool nextIsValue = !inlineValue && i + 1 < argc && argv[i + 1][0] != '-';
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            Take(Action::Help);
        else if (arg == QLatin1String("--version") || arg == QLatin1String("-v"))
            Take(Action::Version);
        else if (arg == QLatin1String("--background"))
            Take(Action::Background);
        else if (arg == QLatin1String("--list")) {
            Take(Action::List);
            // The words are the rest of the line.
            while (i + 1 < argc && m_action == Action::List)
                m_words << QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--suggest"))
            Take(Action::Suggest);
        else if (option == QLatin1String("--import") && (inlineValue || i + 1 < argc))
            Take(Action::Import, inlineValue ? value : QString::fromLocal8Bit(argv[++i]));
        else if (option == QLatin1String("--import"))
            Refuse(QStringLiteral("--import needs a file, or - for standard input"));
        else if (arg == QLatin1String("--check"))
            Take(Action::Check);
        else if (arg == QLatin1String("--repair"))
            Take(Action::Repair);
        else if (arg == QLatin1String("--unbind-key"))
            Take(Action::UnbindKey);
        else if (option == QLatin1String("--bind-key"))
            Take(Action::BindKey, inlineValue   ? value
                                  : nextIsValue ? QString::fromLocal8Bit(argv[++i])
                                                : std::optional<QString>());
        else if (option == QLatin1String("--autostart") && (inlineValue || nextIsValue))
            Take(Action::Autostart, inlineValue ? value : QString::fromLocal8Bit(argv[++i]));
        else if (option == QLatin1String("--autostart"))
            Refuse(QStringLiteral("--autostart needs on or off"));
        else
            Refuse(QStringLiteral("unknown option %1").arg(arg));
    }
    if (m_action == Action::Autostart && m_value != QLatin1String("on") &&
        m_value != QLatin1String("off"))
        Refuse(QStringLiteral("--autostart needs on or off, not \"%1\"").arg(*m_value));
}

void CommandLine::Refuse(const QString& why) {
    m_error = why;
    m_action = Action::Usage;
}

// --help and --version win over anything else; of the
// options that do something, one at a time.
void CommandLine::Take(Action action, const std::optional<QString>& value) {
    const auto informs = [](Action a) { return a == Action::Help || a == Action::Version; };
    if (informs(m_action))
        return;
    if (!informs(action) && m_action != Action::Start)
        return Refuse(QStringLiteral(
            "give one of --background, --list, --suggest, --import, --check, --repair, "
            "--bind-key, --unbind-key and --autostart"));
    m_action = action;
    m_value = value;
}

std::optional<int> CommandLine::Answer() const {
    switch (m_action) {
    case Action::Help:
        std::fputs(Usage, stdout);
        std::fputs(KeysUsage, stdout);
        std::fputs("\nExit status:\n", stdout);
        for (const ExitStatus::Meaning& meaning : ExitStatus::Table)
            PrintStatus(meaning);
        return ExitStatus::Done;
    case Action::Version:
        std::printf("Trinode %s\n", TRINODE_VERSION);
        return 0;
    case Action::Usage:
        std::fprintf(stderr, "trinode: %s (see trinode --help)\n", qPrintable(m_error));
        return ExitUsage;
    case Action::Start:
    case Action::Background:
    case Action::BindKey:
    case Action::UnbindKey:
    case Action::Autostart:
    case Action::List:
    case Action::Suggest:
    case Action::Import:
    case Action::Check:
    case Action::Repair:
        return std::nullopt;
    }
    return ExitUsage;
}
