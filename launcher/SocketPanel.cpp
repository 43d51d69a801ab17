#include "launcher/SocketPanel.h"

#include "store/CombinationTable.h"

SocketPanel::SocketPanel(const CombinationTable& table) : m_table(table) {}

SocketPanel::PlaceResult SocketPanel::PlaceButton(const QString& name) {
    for (int i = 0; i < SocketCount; ++i) {
        if (!m_socketValues[i].isEmpty())
            continue;
        if (i == 0 && name == QLatin1String("Help"))
            return {Placement::HelpInstead, 0};
        m_socketValues[i] = name;
        RefreshCurrent();
        return {Placement::Placed, i + 1};
    }
    return {Placement::NoEmptySocket, 0};
}

bool SocketPanel::ClearSocket(int n) {
    QString& value = m_socketValues[n - 1];
    if (value.isEmpty())
        return false;
    value.clear();
    RefreshCurrent();
    return true;
}

void SocketPanel::SetSocketValues(const Combination& combination) {
    m_socketValues = combination;
    RefreshCurrent();
}

void SocketPanel::RefreshCurrent() {
    const Binding binding = m_table.FindCombination(m_socketValues);
    m_info = binding.info;
    m_currentPath = binding.path;
}
