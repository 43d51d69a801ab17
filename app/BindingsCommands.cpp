#include "app/BindingsCommands.h"

#include "app/CommandLine.h"
#include "app/ExitStatus.h"
#include "starter/StarterBindings.h"
#include "store/BindingText.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/Counted.h"
#include "store/TrinodeError.h"
#include "store/WordMatch.h"

#include <QFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Say(const QString& message) {
    std::fprintf(stderr, "trinode: %s\n", qPrintable(message));
}

// Loads the user's file; a damaged one is taken as far as it reads, and
// what is wrong with it said once. False when it could not be read at all.
// A held table keeps the file from writers while it lives (LoadFileHeld).
bool Loaded(CombinationTable& table, bool held = false) {
    try {
        if (held)
            table.LoadFileHeld();
        else
            table.LoadFile();
    } catch (const TrinodeError& error) {
        Say(error.Message());
        return table.Damage().IsDamaged();
    }
    return true;
}

// The whole input, as long as it is no longer than BindingsCommands::MaxInput.
bool ReadAll(const QString& name, QByteArray* text) {
    QFile file;
    const bool opened = name == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened) {
        Say(QStringLiteral("%1: %2").arg(name, file.errorString()));
        return false;
    }
    *text = file.read(BindingsCommands::MaxInput + 1);
    if (file.error() != QFileDevice::NoError) {
        Say(QStringLiteral("%1: %2").arg(name, file.errorString()));
        return false;
    }
    return true;
}

bool Wrote(const QByteArray& lines) {
    return std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout) == size_t(lines.size());
}

// Writes the lines at once: Done when all of them went out.
int Printed(const QByteArray& lines) {
    return Wrote(lines) && std::fflush(stdout) == 0 ? ExitStatus::Done : ExitStatus::FileError;
}

// The lines that bind a combination that a later line binds again: only
// the last one counts, and the others are named.
void NameRepeats(const QString& file, const std::vector<BoundCombination>& lines,
                 const std::vector<int>& numbers) {
    // Every line names buttons that exist: each has its record's number.
    std::vector<int> record(lines.size());
    std::vector<size_t> last(static_cast<size_t>(ButtonCatalogue::RecordCount));
    for (size_t i = 0; i < lines.size(); ++i) {
        record[i] = ButtonCatalogue::RecordNumber(lines[i].combination).value_or(0);
        last[size_t(record[i])] = i;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t kept = last[size_t(record[i])];
        if (kept != i)
            Say(QStringLiteral("%1: line %2 binds %3, which line %4 binds again; line %4 counts")
                    .arg(file)
                    .arg(numbers[i])
                    .arg(ButtonCatalogue::Spoken(lines[i].combination))
                    .arg(numbers[kept]));
    }
}

QString Outcome(const CombinationTable::Saved& saved, const QString& file) {
    QString text = QStringLiteral("Bound %1")
                       .arg(Counted::Of(saved.bound, QStringLiteral("combination"),
                                        QStringLiteral("combinations")));
    if (saved.unbound > 0)
        text += QStringLiteral(" and unbound %1").arg(Counted::Grouped(saved.unbound));
    return text + QStringLiteral(" in %1").arg(file);
}

// Neither --check nor --repair has a file to look at before the first start.
int NotThereYet(const CombinationTable& table) {
    std::printf("%s\n", qPrintable(QStringLiteral("%1 is not there yet; Trinode makes it at "
                                                  "its first start")
                                       .arg(table.FilePath())));
    return ExitStatus::Done;
}

} // namespace

namespace BindingsCommands {

int List(const QStringList& words) {
    CombinationTable table;
    // No file yet: nothing is bound.
    if (!table.FileExists())
        return ExitStatus::Done;
    // Printed into a file, the listing waits on nothing but the disk, and
    // the table may hold the bindings file as it is while it prints. A
    // terminal or a pipe waits on its reader as long as that likes, and an
    // editor that saved the bindings file meanwhile would wait with it.
    struct stat out {};
    const bool intoFile = ::fstat(STDOUT_FILENO, &out) == 0 && S_ISREG(out.st_mode);
    if (!Loaded(table, intoFile))
        return ExitStatus::FileError;
    // Written a piece at a time through one buffer, which stays small and
    // in memory already touched; a line is four times a record at the most.
    constexpr qsizetype Piece = 64 * 1024;
    QByteArray lines;
    lines.reserve(Piece + 4 * CombinationRecord::Size);
    bool written = true;
    const auto add = [&](const auto& bound) {
        BindingText::AppendLine(lines, bound);
        if (lines.size() >= Piece) {
            written = written && Wrote(lines);
            lines.resize(0);
        }
    };
    if (words.isEmpty()) {
        table.VisitBoundRecords([&add](const BoundRecord& bound) { add(bound); });
    } else {
        table.VisitBound([&](const BoundCombination& bound) {
            if (WordMatch::Matches(BindingText::SearchText(bound), words))
                add(bound);
        });
    }
    return written ? Printed(lines) : ExitStatus::FileError;
}

int Suggest() {
    CombinationTable table;
    // No file yet: nothing is bound, and every chord is free.
    if (table.FileExists() && !Loaded(table))
        return ExitStatus::FileError;
    QByteArray lines;
    try {
        for (const Proposal& proposal : StarterBindings::Propose(table))
            BindingText::AppendLine(lines, proposal.bound);
    } catch (const TrinodeError& error) {
        Say(error.Message());
        return ExitStatus::Refused;
    }
    return Printed(lines);
}

int Import(const QString& file) {
    QByteArray text;
    if (!ReadAll(file, &text))
        return ExitStatus::FileError;
    if (text.size() > MaxInput) {
        Say(QStringLiteral("%1: more than %2 bytes, which is more than the lines of every "
                           "combination take; nothing was bound")
                .arg(file, Counted::Grouped(MaxInput)));
        return ExitStatus::BadInput;
    }
    QString why;
    std::vector<int> numbers;
    const std::optional<std::vector<BoundCombination>> lines =
        BindingText::ParsedLines(text, &why, &numbers);
    if (!lines) {
        Say(QStringLiteral("%1: %2; nothing was bound").arg(file, why));
        return ExitStatus::BadInput;
    }
    NameRepeats(file, *lines, numbers);
    // The save reads the file itself, under its lock: one wait for another
    // program, and a damaged file is mended (and kept) rather than taken.
    CombinationTable table;
    try {
        NoProgress quiet;
        const CombinationTable::Saved saved = table.AssignCombinations(*lines, quiet);
        if (!saved.mended.isEmpty())
            Say(saved.mended);
        std::printf("%s\n", qPrintable(Outcome(saved, table.FilePath())));
    } catch (const TrinodeError& error) {
        Say(QStringLiteral("%1: %2").arg(table.FilePath(), error.Message()));
        return ExitStatus::FileError;
    }
    return ExitStatus::Done;
}

int Check() {
    CombinationTable table;
    if (!table.FileExists())
        return NotThereYet(table);
    try {
        table.LoadFile();
    } catch (const TrinodeError& error) {
        if (!table.Damage().IsDamaged()) {
            Say(error.Message());
            return ExitStatus::FileError;
        }
    }
    const FileDamage& damage = table.Damage();
    if (!damage.IsDamaged() && !damage.LacksRecords()) {
        std::printf("%s\n",
                    qPrintable(QStringLiteral("%1 is whole: %2")
                                   .arg(table.FilePath(),
                                        Counted::Of(qint64(table.BoundCombinations().size()),
                                                    QStringLiteral("bound combination"),
                                                    QStringLiteral("bound combinations")))));
        return ExitStatus::Done;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("%1 is damaged:").arg(table.FilePath())));
    for (const QString& line : damage.Details())
        std::printf("  %s\n", qPrintable(line));
    std::printf("trinode --repair mends it, keeping every binding that reads, and keeps the "
                "damaged file beside it\n");
    return ExitStatus::Damaged;
}

int Repair() {
    CombinationTable table;
    if (!table.FileExists())
        return NotThereYet(table);
    try {
        NoProgress quiet;
        const CombinationTable::Saved saved = table.Repair(quiet);
        std::printf(
            "%s\n",
            qPrintable(saved.mended.isEmpty()
                           ? QStringLiteral("%1 is whole; nothing to mend").arg(table.FilePath())
                           : saved.mended));
    } catch (const TrinodeError& error) {
        Say(error.Message());
        return ExitStatus::FileError;
    }
    return ExitStatus::Done;
}

std::optional<int> Answer(const CommandLine& commandLine) {
    switch (commandLine.What()) {
    case CommandLine::Action::List:
        return List(commandLine.Words());
    case CommandLine::Action::Suggest:
        return Suggest();
    case CommandLine::Action::Import:
        return Import(*commandLine.Value());
    case CommandLine::Action::Check:
        return Check();
    case CommandLine::Action::Repair:
        return Repair();
    case CommandLine::Action::Start:
    case CommandLine::Action::Background:
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
    case CommandLine::Action::BindKey:
    case CommandLine::Action::UnbindKey:
    case CommandLine::Action::Autostart:
    case CommandLine::Action::Usage:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace BindingsCommands
