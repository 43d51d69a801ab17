#pragma once

#include "editor/EditorHost.h"

#include <QWidget>

class CombinationTable;

class TMainForm final : public QWidget, public EditorHost {
    Q_OBJECT
public:
    explicit TMainForm(CombinationTable& table, QWidget* parent = nullptr);
    Combination SocketValues() const override { return m_socketValues; }
    void RefreshCurrent() override {}

private:
    CombinationTable& m_table;
    Combination m_socketValues;
};
