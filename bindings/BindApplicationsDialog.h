#pragma once

// The window that offers starter bindings (StarterBindings): one row for each
// proposal, with the chord's three socket pictures, the application's icon
// and name, and a ticked check box. Enter binds the ticked ones in one save;
// Esc binds none. The main window offers it at the first start that makes
// the combination file, the bindings window whenever its button is pressed;
// it is made when it opens, and reads the desktop then.

#include "starter/StarterBindings.h"

#include <QDialog>

#include <vector>

class CombinationTable;
class QTreeWidget;

class BindApplicationsDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BindApplicationsDialog)
public:
    BindApplicationsDialog(CombinationTable& table, std::vector<Proposal> proposals,
                           QWidget* parent);

    // Reads the proposals, shows them modally, binds what the user keeps,
    // and notes in the settings that they were offered. True when something
    // was bound. A failure to read the desktop or to save is shown in the
    // error box.
    static bool Offer(CombinationTable& table, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MakeList();
    void Bind();

    CombinationTable& m_table;
    std::vector<Proposal> m_proposals;
    QTreeWidget* m_list = nullptr;
    bool m_bound = false;
};
