#pragma once

// The main window: the whole visible face of Trinode. Its parts:
// - the picture board (PictureBoard): every component at its fixed place,
//   the hidden picture holders, the pictures at the screen's ratio and the
//   colour key;
// - the socket panel (SocketPanel): the sockets' values, the current
//   combination's information and path; UpdateDisplay copies its state, and
//   whether the summon key's hint line is wanted, to the board;
// - the keyboard (MainKeyHandler), which hands back the actions of MainKeys'
//   table and presses the buttons typed by name;
// - the windows it opens (MainDialogs), each made when first needed.
// It calls the store (load or create right after the first paint, lookups
// through the panel), a PathOpener to run (the window goes on while the
// desktop answers; a press on Run while an open is pending does nothing, see
// PathOpener), and shows the editor, help, bindings and key windows modally;
// it is the bindings window's host, acting on the chord chosen there.

#include "bindings/BindingsHost.h"
#include "editor/EditorHost.h"
#include "launcher/MainDialogs.h"
#include "launcher/MainKeyHandler.h"
#include "launcher/MainKeys.h"
#include "launcher/PictureBoard.h"
#include "launcher/SocketPanel.h"

#include <QWidget>

class QTimer;

#include <optional>

class CombinationTable;
class ImageButton;
class PathOpener;
class PicturePrefetch;
class QKeyEvent;
class QScreen;

class TMainForm final : public QWidget, public EditorHost, public BindingsHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)
public:
    // The pictures of the first paint come from prefetch where it has them.
    explicit TMainForm(CombinationTable& table, QWidget* parent = nullptr,
                       PicturePrefetch* prefetch = nullptr);
    ~TMainForm() override;

    // Who makes the windows it opens. The editor and help are made right
    // after the window's first paint, so that nothing delays its appearance;
    // the bindings window and the key dialog when first opened.
    using Dialogs = MainDialogs::Makers;
    void SetDialogs(Dialogs dialogs);

Q_SIGNALS:
    // The window has painted for the first time; what its appearance need
    // not wait for can start.
    void FirstPainted();

public:

    Combination CombinationToEdit() const override;
    void RefreshCurrent() override;
    void ShowCombination(const Combination& combination) override;
    void EditCombination(const Combination& combination) override;

    // Loads the combination file into the table, or creates it when there is
    // none; once. The window does it right after its first paint, which needs
    // no combination; every action that uses the table (a placed button, a
    // cleared socket, Run, the editor, help) and a summon do it first when
    // they come earlier, so nothing ever acts on a table that is not loaded.
    // A failure is shown in the error box once the window is up.
    void LoadTable();
    void OfferStarterBindings();
    // Loads the file again when it changed on disk since (a hand edit, an
    // import from the command line), and shows the current combination's
    // new binding; for every summon and the bindings window.
    void TakeFileChanges();

    // Shows the window maximised on the monitor that holds the pointer, moving
    // it there from another monitor if need be; for the first start and for
    // every summon, so the launcher comes up where the user is. On Wayland,
    // where a client can neither read the pointer nor place itself, it only
    // shows the window maximised and the compositor chooses the monitor.
    // The monitor it went to; none on Wayland.
    QScreen* PlaceOnPointerScreen();

    // The release actions. PlaceButton refuses, with an error, a name that
    // is not one of the catalogue's buttons.
    void PlaceButton(const QString& name);
    void ClearSocket(int n);
    void RunCurrent();
    void ShowHelp();
    void OpenEditor();
    void ExitButtonClick();
    // The bindings window; it closes on the chord the user chose to see or run.
    void FindBindings();
    void ChooseSummonKey();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormActivate();
    void AfterFirstPaint();
    // Shows the sockets, the information and the hint line as the panel and
    // the settings have them, and the colour key of the pictures shown: once
    // for every change of what the window shows.
    void UpdateDisplay();
    bool ActOnKey(KeyAction action);
    // Presses and releases the image as a click inside it does.
    bool ClickImage(const QString& objectName);

    void ImageMouseDown(ImageButton& image);
    void ImageMouseUp(ImageButton& image);
    // The chord guide: gone at each press, back once the sockets rest.
    void HideGuide();
    void ShowGuide();

    CombinationTable& m_table;
    SocketPanel m_panel;
    PictureBoard m_board;
    MainKeyHandler m_keys;
    MainDialogs m_dialogs;
    PathOpener* m_opener = nullptr;
    // The chord the editor opens on instead of the sockets' (F2 in the
    // bindings window), while it is open.
    std::optional<Combination> m_editing;
    // The hint line shows while no summon key is bound and the user has not
    // said not to ask again; read at start, at each summon and after the key
    // dialog.
    bool m_hintWanted = false;
    bool m_activated = false;
    bool m_loaded = false;
    bool m_reloading = false;
    bool m_painted = false;
    // Started by each change of the sockets while the guide is on.
    QTimer* m_guidePause = nullptr;
};
