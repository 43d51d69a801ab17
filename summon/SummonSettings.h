#pragma once

// What Trinode remembers about its summon key, in its own settings file
// ($XDG_CONFIG_HOME/trinode/trinode.conf), never in the combination file: the
// shortcut that --bind-key set, on which desktop and where, so that
// --unbind-key knows what to remove and the window's hint can go; and whether
// the user asked never to be asked again.

#include <QString>

#include <optional>

class SummonSettings final {
public:
    struct Binding {
        QString shortcut;     // Qt's portable text
        QString desktop;      // the desktop's name, as DesktopSession gives it
        QString where;        // where the desktop keeps it, in words
        bool grabbed = false; // the running Trinode grabs it itself (KeyGrab)
    };

    static QString FilePath();
    static QString Folder();

    std::optional<Binding> Bound() const;
    // Both return an empty text, or why the file could not be written.
    QString RememberBound(const Binding& binding);
    QString ForgetBound();

    bool DontAsk() const;
    QString SetDontAsk(bool dontAsk);
    // The window's hint asks for a key until one is bound or the user said
    // not to ask again. One read of the file, at every summon.
    bool HintWanted() const;
    // The hint's text, at the bottom of the main window's canvas.
    static constexpr const char* HintText = "Press Ctrl+K to choose a key that brings Trinode up";
};
