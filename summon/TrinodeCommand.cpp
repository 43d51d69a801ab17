#include "summon/TrinodeCommand.h"

#include "store/UserHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool NeedsQuotes(const QString& program) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    return !plain.match(program).hasMatch();
}

// Where this program is, as the system names it: its own bytes, since a path
// that is no UTF-8 has no text.
QByteArray ExecutablePath() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
    return n > 0 ? QByteArray(self, n) : QByteArray();
}

} // namespace

QString TrinodeCommand::Program() {
    const QString self = QFileInfo(QFile::decodeName(ExecutablePath())).canonicalFilePath();
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
    // A literal % would be a field code. GIO looks the program up by its
    // name as written, %% and all, and refuses an entry whose program it does
    // not find: such a path is started through env.
    if (program.contains(QLatin1Char('%')))
        program = QStringLiteral("env ") + program.replace(QLatin1String("%"), QLatin1String("%%"));
    return program + QLatin1Char(' ') + arguments;
}

QString TrinodeCommand::BuildFolder() {
    if (Program() == QLatin1String("trinode"))
        return {};
    // A CMake build folder holds its cache at its top.
    for (QDir folder = QFileInfo(Program()).dir(); !folder.isRoot(); folder.cdUp()) {
        if (folder.exists(QStringLiteral("CMakeCache.txt")))
            return folder.path();
    }
    return {};
}

QString TrinodeCommand::PlainLinkText() {
    return QStringLiteral("~/.local/bin/trinode");
}

QString TrinodeCommand::PlainLink(QString* why) {
    const QByteArray target = ExecutablePath();
    const QByteArray folder = UserHome::LocalPath() + "/.local/bin";
    const QByteArray link = folder + "/trinode";
    char there[PATH_MAX];
    const ssize_t m = ::readlink(link.constData(), there, sizeof there);
    if (m > 0 && QByteArray(there, m) == target)
        return PlainLinkText();
    struct stat status {};
    if (target.isEmpty() || UserHome::LocalPath().isEmpty())
        *why = QStringLiteral("there is no home folder for a link to it");
    else if (::lstat(link.constData(), &status) == 0)
        *why = QStringLiteral("%1 is another file already").arg(QFile::decodeName(link));
    else if (!QDir().mkpath(QFile::decodeName(folder)))
        *why = QStringLiteral("cannot make the folder %1").arg(QFile::decodeName(folder));
    else if (::symlink(target.constData(), link.constData()) != 0)
        *why = QStringLiteral("cannot make the link %1: %2")
                   .arg(QFile::decodeName(link), QString::fromLocal8Bit(std::strerror(errno)));
    if (!why->isEmpty())
        return {};
    return PlainLinkText();
}
