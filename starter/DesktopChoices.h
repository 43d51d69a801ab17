#pragma once

// The applications the user's desktop already treats as theirs, each with
// the button of its kind: first the default application of each kind, as GIO
// answers from mimeapps.list (browser, mail, files, music, videos, pictures,
// office documents, text), the terminal the desktop's settings name (else
// the one x-terminal-emulator leads to) and the desktop's settings
// application; then the desktop's favourites (GNOME's favorite-apps), each
// by its categories. GIO and GSettings are loaded when this is first read,
// never at a start.

#include "platform/ApplicationCatalogue.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace DesktopChoices {

struct Choice {
    // The button of the application's kind.
    QString button;
    // The application's desktop ID.
    QByteArray id;
};

// In the order above; an application may come more than once. A
// TrinodeError when GIO cannot be loaded. The applications are those shown
// (see ApplicationCatalogue); the terminal is found among them by its
// program.
std::vector<Choice> Read(const std::vector<DesktopApplication>& applications);

// The application of the desktop ID among the applications; null when none.
const DesktopApplication* WithId(const std::vector<DesktopApplication>& applications,
                                 const QByteArray& id);

// The button for an application of the desktop's by its categories:
// Applications where none says more.
QString ButtonOfCategories(const QStringList& categories);

} // namespace DesktopChoices
