#pragma once

// Starter bindings: chords a person could guess for the applications the
// desktop already treats as the user's (DesktopChoices), so that a new user
// has something to run at the first start. The default application of a kind
// gets the kind's button alone (Internet for the browser); a further
// application of a kind gets the kind and then the button whose name starts
// as the application's name does, else One, Two, Three. A chord already
// bound is never proposed, an application the desktop hides (NoDisplay,
// Hidden) neither, nor one whose entry is bound already; each application
// comes once. Each proposal binds the
// application's desktop entry, as the editor's Applications chooser does,
// with its name cut to the information's width.

#include "platform/ApplicationCatalogue.h"
#include "starter/DesktopChoices.h"
#include "store/BindingText.h"

#include <QString>

#include <vector>

class CombinationTable;

struct Proposal {
    BoundCombination bound;
    // The application's name and icon (a theme's icon name or a file).
    QString name;
    QString icon;
};

namespace StarterBindings {

// The chords for the choices, in their order, among the applications shown;
// the table says what is bound.
std::vector<Proposal> Planned(const std::vector<DesktopChoices::Choice>& choices,
                              const std::vector<DesktopApplication>& applications,
                              const CombinationTable& table);

// Reads the desktop's applications and choices now and plans their chords.
// A TrinodeError when GIO cannot be loaded, or when the applications folders
// hold what GIO's own walk of them never ends on (see ApplicationFolders).
std::vector<Proposal> Propose(const CombinationTable& table);

} // namespace StarterBindings
