#pragma once

#include <QDialog>

class CombinationTable;
class EditorHost;

// The Add/Change Shortcut dialog.
class TAddForm final : public QDialog {
    Q_OBJECT
public:
    TAddForm(CombinationTable& table, EditorHost& host, QWidget* parent = nullptr);

private:
    CombinationTable& m_table;
    EditorHost& m_host;
};
