#pragma once

// Trinode's command line: long GNU-style options. Without them Trinode
// starts, with --background without showing its window; the others set
// something (the summon key, the autostart entry), print something or read
// bindings, and the GUI part does them (GuiMain). Qt Core only: the front
// reads it before any GUI exists, and answers --help, --version and a
// command line that does not read by itself.

#include "app/ExitStatus.h"

#include <QString>
#include <QStringList>

#include <optional>

class CommandLine final {
public:
    enum class Action {
        Start,
        Background,
        Help,
        Version,
        BindKey,
        UnbindKey,
        Autostart,
        List,
        Suggest,
        Import,
        Check,
        Repair,
        Usage
    };

    CommandLine(int argc, char** argv);

    Action What() const { return m_action; }
    bool Starts() const { return m_action == Action::Start || m_action == Action::Background; }
    bool Background() const { return m_action == Action::Background; }
    // --import and --repair, which save the combination file.
    bool ChangesBindings() const {
        return m_action == Action::Import || m_action == Action::Repair;
    }
    // --import's file and --autostart's on or off; --bind-key's shortcut
    // when one was given.
    const std::optional<QString>& Value() const { return m_value; }
    // --list's words.
    const QStringList& Words() const { return m_words; }

    // --help, --version and a command line that does not read: the exit
    // status, after the text; nullopt for every other action.
    std::optional<int> Answer() const;

    static constexpr int ExitUsage = ExitStatus::BadInput;
    // The desktop refused, or could not be reached: nothing changed.
    static constexpr int ExitRefused = ExitStatus::Refused;
    // Nothing was set: a step by hand remains, which the message names.
    static constexpr int ExitByHand = ExitStatus::ByHand;

private:
    void Take(Action action, const std::optional<QString>& value = std::nullopt);
    void Refuse(const QString& why);

    Action m_action = Action::Start;
    std::optional<QString> m_value;
    QStringList m_words;
    QString m_error;
};
