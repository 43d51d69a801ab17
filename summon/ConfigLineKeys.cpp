#include "summon/ConfigLineKeys.h"

#include "summon/TrinodeCommand.h"

#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// Bytes that were no UTF-8, and control characters (a line break would end
// the configuration line), have no written form in either file.
bool Writable(const QString& program) {
    static const QRegularExpression unwritable(QStringLiteral("[\\x00-\\x1f\\x7f\\x{fffd}]"));
    return !unwritable.match(program).hasMatch();
}

// sh -c runs this as exactly the program: a plain name as it is, else exec
// and the quoted path, so that the command starts with a plain word.
QString ShellCommand() {
    const QString text = TrinodeCommand::ShellText();
    return text.startsWith(QLatin1Char('\'')) ? QStringLiteral("exec ") + text : text;
}

// sway reads a configuration line's backslash escapes and its $$ once, and a
// binding's command its $$ again as it runs; it splits commands at ; and ,
// outside quotes and hands exec's words to sh -c joined by spaces, so a
// command that starts with a plain word passes whole. Its quotes do not know
// a backslash's meaning inside sh's single quotes: a \ before a ' would shift
// them against sh's.
QString SwayText(const QString& program) {
    if (program.contains(QLatin1String("\\'")))
        return {};
    QString text = ShellCommand();
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('$'), QLatin1String("$$$$"));
    return text;
}

// i3 replaces its variables in the whole file, with no escape for a $; it
// keeps a binding's command as written but for \" (read as "), and reads
// exec's argument up to a ; or , unless it is one quoted word, in which \"
// and \\ stand for " and \.
QString I3Text(const QString& program) {
    if (program.contains(QLatin1Char('$')))
        return {};
    const QString command = ShellCommand();
    if (command == program)
        return command;
    QString quoted = command;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    quoted.replace(QLatin1String("\\\""), QLatin1String("\\\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString ConfigLineKeys::ExecText(const QString& program) const {
    if (!Writable(program))
        return {};
    return m_sway ? SwayText(program) : I3Text(program);
}

QString ConfigLineKeys::Where() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           (m_sway ? QStringLiteral("/sway/config") : QStringLiteral("/i3/config"));
}

QString ConfigLineKeys::Name() const {
    return m_sway ? QStringLiteral("sway") : QStringLiteral("i3");
}

DesktopKeys::Outcome ConfigLineKeys::Bind(const Shortcut& shortcut) {
    const QString program = TrinodeCommand::Program();
    QString exec = ExecText(program);
    QString link;
    if (exec.isEmpty()) {
        QString why;
        link = TrinodeCommand::PlainLink(&why);
        if (link.isEmpty())
            return {Outcome::Kind::Refused,
                    QStringLiteral("Trinode's path %1 cannot be written safely in %2's "
                                   "configuration, and %3")
                        .arg(program, Name(), why),
                    {}};
        exec = link;
    }
    // i3 would otherwise show a busy cursor until Trinode's window maps, and
    // a summon maps no new window.
    const QString line = QStringLiteral("bindsym %1 exec %2%3")
                             .arg(shortcut.SwayNotation(),
                                  m_sway ? QString() : QStringLiteral("--no-startup-id "), exec);
    const QString made = link.isEmpty()
                             ? QString()
                             : QStringLiteral("Trinode's path %1 cannot be written safely in %2's "
                                              "configuration; the line runs the link %3 to it.\n")
                                   .arg(program, Name(), link);
    return {Outcome::Kind::ByHand,
            QStringLiteral("%5%1 takes key bindings from its configuration file only. Add this "
                           "line to %2:\n%3\nthen reload %1 (%4).")
                .arg(Name(), Where(), line,
                     m_sway ? QStringLiteral("swaymsg reload") : QStringLiteral("i3-msg reload"),
                     made),
            Where()};
}

DesktopKeys::Outcome ConfigLineKeys::Unbind() {
    const QString program = TrinodeCommand::Program();
    const QString exec = ExecText(program);
    return {Outcome::Kind::ByHand,
            QStringLiteral("Take the line \"bindsym ... exec %1\" out of %2, then reload %3.")
                .arg(exec.isEmpty() ? TrinodeCommand::PlainLinkText() : exec, Where(), Name()),
            {}};
}
