#pragma once

// The main window: the whole visible face of Trinode. It owns
// - the components at their fixed places: the background, the information
//   label, the Run, Add and Exit images, the 22 catalogue buttons and the
//   three sockets, all made from one table (art/PictureTable), at the
//   coordinates of the 1024 x 746 layout, which Canvas maps into the window
//   (centred, or scaled down to fit; black around it);
// - the hidden picture holders Buffer1-Buffer50 and BuffSocket1-BuffSocket23,
//   the only source of the pictures shown after start-up, and the three image
//   tables that RebuildImageTables fills from them by name;
// - which picture each image shows, so that all of them follow when the
//   window moves to a screen with another device pixel ratio (a picture is
//   decoded when first shown, for the ratio it is shown at);
// - the socket panel (SocketPanel), whose state RefreshCurrent shows;
// - what keys do: MainKeys' table, and the typed start of a button's name
//   (TypedPrefix).
// - the information's size (InfoFit), and the line that asks for a summon
//   key while none is bound.
// It calls the store (load or create right after the first paint, lookups
// through the panel), a PathOpener to run (the window goes on while the
// desktop answers; a press on Run while an open is pending does nothing, see
// PathOpener), and shows the editor, help, bindings and key windows modally;
// it is the bindings window's host, acting on the chord chosen there.

#include "art/PictureTable.h"
#include "bindings/BindingsHost.h"
#include "editor/EditorHost.h"
#include "launcher/ImageButton.h"
#include "launcher/LazyPicture.h"
#include "launcher/MainKeys.h"
#include "launcher/SocketPanel.h"
#include "launcher/TypedPrefix.h"
#include "store/ButtonCatalogue.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class CombinationTable;
class TBindingsForm;
class MnemonicLabel;
class PathOpener;
class PicturePrefetch;
class PictureHolder;
class QDialog;
class QKeyEvent;
class QLabel;
class QScreen;

class TMainForm final : public QWidget, public EditorHost, public BindingsHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)
public:
    // The pictures of the first paint come from prefetch where it has them.
    explicit TMainForm(CombinationTable& table, QWidget* parent = nullptr,
                       PicturePrefetch* prefetch = nullptr);
    ~TMainForm() override;

    // The pictures the window shows at its first paint, in the order it
    // decodes them.
    static QStringList FirstPaintPictures();

    // The windows it opens, made after this one.
    struct Dialogs {
        QDialog* editor = nullptr;
        QDialog* help = nullptr;
        TBindingsForm* bindings = nullptr;
        QDialog* summonKey = nullptr;
    };
    void SetDialogs(const Dialogs& dialogs);
    // Makes those windows (and hands them over with SetDialogs). It runs once: right after the
    // window's first paint, so that nothing delays the window's appearance, or earlier if a release
    // needs a dialog before then.
    void SetDialogMaker(std::function<void()> maker);

    const Combination& SocketValues() const { return m_panel.SocketValues(); }
    Combination CombinationToEdit() const override;
    void RefreshCurrent() override;
    void ShowCombination(const Combination& combination) override;
    void EditCombination(const Combination& combination) override;

    const QString& CurrentPath() const { return m_panel.CurrentPath(); }
    // Whether a path that Run opened has not yet ended (opened, failed or
    // given up on).
    bool RunPending() const;

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
    void SetUpWindow();
    void MakeBackgroundAndLabel();
    void MakeHolders();
    void MakeImages();
    void ShowFirstPictures(PicturePrefetch* prefetch);
    void FormActivate();
    void MakeDialogs();
    void RebuildImageTables();
    void Relayout();
    void UpdateColourKey();
    void FollowScreenRatio();
    void ShowSocket(int n);
    void ShowInfo();
    void MakeSummonHint();
    // The hint line shows while no summon key is bound and the user has not
    // said not to ask again.
    void ShowSummonHint();
    // The pressed or the normal picture of an image; none for a socket.
    PictureHolder* HolderOf(const ImageButton& image, bool pressed) const;
    PictureHolder* FindHolder(const QString& name) const;
    void SetPicture(ImageButton& image, LazyPicture& picture);
    void ShowPicture(ImageButton& image, PictureHolder& holder);

    // Whether a press is a held key's repeat.
    bool IsRepeat(const QKeyEvent& event) const;
    bool HandleKey(const QKeyEvent& event, bool repeat);
    bool ActOnKey(KeyAction action);
    // Presses and releases the image as a click inside it does.
    bool ClickImage(const QString& objectName);
    void TypeCharacter(QChar typed);
    void EndTypedPrefix();
    ImageButton* ImageNamed(const QString& objectName) const;
    void ShowCandidates(const QStringList& names);
    void ClearLastFilledSocket();
    void GetOutOfTheWay();

    void ImageMouseDown(ImageButton& image);
    void ImageMouseUp(ImageButton& image);
    void ImageClick(ImageButton& image);

    CombinationTable& m_table;
    SocketPanel m_panel;
    PathOpener* m_opener = nullptr;
    Dialogs m_dialogs;
    // The chord the editor opens on instead of the sockets' (F2 in the
    // bindings window), while it is open.
    std::optional<Combination> m_editing;
    bool m_activated = false;
    bool m_loaded = false;
    bool m_reloading = false;
    bool m_painted = false;
    std::function<void()> m_dialogMaker;
    TypedPrefix m_typedPrefix;
    // The last key released, and when (the window system's time).
    struct Released {
        int key = 0;
        quint64 time = 0;
    } m_released;
    // The catalogue buttons showing their pressed pictures as candidates.
    QStringList m_candidates;

    // Everything that stands on the canvas, with its place in the layout.
    struct CanvasItem {
        QWidget* widget;
        QRect layout;
        bool picture; // drawn scaled along with the canvas
    };
    std::vector<CanvasItem> m_canvasItems;

    // The device pixel ratio the shown pictures were decoded for.
    qreal m_ratio = 1;
    LazyPicture m_backgroundPicture{PictureTable::BackgroundPicture()};
    LazyPicture m_socketStart{PictureTable::SocketStartPicture()};
    QLabel* m_background = nullptr;
    MnemonicLabel* m_infoLabel = nullptr;
    QLabel* m_summonHint = nullptr;
    PictureHolder* m_addPressed = nullptr;
    PictureHolder* m_addNormal = nullptr;

    // Buffer1-Buffer48: the Add image's pair stands outside the table.
    std::array<PictureHolder*, 48> m_buttonPictures{};
    std::array<PictureHolder*, ButtonCatalogue::EntryCount> m_socketPictures{};
    std::array<ImageButton*, SocketPanel::SocketCount> m_socketImages{};
    // The picture each image shows, by its row of the image table.
    std::vector<LazyPicture*> m_shown;
};
