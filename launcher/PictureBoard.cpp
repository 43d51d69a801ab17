#include "launcher/PictureBoard.h"

#include "launcher/Canvas.h"
#include "launcher/ImageButton.h"
#include "launcher/InfoFit.h"
#include "launcher/PictureHolder.h"
#include "launcher/PicturePrefetch.h"
#include "look/MnemonicLabel.h"
#include "look/PixelFont.h"
#include "summon/SummonSettings.h"

#include <QLabel>
#include <QWidget>

namespace {

using PictureTable::Image;
using PictureTable::Role;

constexpr int InfoPixelSize = 27;
constexpr int SummonHintPixelSize = 13;
const QColor SummonHintColour(0xb0, 0xb0, 0xb0);
constexpr int ChordGuidePixelSize = 16;

// The hidden holders stand in a column near the left edge, a 9 x 9 box every
// 4 pixels: Buffer n at 100 + 4n, BuffSocket n below them at 320 + 4n.
constexpr int HolderSpacing = 4;
constexpr int ButtonHoldersTop = 100;
constexpr int SocketHoldersTop = 320;

// A screen reader tells the sockets apart by their number: "Socket 1,
// empty", "Socket 2, Files"; their hints stay those of the pictures.
QString SpokenSocket(int n, const QString& value) {
    return QStringLiteral("Socket %1, %2")
        .arg(n)
        .arg(value.isEmpty() ? QStringLiteral("empty") : value);
}

const Image& RowOf(const ImageButton& image) {
    return PictureTable::Images()[image.Tag()];
}

} // namespace

PictureBoard::PictureBoard(QWidget& window, PicturePrefetch* prefetch)
    : m_window(window), m_ratio(window.devicePixelRatioF()) {
    // The background first, so that it lies behind everything else.
    MakeBackgroundAndLabels();
    MakeHolders();
    MakeImages();
    // The pictures come last: the prefetch's thread may still be decoding
    // them while the widgets are made.
    ShowFirstPictures(prefetch);
}

QStringList PictureBoard::FirstPaintPictures() {
    QStringList names{PictureTable::BackgroundPicture()};
    for (const Image& row : PictureTable::Images()) {
        const QString name = row.role == Role::Socket ? PictureTable::SocketStartPicture()
                                                      : PictureTable::ButtonPicture(row.normal);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

void PictureBoard::MakeBackgroundAndLabels() {
    m_background = new QLabel(&m_window);
    m_background->setObjectName(QStringLiteral("Background"));
    m_background->setGeometry(PictureTable::BackgroundPlace);
    m_canvasItems.push_back({m_background, PictureTable::BackgroundPlace, true});

    m_infoLabel = new MnemonicLabel(&m_window);
    m_infoLabel->setObjectName(QStringLiteral("InfoLabel"));
    m_infoLabel->setGeometry(PictureTable::InfoLabelPlace);
    m_infoLabel->setAlignment(Qt::AlignCenter);
    m_infoLabel->setFont(PixelFont::Named("Trebuchet MS", InfoPixelSize));
    QPalette infoPalette = m_infoLabel->palette();
    infoPalette.setColor(QPalette::WindowText, Qt::white);
    m_infoLabel->setPalette(infoPalette);
    m_infoLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_canvasItems.push_back({m_infoLabel, PictureTable::InfoLabelPlace, false});

    m_summonHint = new QLabel(QLatin1String(SummonSettings::HintText), &m_window);
    m_summonHint->setObjectName(QStringLiteral("SummonHint"));
    m_summonHint->setGeometry(PictureTable::SummonHintPlace);
    m_summonHint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_summonHint->setFont(PixelFont::Named("Liberation Sans", SummonHintPixelSize));
    QPalette hintPalette = m_summonHint->palette();
    hintPalette.setColor(QPalette::WindowText, SummonHintColour);
    m_summonHint->setPalette(hintPalette);
    m_summonHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_canvasItems.push_back({m_summonHint, PictureTable::SummonHintPlace, false});

    m_guide = new QLabel(&m_window);
    m_guide->setObjectName(QStringLiteral("ChordGuide"));
    m_guide->setAccessibleName(QStringLiteral("Chord guide"));
    m_guide->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_guide->setWordWrap(true);
    m_guide->setTextFormat(Qt::PlainText);
    m_guide->setFont(PixelFont::Named("Liberation Sans", ChordGuidePixelSize));
    m_guide->setPalette(hintPalette);
    m_guide->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_guide->hide();
    m_canvasItems.push_back({m_guide, PictureTable::ChordGuidePlace, false});
}

void PictureBoard::MakeHolders() {
    // Never drawn; each decodes its picture when the picture is first shown.
    for (int n = 1; n <= PictureTable::ButtonPictureCount(); ++n)
        new PictureHolder(PictureTable::ButtonPicture(n), ButtonHoldersTop + HolderSpacing * n,
                          &m_window);
    for (int n = 1; n <= PictureTable::SocketPictureCount(); ++n)
        new PictureHolder(PictureTable::SocketPicture(n), SocketHoldersTop + HolderSpacing * n,
                          &m_window);
    const Image& add = *PictureTable::ImageNamed(QStringLiteral("AddShortcutButton"));
    m_addPressed = FindHolder(PictureTable::ButtonPicture(add.pressed));
    m_addNormal = FindHolder(PictureTable::ButtonPicture(add.normal));
}

void PictureBoard::MakeImages() {
    const std::span<const Image> rows = PictureTable::Images();
    m_shown.resize(rows.size(), nullptr);
    for (int i = 0; i < int(rows.size()); ++i) {
        const Image& row = rows[i];
        const bool socket = row.role == Role::Socket;
        auto* image = new ImageButton(
            socket ? ImageButton::Kind::Socket : ImageButton::Kind::Button, i, &m_window);
        image->setObjectName(QLatin1String(row.objectName));
        image->setGeometry(row.place);
        m_canvasItems.push_back({image, row.place, true});
        image->setToolTip(QLatin1String(row.hint));
        if (socket)
            image->setAccessibleName(SpokenSocket(row.socket, QString()));
        m_shown[i] = socket ? &m_socketStart
                            : &FindHolder(PictureTable::ButtonPicture(row.normal))->Picture();
        m_images.push_back(image);
    }
}

void PictureBoard::ShowFirstPictures(PicturePrefetch* prefetch) {
    const auto takePrefetched = [this, prefetch](LazyPicture& picture) {
        if (!prefetch || picture.IsDecoded())
            return;
        if (auto decoded = prefetch->Take(picture.Name(), m_ratio))
            picture.Adopt(std::move(decoded->image), std::move(decoded->keyed), m_ratio);
    };
    takePrefetched(m_backgroundPicture);
    m_background->setPixmap(m_backgroundPicture.Pixmap(m_ratio));
    for (ImageButton* image : m_images) {
        takePrefetched(*m_shown[image->Tag()]);
        SetPicture(*image, *m_shown[image->Tag()]);
    }
}

void PictureBoard::RebuildImageTables() {
    const auto lookUp = [this](const QString& name) {
        return m_window.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    };
    for (int n = 1; n <= int(m_buttonPictures.size()); ++n)
        m_buttonPictures[n - 1] =
            qobject_cast<PictureHolder*>(lookUp(PictureTable::ButtonPicture(n)));
    for (int n = 1; n <= int(m_socketPictures.size()); ++n)
        m_socketPictures[n - 1] =
            qobject_cast<PictureHolder*>(lookUp(PictureTable::SocketPicture(n)));
    for (const Image& row : PictureTable::Images())
        if (row.role == Role::Socket)
            m_socketImages[row.socket - 1] =
                qobject_cast<ImageButton*>(lookUp(QLatin1String(row.objectName)));
}

ImageButton* PictureBoard::ImageNamed(const QString& objectName) const {
    const Image* row = PictureTable::ImageNamed(objectName);
    return row ? m_images[row - PictureTable::Images().data()] : nullptr;
}

ImageButton* PictureBoard::ImageOfButton(const QString& button) const {
    const Image* row = PictureTable::ImageOfButton(button);
    return row ? m_images[row - PictureTable::Images().data()] : nullptr;
}

PictureHolder* PictureBoard::FindHolder(const QString& name) const {
    return m_window.findChild<PictureHolder*>(name, Qt::FindDirectChildrenOnly);
}

PictureHolder* PictureBoard::HolderOf(const ImageButton& image, bool pressed) const {
    const Image& row = RowOf(image);
    // The Add image's pair stands outside the image table; its handlers use
    // the holders themselves.
    if (row.role == Role::Add)
        return pressed ? m_addPressed : m_addNormal;
    // The sockets have none.
    const int n = pressed ? row.pressed : row.normal;
    if (n < 1 || n > int(m_buttonPictures.size()))
        return nullptr;
    return m_buttonPictures[n - 1];
}

void PictureBoard::SetPicture(ImageButton& image, LazyPicture& picture) {
    m_shown[image.Tag()] = &picture;
    image.SetPicture(picture.Pixmap(m_ratio), picture.KeyedPixels(m_ratio));
}

void PictureBoard::ShowPressed(ImageButton& image, bool pressed) {
    if (PictureHolder* holder = HolderOf(image, pressed))
        SetPicture(image, holder->Picture());
}

void PictureBoard::ShowSocket(int n, const QString& value) {
    std::optional<QString>& shown = m_socketShown[n - 1];
    ImageButton* socket = m_socketImages[n - 1];
    if (!socket || shown == value || (!shown && value.isEmpty()))
        return;
    shown = value;
    socket->setToolTip(value.isEmpty() ? QLatin1String(RowOf(*socket).hint) : value);
    socket->setAccessibleName(SpokenSocket(n, value));
    // The empty value is the catalogue's last entry, whose picture is the
    // empty socket.
    const int entry = *ButtonCatalogue::ButtonIndex(value);
    SetPicture(*socket, m_socketPictures[entry]->Picture());
}

void PictureBoard::ShowInfo(const QString& info) {
    if (info == m_info)
        return;
    m_info = info;
    FitInfo();
}

void PictureBoard::FitInfo() {
    QFont font = m_infoLabel->font();
    font.setPixelSize(Canvas(m_window.size()).MapLength(InfoPixelSize));
    font.setPixelSize(InfoFit::PixelSize(font, m_info, m_infoLabel->contentsRect().width()));
    m_infoLabel->setFont(font);
    m_infoLabel->setText(m_info);
}

void PictureBoard::ShowHint(bool shown) {
    m_summonHint->setVisible(shown);
}

void PictureBoard::ShowGuide(const QString& text, const QStringList& marked) {
    if (text == m_guide->text() && m_guide->isVisible() == !text.isEmpty() && marked == m_marked)
        return;
    m_guide->setText(text);
    m_guide->setAccessibleDescription(text);
    m_guide->setVisible(!text.isEmpty());
    for (const QString& button : std::as_const(m_marked))
        ImageOfButton(button)->SetMarked(false);
    m_marked = text.isEmpty() ? QStringList() : marked;
    for (const QString& button : std::as_const(m_marked))
        ImageOfButton(button)->SetMarked(true);
}

void PictureBoard::FollowScreenRatio(qreal ratio) {
    if (qFuzzyCompare(ratio, m_ratio))
        return;
    m_ratio = ratio;
    for (PictureHolder* holder : m_window.findChildren<PictureHolder*>(Qt::FindDirectChildrenOnly))
        holder->Picture().Release();
    m_socketStart.Release();
    m_backgroundPicture.Release();
    m_background->setPixmap(m_backgroundPicture.Pixmap(m_ratio));
    for (ImageButton* image : m_images)
        SetPicture(*image, *m_shown[image->Tag()]);
    UpdateColourKey();
}

void PictureBoard::UpdateColourKey() {
    const Canvas canvas(m_window.size());
    QRegion keyed = canvas.Map(m_backgroundPicture.KeyedPixels(m_ratio).translated(
        PictureTable::BackgroundPlace.topLeft()));
    for (const ImageButton* image : m_images)
        keyed += canvas.Map(image->KeyedPixels().translated(RowOf(*image).place.topLeft()));
    if (keyed.isEmpty())
        m_window.clearMask();
    else
        m_window.setMask(QRegion(m_window.rect()) - keyed);
}

void PictureBoard::Relayout() {
    const Canvas canvas(m_window.size());
    // At full size the pictures are drawn as they are; only a smaller canvas
    // pays for scaling them.
    const bool scaled = canvas.Scale() < 1.0;
    for (const CanvasItem& item : m_canvasItems) {
        item.widget->setGeometry(canvas.Map(item.layout));
        if (item.picture)
            static_cast<QLabel*>(item.widget)->setScaledContents(scaled);
    }
    FitInfo();
    QFont hintFont = m_summonHint->font();
    hintFont.setPixelSize(canvas.MapLength(SummonHintPixelSize));
    m_summonHint->setFont(hintFont);
    QFont guideFont = m_guide->font();
    guideFont.setPixelSize(canvas.MapLength(ChordGuidePixelSize));
    m_guide->setFont(guideFont);
    UpdateColourKey();
}
