#pragma once

// The main window's behaviour without its display: the three socket values,
// the current combination's information and path, and what a button release
// or a socket click does to them. The window shows the result.

#include "store/Combination.h"

#include <QString>

#include <optional>

class CombinationTable;

class SocketPanel final {
public:
    static constexpr int SocketCount = 3;

    explicit SocketPanel(const CombinationTable& table);

    const Combination& SocketValues() const { return m_socketValues; }
    const QString& Info() const { return m_info; }
    const QString& CurrentPath() const { return m_currentPath; }

    enum class Placement { NoEmptySocket, HelpInstead, Placed };
    struct PlaceResult {
        Placement placement;
        int socket; // 1 to 3 when placed
    };
    // Fills the first empty socket with the button's name; "Help" into the
    // first socket asks for the help window instead and fills nothing.
    PlaceResult PlaceButton(const QString& name);

    // Empties socket n (1 to 3); false when it was empty already.
    bool ClearSocket(int n);

    // Puts a whole combination in the sockets and looks it up.
    void SetSocketValues(const Combination& combination);

    // Looks the current combination up.
    void RefreshCurrent();

private:
    const CombinationTable& m_table;
    Combination m_socketValues;
    QString m_info;
    QString m_currentPath;
};
