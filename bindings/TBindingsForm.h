#pragma once

// The bindings window: every bound combination, found by typing. It owns
// - the filter box, which keeps the focus while the user types, and the list
//   of rows it narrows (BindingsModel behind a WordFilter), sortable by
//   each column and in the file's order at first;
// - the actions on the selected row: Enter shows its chord in the main
//   window's sockets, Ctrl+Enter also runs it, F2 opens the editor on it,
//   Delete asks and then unbinds it; Esc closes;
// - a button that offers the desktop's own applications again
//   (BindApplicationsDialog);
// - the progress display of an unbinding, which is an assignment like OK's.
// It reads the rows from the store when it opens, unbinds through the store,
// and leaves showing, running and editing to its host, the main window,
// which acts on the chosen chord once the window has closed.

#include "store/Combination.h"

#include <QDialog>

#include <optional>

struct BoundCombination;
class BindingsHost;
class BindingsModel;
class CombinationTable;
class FilterBox;
class WordFilter;
class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;
class QTreeView;

class TBindingsForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TBindingsForm)
public:
    // What the window closed for.
    enum class Choice { None, Show, Run };

    TBindingsForm(CombinationTable& table, BindingsHost& host, QWidget* parent = nullptr);

    Choice Chosen() const { return m_choice; }
    const Combination& ChosenCombination() const { return m_chosen; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Action { Show, Run, Edit, Unbind, BindApplications, Close };

    void BuildControls();
    void MakeList();
    QLayout* MakeStatus();
    QLayout* MakeButtons();
    void Reload();
    void ShowState();
    std::optional<int> SelectedRow() const;
    std::optional<Action> ActionFor(const QObject* watched, const QKeyEvent& event) const;
    void AnnounceCurrentRow();
    void Act(Action action);
    void Choose(Choice choice);
    void EditSelected();
    void UnbindSelected();
    bool ConfirmUnbind(const BoundCombination& bound);

    CombinationTable& m_table;
    BindingsHost& m_host;
    Choice m_choice = Choice::None;
    Combination m_chosen;
    // The table's version that the rows show.
    std::optional<quint64> m_shownVersion;

    BindingsModel* m_model = nullptr;
    WordFilter* m_filter = nullptr;
    FilterBox* m_filterBox = nullptr;
    QTreeView* m_list = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QList<QPushButton*> m_rowButtons;
};
