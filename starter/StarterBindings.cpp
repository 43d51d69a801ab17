#include "starter/StarterBindings.h"

#include "platform/ApplicationFolders.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <set>

namespace StarterBindings {
namespace {

const QStringList Variants{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")};

// The button, other than the kind's own and the variants, whose name starts
// as the application's name does, by the longest shared start (the first
// letter at least), the first in the catalogue among equals; empty when none.
QString NamedButton(const QString& name, const QString& kind) {
    QString best;
    qsizetype bestLength = 0;
    for (int index = 0; index < ButtonCatalogue::ButtonCount; ++index) {
        const QString button = ButtonCatalogue::ButtonName(index);
        if (button == kind || Variants.contains(button))
            continue;
        qsizetype length = 0;
        while (length < button.size() && length < name.size() &&
               button[length].toCaseFolded() == name[length].toCaseFolded())
            ++length;
        if (length > bestLength) {
            best = button;
            bestLength = length;
        }
    }
    return best;
}

// The chords an application of a kind may take, the first free one wins.
std::vector<Combination> Candidates(const QString& kind, const QString& name) {
    std::vector<Combination> chords{{kind, QString(), QString()}};
    if (const QString named = NamedButton(name, kind); !named.isEmpty())
        chords.push_back({kind, named, QString()});
    for (const QString& variant : Variants)
        chords.push_back({kind, variant, QString()});
    return chords;
}

bool Bound(const CombinationTable& table, const Combination& chord) {
    const StoredBinding stored = table.Stored(chord);
    return !stored.info.isEmpty() || !stored.path.isEmpty();
}

} // namespace

std::vector<Proposal> Planned(const std::vector<DesktopChoices::Choice>& choices,
                              const std::vector<DesktopApplication>& applications,
                              const CombinationTable& table) {
    std::vector<Proposal> proposals;
    // An application bound already, to whatever chord, is the user's.
    std::set<QByteArray> proposed;
    table.VisitBound([&](const BoundCombination& bound) { proposed.insert(bound.binding.path); });
    std::set<Combination> taken;
    for (const DesktopChoices::Choice& choice : choices) {
        // Only what the desktop shows, and what a record can hold.
        const DesktopApplication* application = DesktopChoices::WithId(applications, choice.id);
        if (!application || proposed.count(application->desktopFile) ||
            !CombinationRecord::Fits(CombinationRecord::Field::Path, application->desktopFile))
            continue;
        for (const Combination& chord : Candidates(choice.button, application->name)) {
            if (taken.count(chord) || Bound(table, chord))
                continue;
            const QString info =
                CombinationRecord::CutToFit(CombinationRecord::Field::Info, application->name);
            proposals.push_back(
                {{chord, {CombinationRecord::Encode(info), application->desktopFile}},
                 application->name,
                 application->icon});
            proposed.insert(application->desktopFile);
            taken.insert(chord);
            break;
        }
    }
    return proposals;
}

std::vector<Proposal> Propose(const CombinationTable& table) {
    const ApplicationFolders::Listing listing = ApplicationFolders::Walk();
    if (const QString obstacle = listing.Obstacle(); !obstacle.isEmpty())
        throw TrinodeError(obstacle +
                           QStringLiteral(", so no default application can be looked up"));
    const std::vector<DesktopApplication> applications = ApplicationCatalogue::ReadAll(listing);
    return Planned(DesktopChoices::Read(applications), applications, table);
}

} // namespace StarterBindings
