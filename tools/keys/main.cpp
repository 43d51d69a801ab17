// trinode_keys: the main window's keys in words (help/KeyHelp), made from its
// key table, for what is not the window: the build writes --help's list of
// keys with it and checks the manual page's list against it, so that neither
// can disagree with the program.
//
//   trinode_keys usage FILE   writes FILE, a C++ header holding --help's list
//   trinode_keys check PAGE   whether the KEYS section of the manual page
//                             PAGE names exactly the keys of the list

#include "help/KeyHelp.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace {

constexpr int KeyColumn = 17;

QString Quoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    quoted.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

int WriteUsage(const char* path) {
    QStringList lines{QStringLiteral("// Made by trinode_keys from the main window's key table."),
                      QStringLiteral("#pragma once"), QString(),
                      QStringLiteral("inline constexpr char KeysUsage[] =")};
    lines << QStringLiteral("    \"\\n\"")
          << QStringLiteral("    \"Keys in Trinode's window:\\n\"");
    for (const KeyHelp::Line& key : KeyHelp::Lines())
        lines << QStringLiteral("    ") +
                     Quoted(QStringLiteral("  ") + key.keys.leftJustified(KeyColumn - 2) +
                            QLatin1Char(' ') + key.does + QLatin1Char('\n'));
    lines.last() += QLatin1Char(';');
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0) {
        std::fprintf(stderr, "trinode_keys: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

// The words of a roff request line, its quoted arguments whole; .BR and .IR
// alternate fonts with no space between their arguments, .B and .I set
// theirs apart by spaces.
QString TagText(const QString& line) {
    static const QRegularExpression words(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
    QStringList parts;
    auto match = words.globalMatch(line);
    const QString request = match.next().captured(0);
    while (match.hasNext()) {
        const auto word = match.next();
        parts << (word.hasCaptured(1) ? word.captured(1) : word.captured(2));
    }
    QString text = parts.join(request.size() > 2 ? QString() : QStringLiteral(" "));
    text.replace(QLatin1String("\\-"), QLatin1String("-"));
    return text;
}

// The tags of the KEYS section: each line after a .TP.
QStringList ManualKeys(const QString& page) {
    QStringList keys;
    bool inKeys = false;
    bool tag = false;
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH ")))
            inKeys = line == QLatin1String(".SH KEYS");
        else if (inKeys && tag)
            keys << TagText(line);
        tag = inKeys && line == QLatin1String(".TP");
    }
    return keys;
}

int CheckManual(const char* path) {
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "trinode_keys: cannot read %s\n", path);
        return 1;
    }
    const QStringList listed = ManualKeys(QString::fromUtf8(file.readAll()));
    QStringList known;
    int wrong = 0;
    for (const KeyHelp::Line& key : KeyHelp::Lines()) {
        known << key.keys;
        if (!listed.contains(key.keys))
            wrong += std::fprintf(stderr, "trinode_keys: %s lacks the keys \"%s\" (%s)\n", path,
                                  qPrintable(key.keys), qPrintable(key.does)) > 0;
    }
    for (const QString& keys : listed)
        if (!known.contains(keys))
            wrong += std::fprintf(stderr,
                                  "trinode_keys: %s lists \"%s\", which the window does not have\n",
                                  path, qPrintable(keys)) > 0;
    return wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "usage") == 0)
        return WriteUsage(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "check") == 0)
        return CheckManual(argv[2]);
    std::fprintf(stderr, "usage: trinode_keys usage FILE | check PAGE\n");
    return 1;
}
