#include "store/ChordGuide.h"

#include "store/BindingText.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"

#include <QStringList>

#include <array>
#include <optional>

namespace ChordGuide {
namespace {

// The socket the next press fills: the first empty one; none when all are
// full.
std::optional<size_t> NextSocket(const Combination& sockets) {
    for (size_t socket = 0; socket < sockets.size(); ++socket)
        if (sockets[socket].isEmpty())
            return socket;
    return std::nullopt;
}

QString RunsWhat(const StoredBinding& binding) {
    return CombinationRecord::Decode(binding.info.isEmpty() ? binding.path : binding.info);
}

} // namespace

std::vector<Continuation> Continuations(const Combination& sockets, const CombinationTable& table) {
    const std::optional<size_t> next = NextSocket(sockets);
    if (!next || *next == 0)
        return {};
    std::array<Continuation, ButtonCatalogue::ButtonCount> found{};
    table.VisitBound([&](const BoundCombination& bound) {
        const Combination& chord = bound.combination;
        for (size_t socket = 0; socket < *next; ++socket)
            if (chord[socket] != sockets[socket])
                return;
        const std::optional<int> button = ButtonCatalogue::ButtonIndex(chord[*next]);
        if (!button || *button == ButtonCatalogue::EmptyIndex)
            return;
        Continuation& continuation = found[size_t(*button)];
        bool further = false;
        for (size_t socket = *next + 1; socket < chord.size(); ++socket)
            further = further || !chord[socket].isEmpty();
        if (further) {
            continuation.leadsOn = true;
        } else {
            continuation.completes = true;
            continuation.info = RunsWhat(bound.binding);
        }
    });
    std::vector<Continuation> continuations;
    for (int button = 0; button < ButtonCatalogue::ButtonCount; ++button) {
        Continuation& continuation = found[size_t(button)];
        continuation.button = button;
        if (continuation.completes || continuation.leadsOn)
            continuations.push_back(continuation);
    }
    return continuations;
}

QString PictureLetter(int button) {
    static const QStringList Variants{QStringLiteral("One"), QStringLiteral("Two"),
                                      QStringLiteral("Three")};
    const QString name = ButtonCatalogue::ButtonName(button);
    const qsizetype variant = Variants.indexOf(name);
    return variant >= 0 ? QString::number(variant + 1) : name.left(1);
}

QString Text(const std::vector<Continuation>& continuations) {
    QStringList parts;
    for (const Continuation& continuation : continuations)
        if (continuation.completes)
            parts << PictureLetter(continuation.button) + QLatin1Char(' ') + continuation.info;
    return parts.join(QStringLiteral(", "));
}

} // namespace ChordGuide
