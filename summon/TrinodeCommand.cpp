#include "summon/TrinodeCommand.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

bool NeedsQuotes(const QString& program) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    return !plain.match(program).hasMatch();
}

} // namespace

QString TrinodeCommand::Program() {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString found = QStandardPaths::findExecutable(QStringLiteral("trinode"));
    if (self.isEmpty() || (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == self))
        return QStringLiteral("trinode");
    return self;
}

QString TrinodeCommand::ShellText(const QString& arguments) {
    QString program = Program();
    if (NeedsQuotes(program))
        program = QLatin1Char('\'') + program.replace(QLatin1String("'"), QLatin1String("'\\''")) +
                  QLatin1Char('\'');
    return arguments.isEmpty() ? program : program + QLatin1Char(' ') + arguments;
}

QString TrinodeCommand::DesktopExec(const QString& arguments) {
    QString program = Program();
    if (NeedsQuotes(program)) {
        static const QRegularExpression reserved(QStringLiteral("([\"`$\\\\])"));
        program = QLatin1Char('"') + program.replace(reserved, QStringLiteral("\\\\1")) +
                  QLatin1Char('"');
    }
    // A literal % would be a field code.
    program.replace(QLatin1String("%"), QLatin1String("%%"));
    return program + QLatin1Char(' ') + arguments;
}
