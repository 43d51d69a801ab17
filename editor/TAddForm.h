#pragma once

// The Add/Change Shortcut dialog, made once at start-up and shown modally by
// the main window. It owns
// - the three socket lists and the Selection they pick, preselected from the
//   main window's SocketValues at every opening (FormActivate);
// - the binding of the Selection, shown in InfoStat and PathStat;
// - the new binding typed into InfoInput and PathInput, which keep their
//   texts from one opening to the next and take no more bytes than a record
//   holds; what Copy put there is stored as the bytes it came from for as
//   long as the box shows it unchanged; an application chosen fills both,
//   the information unless the user typed one since the opening, and hands
//   the focus to OK;
// - the progress display of an assignment (ProgressLabel, ProgressBar).
// It calls the store (FindCombination, AssignCombination), the host's
// RefreshCurrent after an assignment, the file chooser behind Browse, and
// the chooser of the desktop's applications behind Applications, whose
// catalogue it reads at each opening and which it makes once the first
// opening has been drawn.

#include "store/Combination.h"
#include "store/CombinationTable.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class ApplicationCatalogue;
class ApplicationChooser;
class EditorHost;
class MnemonicLabel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class SocketList;

class TAddForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAddForm)
public:
    // Shown the last confirmed path (empty at first); returns the confirmed
    // full path, or nothing when the user cancels.
    using FileChooser = std::function<std::optional<QString>(const QString& remembered)>;

    // The bar is full after 8070 of the 12167 records, about two thirds of
    // the scan, and stays full for the rest: a position for every
    // PositionStep records up to there.
    static constexpr int FullBarRecords = 8070;
    static constexpr int ProgressMaximum = FullBarRecords / CombinationTable::PositionStep;

    // Browse asks the file chooser given, the desktop's own by default.
    TAddForm(CombinationTable& table, EditorHost& host, QWidget* parent = nullptr,
             FileChooser fileChooser = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void BuildControls();
    void MakeSocketLists(QWidget& socketFrame);
    void MakeBindingBoxes(QWidget& currentAlloc, QWidget& changeTo);
    void MakeButtonsAndProgress();
    void ConnectHandlers();

    void FormActivate();
    void Socket1Click() { SocketClick(1); }
    void Socket2Click() { SocketClick(2); }
    void Socket3Click() { SocketClick(3); }
    void SocketClick(int n);
    void CopyButtonClick();
    void ClearButtonClick();
    void BrowseClick();
    void ApplicationsClick();
    ApplicationChooser& Chooser();
    void OKButtonClick();
    void ShowBinding();
    bool ConfirmOverwrite();
    StoredBinding BindingToStore() const;

    CombinationTable& m_table;
    EditorHost& m_host;
    Combination m_selection;
    QString m_rememberedPath;
    FileChooser m_fileChooser;
    // The bytes of the binding last copied into the boxes.
    StoredBinding m_copied;
    // Whether the user typed in InfoInput since the dialog opened.
    bool m_infoTyped = false;
    // The chooser is on its way: asked for after a first drawing.
    bool m_chooserComing = false;

    std::array<SocketList*, 3> m_sockets{};
    MnemonicLabel* m_infoStat = nullptr;
    MnemonicLabel* m_pathStat = nullptr;
    QLineEdit* m_infoInput = nullptr;
    QLineEdit* m_pathInput = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_applications = nullptr;
    ApplicationCatalogue* m_catalogue = nullptr;
    ApplicationChooser* m_chooser = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
};
