#pragma once

// What the main window draws, apart from what it means: the background, the
// information label and the summon key's hint line, the hidden picture
// holders Buffer1-Buffer50 and BuffSocket1-BuffSocket23 (the only source of
// the pictures shown after start-up), the images made from the image table
// (art/PictureTable) and the three image tables that RebuildImageTables fills
// from the holders by name. All of them are direct children of the window, at
// the coordinates of the 1024 x 746 layout that Canvas maps into it.
//
// It keeps which picture each image shows, so that all of them follow when the
// window moves to a screen with another device pixel ratio (a picture is
// decoded when first shown, for the ratio it is shown at), and the window's
// colour key: the pixels of the shown pictures that are left undrawn. A change
// of pictures takes effect on the key at UpdateColourKey, once per change of
// the window's state.

#include "art/PictureTable.h"
#include "launcher/LazyPicture.h"
#include "launcher/SocketPanel.h"
#include "store/ButtonCatalogue.h"

#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class ImageButton;
class MnemonicLabel;
class PicturePrefetch;
class PictureHolder;
class QLabel;
class QWidget;

class PictureBoard final {
public:
    // The pictures of the first paint come from prefetch where it has them.
    PictureBoard(QWidget& window, PicturePrefetch* prefetch);
    PictureBoard(const PictureBoard&) = delete;
    PictureBoard& operator=(const PictureBoard&) = delete;

    // The pictures the window shows at its first paint, in the order it
    // decodes them.
    static QStringList FirstPaintPictures();

    // Every image, by its row of the image table.
    const std::vector<ImageButton*>& Images() const { return m_images; }
    ImageButton* ImageNamed(const QString& objectName) const;
    // The image of a catalogue button; none for another name.
    ImageButton* ImageOfButton(const QString& button) const;

    void RebuildImageTables();

    // The pressed or the normal picture of an image; nothing for a socket.
    void ShowPressed(ImageButton& image, bool pressed);
    // Socket n shows the value's socket picture and names it in its hint.
    // Until its first change a socket keeps its start picture, which looks
    // like the empty socket's. Nothing before the image tables are built.
    void ShowSocket(int n, const QString& value);
    // A text wider than its box is drawn smaller before it is cut.
    void ShowInfo(const QString& info);
    void ShowHint(bool shown);
    // The chord guide's lines, and the buttons it marks: those that lead on
    // to a bound chord. An empty text hides it and its marks.
    void ShowGuide(const QString& text, const QStringList& marked);
    void UpdateColourKey();

    // The pictures decoded for another ratio go; each comes back at the new
    // ratio.
    void FollowScreenRatio(qreal ratio);
    // Everything to its place on the window's canvas at its present size.
    void Relayout();

private:
    void MakeBackgroundAndLabels();
    void MakeHolders();
    void MakeImages();
    void ShowFirstPictures(PicturePrefetch* prefetch);
    PictureHolder* FindHolder(const QString& name) const;
    PictureHolder* HolderOf(const ImageButton& image, bool pressed) const;
    void SetPicture(ImageButton& image, LazyPicture& picture);
    void FitInfo();

    QWidget& m_window;
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
    QString m_info;
    QLabel* m_summonHint = nullptr;
    QLabel* m_guide = nullptr;
    QStringList m_marked;
    PictureHolder* m_addPressed = nullptr;
    PictureHolder* m_addNormal = nullptr;

    // Buffer1-Buffer48: the Add image's pair stands outside the table.
    std::array<PictureHolder*, 48> m_buttonPictures{};
    std::array<PictureHolder*, ButtonCatalogue::EntryCount> m_socketPictures{};
    std::array<ImageButton*, SocketPanel::SocketCount> m_socketImages{};
    // The value each socket shows; none before its first change.
    std::array<std::optional<QString>, SocketPanel::SocketCount> m_socketShown;
    std::vector<ImageButton*> m_images;
    // The picture each image shows, by its row of the image table.
    std::vector<LazyPicture*> m_shown;
};
