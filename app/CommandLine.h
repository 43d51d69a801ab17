#pragma once

// Trinode's command line: long GNU-style options. The ones that set
// something (the summon key, the autostart entry) or print something do their
// work and give the exit status; without them Trinode starts, with
// --background without showing its window.

#include <QString>
#include <QStringList>

#include <optional>

class CommandLine final {
public:
    CommandLine(int argc, char** argv);

    // The exit status when the command line is all there is to do; nullopt
    // when Trinode is to start.
    std::optional<int> Run() const;
    bool Background() const { return m_action == Action::Background; }

    static constexpr int ExitUsage = 1;
    // The desktop refused, or could not be reached: nothing changed.
    static constexpr int ExitRefused = 3;
    // Nothing was set: a step by hand remains, which the message names.
    static constexpr int ExitByHand = 4;

private:
    enum class Action {
        Start,
        Background,
        Help,
        Version,
        BindKey,
        UnbindKey,
        Autostart,
        List,
        Import,
        Usage
    };

    void Take(Action action, const QString& value = QString());
    void Refuse(const QString& why);
    int BindKey() const;
    int UnbindKey() const;
    int SetAutostart() const;

    Action m_action = Action::Start;
    QString m_value;
    QStringList m_words;
    QString m_error;
};
