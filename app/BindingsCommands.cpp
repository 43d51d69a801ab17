#include "app/BindingsCommands.h"

#include "store/BindingText.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "store/WordMatch.h"

#include <QFile>

#include <cstdio>

namespace {

void Say(const QString& message) {
    std::fprintf(stderr, "trinode: %s\n", qPrintable(message));
}

// The table of the user's file as it is on disk.
bool Loaded(CombinationTable& table) {
    try {
        table.LoadFile();
        return true;
    } catch (const TrinodeError& error) {
        Say(QStringLiteral("%1: %2").arg(table.FilePath(), error.Message()));
        return false;
    }
}

bool ReadAll(const QString& name, QByteArray* text) {
    QFile file;
    const bool opened = name == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened) {
        Say(QStringLiteral("%1: %2").arg(name, file.errorString()));
        return false;
    }
    *text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Say(QStringLiteral("%1: %2").arg(name, file.errorString()));
        return false;
    }
    return true;
}

} // namespace

namespace BindingsCommands {

int List(const QStringList& words) {
    CombinationTable table;
    // No file yet: nothing is bound.
    if (!table.FileExists())
        return 0;
    if (!Loaded(table))
        return ExitFileError;
    for (const BoundCombination& bound : table.BoundCombinations()) {
        if (!WordMatch::Matches(BindingText::SearchText(bound), words))
            continue;
        const QByteArray line = BindingText::Line(bound);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : ExitFileError;
}

int Import(const QString& file) {
    QByteArray text;
    if (!ReadAll(file, &text))
        return ExitFileError;
    QString why;
    const std::optional<std::vector<BoundCombination>> lines = BindingText::ParsedLines(text, &why);
    if (!lines) {
        Say(QStringLiteral("%1: %2; nothing was bound").arg(file, why));
        return ExitBadInput;
    }
    CombinationTable table;
    try {
        if (table.FileExists())
            table.LoadFile();
        else
            table.CreateDefaultFile();
        NoProgress quiet;
        table.AssignCombinations(*lines, quiet);
    } catch (const TrinodeError& error) {
        Say(QStringLiteral("%1: %2").arg(table.FilePath(), error.Message()));
        return ExitFileError;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("Bound %1 %2 in %3")
                                       .arg(lines->size())
                                       .arg(lines->size() == 1 ? QStringLiteral("combination")
                                                               : QStringLiteral("combinations"))
                                       .arg(table.FilePath())));
    return 0;
}

} // namespace BindingsCommands
