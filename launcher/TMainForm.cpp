#include "launcher/TMainForm.h"

#include "bindings/BindApplicationsDialog.h"
#include "bindings/TBindingsForm.h"
#include "launcher/Canvas.h"
#include "launcher/InfoFit.h"
#include "launcher/MainKeys.h"
#include "launcher/PictureHolder.h"
#include "launcher/PicturePrefetch.h"
#include "look/MnemonicLabel.h"
#include "platform/ErrorGuard.h"
#include "platform/PathOpener.h"
#include "platform/Settings.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "summon/SummonSettings.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

using PictureTable::Image;
using PictureTable::Role;

constexpr int InfoPixelSize = 27;
constexpr int SummonHintPixelSize = 13;
const QColor SummonHintColour(0xb0, 0xb0, 0xb0);

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

bool IsModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}

} // namespace

TMainForm::TMainForm(CombinationTable& table, QWidget* parent, PicturePrefetch* prefetch)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_table(table), m_panel(table) {
    SetUpWindow();
    // The background first, so that it lies behind everything else.
    MakeBackgroundAndLabel();
    MakeHolders();
    MakeImages();
    // The pictures come last: the prefetch's thread may still be decoding
    // them while the widgets are made.
    ShowFirstPictures(prefetch);

    // Centred when not maximised.
    resize(Canvas::LayoutSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMainForm::SetUpWindow() {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Trinode"));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The window takes the keys that its pictures leave.
    setFocusPolicy(Qt::StrongFocus);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    setFont(windowFont);

    // A failed open is shown as if Run itself had raised it.
    m_opener = new PathOpener(this);
    connect(m_opener, &PathOpener::Finished, this, [](std::exception_ptr failure) {
        if (failure)
            ErrorGuard::Guarded([&] { std::rethrow_exception(failure); });
    });
    // Until the first activation the window has the toolkit's own colour.
    setAutoFillBackground(true);

    // The pictures are decoded for the screen the window starts on; the
    // first paint needs only the background and the pictures at rest.
    m_ratio = devicePixelRatioF();
}

void TMainForm::MakeBackgroundAndLabel() {
    m_background = new QLabel(this);
    m_background->setObjectName(QStringLiteral("Background"));
    m_background->setGeometry(PictureTable::BackgroundPlace);

    m_infoLabel = new MnemonicLabel(this);
    m_infoLabel->setObjectName(QStringLiteral("InfoLabel"));
    m_infoLabel->setGeometry(PictureTable::InfoLabelPlace);
    m_infoLabel->setAlignment(Qt::AlignCenter);
    QFont infoFont(QStringLiteral("Trebuchet MS"));
    infoFont.setPixelSize(InfoPixelSize);
    m_infoLabel->setFont(infoFont);
    QPalette infoPalette = m_infoLabel->palette();
    infoPalette.setColor(QPalette::WindowText, Qt::white);
    m_infoLabel->setPalette(infoPalette);
    m_infoLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_canvasItems.push_back({m_background, PictureTable::BackgroundPlace, true});
    m_canvasItems.push_back({m_infoLabel, PictureTable::InfoLabelPlace, false});
    MakeSummonHint();
}

void TMainForm::MakeSummonHint() {
    m_summonHint = new QLabel(QLatin1String(SummonSettings::HintText), this);
    m_summonHint->setObjectName(QStringLiteral("SummonHint"));
    m_summonHint->setGeometry(PictureTable::SummonHintPlace);
    m_summonHint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(SummonHintPixelSize);
    m_summonHint->setFont(font);
    QPalette palette = m_summonHint->palette();
    palette.setColor(QPalette::WindowText, SummonHintColour);
    m_summonHint->setPalette(palette);
    m_summonHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_canvasItems.push_back({m_summonHint, PictureTable::SummonHintPlace, false});
    ShowSummonHint();
}

void TMainForm::ShowSummonHint() {
    m_summonHint->setVisible(SummonSettings().HintWanted());
}

void TMainForm::MakeHolders() {
    // Never drawn; each decodes its picture when the picture is first shown.
    for (int n = 1; n <= PictureTable::ButtonPictureCount(); ++n)
        new PictureHolder(PictureTable::ButtonPicture(n), ButtonHoldersTop + HolderSpacing * n,
                          this);
    for (int n = 1; n <= PictureTable::SocketPictureCount(); ++n)
        new PictureHolder(PictureTable::SocketPicture(n), SocketHoldersTop + HolderSpacing * n,
                          this);
    const Image& add = *PictureTable::ImageNamed(QStringLiteral("AddShortcutButton"));
    m_addPressed = FindHolder(PictureTable::ButtonPicture(add.pressed));
    m_addNormal = FindHolder(PictureTable::ButtonPicture(add.normal));
}

void TMainForm::MakeImages() {
    const std::span<const Image> rows = PictureTable::Images();
    m_shown.resize(rows.size(), nullptr);
    for (int i = 0; i < int(rows.size()); ++i) {
        const Image& row = rows[i];
        const bool socket = row.role == Role::Socket;
        auto* image = new ImageButton(
            socket ? ImageButton::Kind::Socket : ImageButton::Kind::Button, i, this);
        connect(image, &ImageButton::MouseDown, this, [this, image] { ImageMouseDown(*image); });
        connect(image, &ImageButton::Clicked, this, [this, image] { ImageClick(*image); });
        connect(image, &ImageButton::MouseUp, this, [this, image] { ImageMouseUp(*image); });
        image->setObjectName(QLatin1String(row.objectName));
        image->setGeometry(row.place);
        m_canvasItems.push_back({image, row.place, true});
        image->setToolTip(QLatin1String(row.hint));
        if (socket)
            image->setAccessibleName(SpokenSocket(row.socket, QString()));
        m_shown[i] = socket ? &m_socketStart
                            : &FindHolder(PictureTable::ButtonPicture(row.normal))->Picture();
    }
}

void TMainForm::ShowFirstPictures(PicturePrefetch* prefetch) {
    const auto takePrefetched = [this, prefetch](LazyPicture& picture) {
        if (!prefetch || picture.IsDecoded())
            return;
        if (auto decoded = prefetch->Take(picture.Name(), m_ratio))
            picture.Adopt(std::move(decoded->image), std::move(decoded->keyed), m_ratio);
    };
    takePrefetched(m_backgroundPicture);
    m_background->setPixmap(m_backgroundPicture.Pixmap(m_ratio));
    for (ImageButton* image : findChildren<ImageButton*>(Qt::FindDirectChildrenOnly)) {
        takePrefetched(*m_shown[image->Tag()]);
        SetPicture(*image, *m_shown[image->Tag()]);
    }
}

TMainForm::~TMainForm() = default;

QStringList TMainForm::FirstPaintPictures() {
    QStringList names{PictureTable::BackgroundPicture()};
    for (const Image& row : PictureTable::Images()) {
        const QString name = row.role == Role::Socket ? PictureTable::SocketStartPicture()
                                                      : PictureTable::ButtonPicture(row.normal);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

void TMainForm::SetDialogs(const Dialogs& dialogs) {
    m_dialogs = dialogs;
}

void TMainForm::SetDialogMaker(std::function<void()> maker) {
    m_dialogMaker = std::move(maker);
}

void TMainForm::MakeDialogs() {
    LoadTable();
    if (auto maker = std::exchange(m_dialogMaker, nullptr))
        ErrorGuard::Guarded(maker);
}

namespace {

// While the store waits for a lock that another program holds, the window
// goes on repainting and answering a summon; input waits for the table.
class AnsweringWhileWaiting final : public AssignProgress {
public:
    void Stage(const QString&) override {}
    void Position(int) override {}
    void Waiting() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
};

} // namespace

void TMainForm::LoadTable() {
    // Marked first: whatever the wait lets through (a summon) and calls this
    // again finds the load under way.
    if (m_loaded)
        return;
    m_loaded = true;
    try {
        AnsweringWhileWaiting waiting;
        if (m_table.FileExists()) {
            m_table.LoadFile(waiting);
        } else {
            m_table.CreateDefaultFile(waiting);
            OfferStarterBindings();
        }
    } catch (...) {
        // The window works all the same; the failure is told once it is on
        // the screen, after whatever action asked for the table.
        const QString message = ErrorGuard::MessageOf(std::current_exception());
        QTimer::singleShot(0, this, [message]() { ErrorGuard::ShowError(message); });
    }
}

// The first start offers the desktop's own applications, once the window is
// up; later ones leave it to the bindings window.
void TMainForm::OfferStarterBindings() {
    if (Settings::StarterBindingsOffered())
        return;
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && BindApplicationsDialog::Offer(m_table, this))
            RefreshCurrent();
    });
}

void TMainForm::TakeFileChanges() {
    if (!m_loaded || m_reloading || !m_table.FileChanged()) {
        LoadTable();
        return;
    }
    // What the wait lets through (another summon) finds the load under way.
    m_reloading = true;
    const auto done = qScopeGuard([this] { m_reloading = false; });
    ErrorGuard::Guarded([this] {
        AnsweringWhileWaiting waiting;
        m_table.LoadFile(waiting);
    });
    RefreshCurrent();
}

void TMainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        // The file and the dialogs come right after the window is on the
        // screen: its first paint needs neither.
        QTimer::singleShot(0, this, &TMainForm::MakeDialogs);
    }
}

bool TMainForm::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // Qt tells every widget of a window that moved to another screen; the
    // window's device pixel ratio is the new screen's by then.
    if (event->type() == QEvent::ScreenChangeInternal)
        FollowScreenRatio();
    return handled;
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The screen the window is shown on may not be the one it was made for.
    FollowScreenRatio();
    // The activation handler runs once, as the window is first shown, before
    // any input can reach it. Later activations (a closed modal window, a
    // switch between applications) reload nothing.
    if (m_activated)
        return;
    m_activated = true;
    FormActivate();
}

void TMainForm::FormActivate() {
    RebuildImageTables();
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    // The file is loaded (or created) right after the first paint, or by the
    // first action that comes before it: see LoadTable.
}

void TMainForm::RebuildImageTables() {
    const auto lookUp = [this](const QString& name) {
        return findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
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

PictureHolder* TMainForm::FindHolder(const QString& name) const {
    return findChild<PictureHolder*>(name, Qt::FindDirectChildrenOnly);
}

PictureHolder* TMainForm::HolderOf(const ImageButton& image, bool pressed) const {
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

void TMainForm::SetPicture(ImageButton& image, LazyPicture& picture) {
    m_shown[image.Tag()] = &picture;
    image.SetPicture(picture.Pixmap(m_ratio), picture.KeyedPixels(m_ratio));
}

void TMainForm::ShowPicture(ImageButton& image, PictureHolder& holder) {
    SetPicture(image, holder.Picture());
    UpdateColourKey();
}

void TMainForm::FollowScreenRatio() {
    const qreal ratio = devicePixelRatioF();
    if (qFuzzyCompare(ratio, m_ratio))
        return;
    m_ratio = ratio;
    // Pictures decoded for the old screen go; each comes back, at the new
    // ratio, when it is next shown.
    for (PictureHolder* holder : findChildren<PictureHolder*>(Qt::FindDirectChildrenOnly))
        holder->Picture().Release();
    m_socketStart.Release();
    m_backgroundPicture.Release();
    m_background->setPixmap(m_backgroundPicture.Pixmap(m_ratio));
    for (ImageButton* image : findChildren<ImageButton*>(Qt::FindDirectChildrenOnly))
        SetPicture(*image, *m_shown[image->Tag()]);
    UpdateColourKey();
}

void TMainForm::UpdateColourKey() {
    const Canvas canvas(size());
    QRegion keyed = canvas.Map(m_backgroundPicture.KeyedPixels(m_ratio).translated(
        PictureTable::BackgroundPlace.topLeft()));
    for (const CanvasItem& item : m_canvasItems)
        if (const auto* image = qobject_cast<const ImageButton*>(item.widget))
            keyed += canvas.Map(image->KeyedPixels().translated(item.layout.topLeft()));
    if (keyed.isEmpty())
        clearMask();
    else
        setMask(QRegion(rect()) - keyed);
}

void TMainForm::Relayout() {
    const Canvas canvas(size());
    // At full size the pictures are drawn as they are; only a smaller canvas
    // pays for scaling them.
    const bool scaled = canvas.Scale() < 1.0;
    for (const CanvasItem& item : m_canvasItems) {
        item.widget->setGeometry(canvas.Map(item.layout));
        if (item.picture)
            static_cast<QLabel*>(item.widget)->setScaledContents(scaled);
    }
    ShowInfo();
    QFont hintFont = m_summonHint->font();
    hintFont.setPixelSize(canvas.MapLength(SummonHintPixelSize));
    m_summonHint->setFont(hintFont);
    UpdateColourKey();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void TMainForm::ImageMouseDown(ImageButton& image) {
    ErrorGuard::Guarded([&]() {
        // The mouse ends whatever was being typed.
        if (!m_candidates.isEmpty())
            EndTypedPrefix();
        if (PictureHolder* pressed = HolderOf(image, true))
            ShowPicture(image, *pressed);
    });
}

void TMainForm::ImageMouseUp(ImageButton& image) {
    ErrorGuard::Guarded([&]() {
        const Image& row = RowOf(image);
        if (row.role == Role::Socket) {
            ClearSocket(row.socket);
            return;
        }
        // The normal picture is back before the action starts, so it already
        // shows when a modal window opens or a program starts.
        if (PictureHolder* normal = HolderOf(image, false))
            ShowPicture(image, *normal);
        switch (row.role) {
        case Role::Catalogue:
            PlaceButton(QLatin1String(row.button));
            break;
        case Role::Run:
            RunCurrent();
            break;
        case Role::Add:
            OpenEditor();
            break;
        case Role::Exit:
        case Role::Socket:
            break;
        }
    });
}

void TMainForm::ImageClick(ImageButton& image) {
    if (RowOf(image).role == Role::Exit)
        ErrorGuard::Guarded([this]() { ExitButtonClick(); });
}

void TMainForm::RefreshCurrent() {
    LoadTable();
    m_panel.RefreshCurrent();
    ShowInfo();
}

void TMainForm::ShowInfo() {
    // A text wider than its box is drawn smaller before it is cut.
    QFont font = m_infoLabel->font();
    font.setPixelSize(Canvas(size()).MapLength(InfoPixelSize));
    const QString& info = m_panel.Info();
    font.setPixelSize(InfoFit::PixelSize(font, info, m_infoLabel->contentsRect().width()));
    m_infoLabel->setFont(font);
    m_infoLabel->setText(info);
}

void TMainForm::ShowSocket(int n) {
    const QString& value = m_panel.SocketValues()[n - 1];
    ImageButton* socket = m_socketImages[n - 1];
    socket->setToolTip(value.isEmpty() ? QLatin1String(RowOf(*socket).hint) : value);
    socket->setAccessibleName(SpokenSocket(n, value));
    // The empty value is the catalogue's last entry, whose picture is the
    // empty socket.
    const int entry = *ButtonCatalogue::ButtonIndex(value);
    ShowPicture(*socket, *m_socketPictures[entry]);
    ShowInfo();
}

void TMainForm::PlaceButton(const QString& name) {
    LoadTable();
    // Only a catalogue button has a socket picture and can be looked up.
    if (name.isEmpty() || !ButtonCatalogue::ButtonIndex(name))
        throw TrinodeError(QStringLiteral("No button is named \u201c%1\u201d").arg(name));
    const SocketPanel::PlaceResult result = m_panel.PlaceButton(name);
    switch (result.placement) {
    case SocketPanel::Placement::NoEmptySocket:
        break;
    case SocketPanel::Placement::HelpInstead:
        ShowHelp();
        break;
    case SocketPanel::Placement::Placed:
        ShowSocket(result.socket);
        break;
    }
}

void TMainForm::ClearSocket(int n) {
    LoadTable();
    if (m_panel.ClearSocket(n))
        ShowSocket(n);
}

void TMainForm::RunCurrent() {
    LoadTable();
    if (m_panel.CurrentPath().isEmpty())
        return;
    // By the bytes stored: a name that is not UTF-8 still names its file.
    // Its failure comes back through the event loop (see the constructor).
    m_opener->Open(m_table.Stored(m_panel.SocketValues()).path);
}

bool TMainForm::RunPending() const {
    return m_opener->Pending();
}

void TMainForm::ShowHelp() {
    MakeDialogs();
    if (m_dialogs.help)
        m_dialogs.help->exec();
}

void TMainForm::OpenEditor() {
    MakeDialogs();
    if (m_dialogs.editor)
        m_dialogs.editor->exec();
}

void TMainForm::FindBindings() {
    MakeDialogs();
    TakeFileChanges();
    if (!m_dialogs.bindings || m_dialogs.bindings->exec() != QDialog::Accepted)
        return;
    ShowCombination(m_dialogs.bindings->ChosenCombination());
    if (m_dialogs.bindings->Chosen() == TBindingsForm::Choice::Run)
        ClickImage(QStringLiteral("MainButton"));
}

void TMainForm::ShowCombination(const Combination& combination) {
    LoadTable();
    m_panel.SetSocketValues(combination);
    for (int n = 1; n <= SocketPanel::SocketCount; ++n)
        ShowSocket(n);
}

Combination TMainForm::CombinationToEdit() const {
    return m_editing.value_or(m_panel.SocketValues());
}

void TMainForm::EditCombination(const Combination& combination) {
    MakeDialogs();
    if (!m_dialogs.editor)
        return;
    m_editing = combination;
    const auto done = qScopeGuard([this] { m_editing.reset(); });
    m_dialogs.editor->exec();
}

void TMainForm::ChooseSummonKey() {
    MakeDialogs();
    if (m_dialogs.summonKey)
        m_dialogs.summonKey->exec();
    ShowSummonHint();
}

void TMainForm::ExitButtonClick() {
    close();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    const bool repeat = IsRepeat(*event);
    ErrorGuard::Guarded([&]() { handled = HandleKey(*event, repeat); });
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TMainForm::keyReleaseEvent(QKeyEvent* event) {
    m_released = {event->key(), event->timestamp()};
    QWidget::keyReleaseEvent(event);
}

bool TMainForm::IsRepeat(const QKeyEvent& event) const {
    // An X server repeats a held key as a release and a press of the same
    // moment; Qt tells that as a repeat only when it sees the press in time.
    return event.isAutoRepeat() || (m_released.time != 0 && m_released.key == event.key() &&
                                    m_released.time == event.timestamp());
}

bool TMainForm::HandleKey(const QKeyEvent& event, bool repeat) {
    if (const KeyBinding* binding = MainKeys::BindingOf(event)) {
        // A held key does it again only where that is harmless; the other
        // repeats are taken and dropped.
        if (repeat && !binding->repeats)
            return true;
        EndTypedPrefix();
        return ActOnKey(binding->action);
    }
    const bool plain = MainKeys::ChordOf(event).keyboardModifiers() == Qt::NoModifier;
    // A held letter types once.
    if (repeat || !plain)
        return repeat && plain;
    // Shift on its way to a capital is part of the typing.
    if (IsModifierKey(event.key()))
        return false;
    const QString text = event.text();
    if (text.size() != 1 || !text.front().isPrint()) {
        EndTypedPrefix();
        return false;
    }
    TypeCharacter(text.front());
    return true;
}

bool TMainForm::ActOnKey(KeyAction action) {
    switch (action) {
    case KeyAction::Run:
        return ClickImage(QStringLiteral("MainButton"));
    case KeyAction::ClearLastSocket:
        ClearLastFilledSocket();
        return true;
    case KeyAction::ClearAllSockets:
        for (int n = 1; n <= SocketPanel::SocketCount; ++n)
            ClearSocket(n);
        return true;
    case KeyAction::ShowHelp:
        ShowHelp();
        return true;
    case KeyAction::OpenEditor:
        return ClickImage(QStringLiteral("AddShortcutButton"));
    case KeyAction::GetOutOfTheWay:
        GetOutOfTheWay();
        return true;
    case KeyAction::Exit:
        return ClickImage(QStringLiteral("ExitButton"));
    case KeyAction::FindBindings:
        FindBindings();
        return true;
    case KeyAction::ChooseSummonKey:
        ChooseSummonKey();
        return true;
    case KeyAction::PressFocused:
        if (auto* focused = qobject_cast<ImageButton*>(focusWidget())) {
            focused->Click();
            return true;
        }
        return false;
    }
    return false;
}

bool TMainForm::ClickImage(const QString& objectName) {
    ImageButton* image = ImageNamed(objectName);
    if (image)
        image->Click();
    return image != nullptr;
}

void TMainForm::TypeCharacter(QChar typed) {
    const TypedPrefix::Result result = m_typedPrefix.Type(typed);
    ShowCandidates(result.candidates);
    if (result.press.isEmpty())
        return;
    if (const Image* row = PictureTable::ImageOfButton(result.press))
        ClickImage(QLatin1String(row->objectName));
}

void TMainForm::EndTypedPrefix() {
    m_typedPrefix.Reset();
    ShowCandidates({});
}

ImageButton* TMainForm::ImageNamed(const QString& objectName) const {
    return findChild<ImageButton*>(objectName, Qt::FindDirectChildrenOnly);
}

void TMainForm::ShowCandidates(const QStringList& names) {
    const auto show = [this](const QString& name, bool pressed) {
        const Image* row = PictureTable::ImageOfButton(name);
        ImageButton* button = row ? ImageNamed(QLatin1String(row->objectName)) : nullptr;
        if (!button)
            return;
        if (PictureHolder* holder = HolderOf(*button, pressed))
            ShowPicture(*button, *holder);
    };
    for (const QString& name : std::as_const(m_candidates))
        if (!names.contains(name))
            show(name, false);
    for (const QString& name : names)
        if (!m_candidates.contains(name))
            show(name, true);
    m_candidates = names;
}

void TMainForm::ClearLastFilledSocket() {
    for (int n = SocketPanel::SocketCount; n >= 1; --n) {
        if (!m_panel.SocketValues()[n - 1].isEmpty()) {
            ClearSocket(n);
            return;
        }
    }
}

void TMainForm::GetOutOfTheWay() {
    // Hidden rather than ended: the next summon shows the window again as it
    // was, sockets and all.
    hide();
}

QScreen* TMainForm::PlaceOnPointerScreen() {
    // A Wayland client cannot place its window; the compositor does.
    const bool placeable = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    QScreen* target = nullptr;
    if (placeable) {
        target = QGuiApplication::screenAt(QCursor::pos());
        if (!target)
            target = QGuiApplication::primaryScreen();
    }
    if (target && (!isVisible() || screen() != target)) {
        // A window manager maximises a window on the monitor it stands on: a
        // maximised window leaves that state, moves, and is maximised again.
        // Where no window manager maximises it, the window still covers the
        // monitor's work area.
        if (isVisible() && isMaximized())
            setWindowState(windowState() & ~Qt::WindowMaximized);
        setGeometry(target->availableGeometry());
    }
    // A key bound from the command line meanwhile takes the hint away.
    ShowSummonHint();
    showMaximized();
    return target;
}
