#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

// Opens a text the way the desktop opens things, deciding in this order:
//  1. a URL (a scheme of two or more characters and ':', so "C:" is not one):
//     the default handler for that URL;
//  2. a path that does not exist: the system's text for it ("No such file or
//     directory");
//  3. a .desktop launcher: its application, or for a link launcher its URL;
//  4. an executable regular file: started detached with no arguments;
//  5. a folder or a document: its default application.
// The whole text is the one thing opened; it is never split into arguments and
// never passes through a shell. A relative path is taken from Trinode's current
// directory (the home folder), exactly as the kernel would; "~" means nothing
// special. An empty text does nothing. The text is given as the bytes stored:
// a path whose name is not UTF-8 is opened by those bytes, and only a text
// that is UTF-8 can be a URL. A failure raises a TrinodeError whose message is the
// system's text. What is started never inherits the variables that only
// Trinode's own start needed (see IsTrinodeOnlyVariable). It waits for each
// answer it needs, however long (a session bus may never give one): windows
// open through PathOpener, which keeps the event loop going meanwhile.
void OpenPath(const QByteArray& text);

// Whether an open starts the local file at this path itself: a regular file
// that is a .desktop launcher or executable, rather than one handed to the
// application the desktop opens it with.
bool StartsItself(const QByteArray& localPath);

// What an open is waiting on at the moment: the file system (the path, a
// launcher's text), the desktop (GIO, and through it the session bus, which
// may never answer), or the system starting a program.
enum class OpenWait { FileSystem, Desktop, Program };

// The same, noting in waiting what each step waits on, so that whoever waits
// for the outcome on another thread can name what did not answer.
void OpenPath(const QByteArray& text, std::atomic<OpenWait>& waiting);

// Whether an open noting what it waits on runs now, on some thread: it reads
// the environment meanwhile, which no other thread may change until it ends.
bool OpenRunning();

// True for an environment variable that concerns Trinode's own process and must
// not reach a program it opens: the startup and activation tokens the desktop
// handed to Trinode (DESKTOP_STARTUP_ID, DESKTOP_AUTOSTART_ID,
// XDG_ACTIVATION_TOKEN), the platform plugin choices for Trinode (QT_QPA_*,
// except QT_QPA_PLATFORMTHEME, which the session sets for every Qt program) and
// Trinode's own TRINODE_* settings, and the session bus address that only
// keeps Trinode from starting a bus (see SessionBus). Other QT_* variables
// (scaling, input method, style) are the user's session-wide choices and stay.
bool IsTrinodeOnlyVariable(const QString& name);
