#include "launcher/TMainForm.h"

#include "launcher/PicturePrefetch.h"

#include "launcher/Canvas.h"
#include "launcher/PictureHolder.h"
#include "launcher/PicturePrefetch.h"
#include "platform/ErrorGuard.h"
#include "platform/MnemonicLabel.h"
#include "platform/PathOpener.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

constexpr QRect BackgroundPlace(212, 73, 600, 600);
constexpr QRect InfoLabelPlace(360, 240, 297, 81);
constexpr int InfoPixelSize = 27;

enum class Release { Place, Run, Exit, Editor, Clear };

// One row for every picture the user presses: where it stands, its hint, its
// pressed and normal holders (Buffer n; none for the sockets) and what its
// release does. Catalogue buttons place their own name.
struct ImageSpec {
    const char* objectName;
    int left;
    int top;
    int width;
    int height;
    const char* hint;
    int pressedHolder;
    int normalHolder;
    Release release;
    int socket; // 1 to 3 for the sockets
};

constexpr ImageSpec ImageSpecs[] = {
    {"MainButton", 412, 352, 200, 75, "Click to Run", 27, 28, Release::Run, 0},
    {"EmptySocket1", 428, 442, 44, 44, "Empty Socket", 0, 0, Release::Clear, 1},
    {"EmptySocket2", 488, 442, 44, 44, "Empty Socket", 0, 0, Release::Clear, 2},
    {"EmptySocket3", 549, 442, 44, 44, "Empty Socket", 0, 0, Release::Clear, 3},
    {"AddShortcutButton", 0, 0, 32, 32, "Add Shortcut", 49, 50, Release::Editor, 0},
    {"ExitButton", 992, 0, 32, 32, "Exit Trinode", 5, 6, Release::Exit, 0},
    // Row 1.
    {"SystemButton", 320, 680, 32, 32, "System", 23, 24, Release::Place, 0},
    {"FilesButton", 352, 680, 32, 32, "Files", 7, 8, Release::Place, 0},
    {"NetworkButton", 384, 680, 32, 32, "Network", 15, 16, Release::Place, 0},
    {"ControlButton", 416, 680, 32, 32, "Control", 1, 2, Release::Place, 0},
    {"ApplicationsButton", 448, 680, 32, 32, "Applications", 29, 30, Release::Place, 0},
    {"PersonalButton", 480, 680, 32, 32, "Personal", 17, 18, Release::Place, 0},
    {"GamesButton", 512, 680, 32, 32, "Games", 43, 44, Release::Place, 0},
    {"VideosButton", 544, 680, 32, 32, "Videos", 25, 26, Release::Place, 0},
    {"MusicButton", 576, 680, 32, 32, "Music", 13, 14, Release::Place, 0},
    {"PicturesButton", 608, 680, 32, 32, "Pictures", 19, 20, Release::Place, 0},
    {"InternetButton", 640, 680, 32, 32, "Internet", 11, 12, Release::Place, 0},
    {"MailButton", 672, 680, 32, 32, "Mail", 31, 32, Release::Place, 0},
    // Row 2.
    {"ProjectsButton", 352, 712, 32, 32, "Projects", 47, 48, Release::Place, 0},
    {"OfficeButton", 384, 712, 32, 32, "Office", 33, 34, Release::Place, 0},
    {"DisplayButton", 416, 712, 32, 32, "Display", 3, 4, Release::Place, 0},
    {"SettingsButton", 448, 712, 32, 32, "Settings", 21, 22, Release::Place, 0},
    {"TrashButton", 480, 712, 32, 32, "Trash", 45, 46, Release::Place, 0},
    {"HelpButton", 512, 712, 32, 32, "Help", 9, 10, Release::Place, 0},
    {"UserButton", 544, 712, 32, 32, "User", 35, 36, Release::Place, 0},
    {"OneButton", 576, 712, 32, 32, "One", 37, 38, Release::Place, 0},
    {"TwoButton", 608, 712, 32, 32, "Two", 39, 40, Release::Place, 0},
    {"ThreeButton", 640, 712, 32, 32, "Three", 41, 42, Release::Place, 0},
};

constexpr int ButtonHolderCount = 50;
constexpr int SocketHolderCount = 23;
constexpr int EmptySocketPicture = 23;
const QString EmptySocketHint = QStringLiteral("Empty Socket");

} // namespace

TMainForm::TMainForm(CombinationTable& table, QWidget* parent, PicturePrefetch* prefetch)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_table(table), m_panel(table) {
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

    // The background first, so that it lies behind everything else.
    m_background = new QLabel(this);
    m_background->setObjectName(QStringLiteral("Background"));
    m_background->setGeometry(BackgroundPlace);

    m_infoLabel = new MnemonicLabel(this);
    m_infoLabel->setObjectName(QStringLiteral("InfoLabel"));
    m_infoLabel->setGeometry(InfoLabelPlace);
    m_infoLabel->setAlignment(Qt::AlignCenter);
    QFont infoFont(QStringLiteral("Trebuchet MS"));
    infoFont.setPixelSize(InfoPixelSize);
    m_infoLabel->setFont(infoFont);
    QPalette infoPalette = m_infoLabel->palette();
    infoPalette.setColor(QPalette::WindowText, Qt::white);
    m_infoLabel->setPalette(infoPalette);
    m_infoLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_canvasItems.push_back({m_background, BackgroundPlace, true});
    m_canvasItems.push_back({m_infoLabel, InfoLabelPlace, false});

    // The hidden holders: 9 x 9 boxes near the left edge, never drawn. Each
    // decodes its picture when the picture is first shown.
    for (int n = 1; n <= ButtonHolderCount; ++n)
        new PictureHolder(QStringLiteral("Buffer%1").arg(n), 100 + 4 * n, this);
    for (int n = 1; n <= SocketHolderCount; ++n)
        new PictureHolder(QStringLiteral("BuffSocket%1").arg(n), 320 + 4 * n, this);
    m_addPressed = FindHolder(QStringLiteral("Buffer49"));
    m_addNormal = FindHolder(QStringLiteral("Buffer50"));

    m_shown.resize(std::size(ImageSpecs), nullptr);
    std::vector<ImageButton*> images;
    for (int i = 0; i < int(std::size(ImageSpecs)); ++i) {
        const ImageSpec& row = ImageSpecs[i];
        const bool socket = row.release == Release::Clear;
        auto* image = new ImageButton(
            socket ? ImageButton::Kind::Socket : ImageButton::Kind::Button, i, this);
        connect(image, &ImageButton::MouseDown, this, [this, image] { ImageMouseDown(*image); });
        connect(image, &ImageButton::Clicked, this, [this, image] { ImageClick(*image); });
        connect(image, &ImageButton::MouseUp, this, [this, image] { ImageMouseUp(*image); });
        image->setObjectName(QLatin1String(row.objectName));
        const QRect place(row.left, row.top, row.width, row.height);
        image->setGeometry(place);
        m_canvasItems.push_back({image, place, true});
        image->setToolTip(QLatin1String(row.hint));
        m_shown[i] = socket
                         ? &m_socketStart
                         : &FindHolder(QStringLiteral("Buffer%1").arg(row.normalHolder))->Picture();
        images.push_back(image);
    }

    // The pictures come last: the prefetch's thread may still be decoding
    // them while the widgets are made.
    const auto takePrefetched = [this, prefetch](LazyPicture& picture) {
        if (!prefetch || picture.IsDecoded())
            return;
        if (auto decoded = prefetch->Take(picture.Name(), m_ratio))
            picture.Adopt(std::move(decoded->image), std::move(decoded->keyed), m_ratio);
    };
    takePrefetched(m_backgroundPicture);
    m_background->setPixmap(m_backgroundPicture.Pixmap(m_ratio));
    for (ImageButton* image : images) {
        takePrefetched(*m_shown[image->Tag()]);
        SetPicture(*image, *m_shown[image->Tag()]);
    }

    // Centred when not maximised.
    resize(Canvas::LayoutSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() = default;

QStringList TMainForm::FirstPaintPictures() {
    QStringList names{QStringLiteral("Background")};
    for (const ImageSpec& row : ImageSpecs) {
        const QString name = row.release == Release::Clear
                                 ? QStringLiteral("SocketStart")
                                 : QStringLiteral("Buffer%1").arg(row.normalHolder);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

void TMainForm::SetDialogs(QDialog* editor, QDialog* help) {
    m_editor = editor;
    m_help = help;
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
        if (m_table.FileExists())
            m_table.LoadFile(waiting);
        else
            m_table.CreateDefaultFile(waiting);
    } catch (...) {
        // The window works all the same; the failure is told once it is on
        // the screen, after whatever action asked for the table.
        const QString message = ErrorGuard::MessageOf(std::current_exception());
        QTimer::singleShot(0, this, [message]() { ErrorGuard::ShowError(message); });
    }
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
            qobject_cast<PictureHolder*>(lookUp(QStringLiteral("Buffer%1").arg(n)));
    for (int n = 1; n <= int(m_socketPictures.size()); ++n)
        m_socketPictures[n - 1] =
            qobject_cast<PictureHolder*>(lookUp(QStringLiteral("BuffSocket%1").arg(n)));
    for (int n = 1; n <= int(m_socketImages.size()); ++n)
        m_socketImages[n - 1] =
            qobject_cast<ImageButton*>(lookUp(QStringLiteral("EmptySocket%1").arg(n)));
}

PictureHolder* TMainForm::FindHolder(const QString& name) const {
    return findChild<PictureHolder*>(name, Qt::FindDirectChildrenOnly);
}

PictureHolder* TMainForm::Holder(int n) const {
    // 0 is "no holder" in the image table (the sockets have none).
    if (n < 1 || n > ButtonHolderCount)
        return nullptr;
    // The Add image's pair stands outside the table; its handlers use the
    // holders themselves.
    if (n == 49)
        return m_addPressed;
    if (n == 50)
        return m_addNormal;
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
    QRegion keyed =
        canvas.Map(m_backgroundPicture.KeyedPixels(m_ratio).translated(BackgroundPlace.topLeft()));
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
    QFont infoFont = m_infoLabel->font();
    infoFont.setPixelSize(canvas.MapLength(InfoPixelSize));
    m_infoLabel->setFont(infoFont);
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
        const ImageSpec& row = ImageSpecs[image.Tag()];
        if (PictureHolder* pressed = Holder(row.pressedHolder))
            ShowPicture(image, *pressed);
    });
}

void TMainForm::ImageMouseUp(ImageButton& image) {
    ErrorGuard::Guarded([&]() {
        const ImageSpec& row = ImageSpecs[image.Tag()];
        if (row.release == Release::Clear) {
            ClearSocket(row.socket);
            return;
        }
        // The normal picture is back before the action starts, so it already
        // shows when a modal window opens or a program starts.
        if (PictureHolder* normal = Holder(row.normalHolder))
            ShowPicture(image, *normal);
        switch (row.release) {
        case Release::Place:
            PlaceButton(QLatin1String(row.hint));
            break;
        case Release::Run:
            RunCurrent();
            break;
        case Release::Editor:
            OpenEditor();
            break;
        case Release::Exit:
        case Release::Clear:
            break;
        }
    });
}

void TMainForm::ImageClick(ImageButton& image) {
    if (ImageSpecs[image.Tag()].release == Release::Exit)
        ErrorGuard::Guarded([this]() { ExitButtonClick(); });
}

void TMainForm::RefreshCurrent() {
    LoadTable();
    m_panel.RefreshCurrent();
    m_infoLabel->setText(m_panel.Info());
}

void TMainForm::ShowSocket(int n) {
    const QString& value = m_panel.SocketValues()[n - 1];
    ImageButton* socket = m_socketImages[n - 1];
    socket->setToolTip(value.isEmpty() ? EmptySocketHint : value);
    const int picture =
        value.isEmpty() ? EmptySocketPicture : *ButtonCatalogue::ButtonIndex(value) + 1;
    ShowPicture(*socket, *m_socketPictures[picture - 1]);
    m_infoLabel->setText(m_panel.Info());
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
    if (m_help)
        m_help->exec();
}

void TMainForm::OpenEditor() {
    MakeDialogs();
    if (m_editor)
        m_editor->exec();
}

void TMainForm::ExitButtonClick() {
    close();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    ErrorGuard::Guarded([&]() { handled = HandleKey(*event); });
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TMainForm::HandleKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    // A held key repeats only where doing it again is harmless.
    if (event.isAutoRepeat() && key != Qt::Key_Backspace)
        return modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier;

    if (modifiers == Qt::ControlModifier) {
        if (key != Qt::Key_E && key != Qt::Key_Q)
            return false;
        EndTypedPrefix();
        const QString image =
            key == Qt::Key_E ? QStringLiteral("AddShortcutButton") : QStringLiteral("ExitButton");
        if (ImageButton* button = ImageNamed(image))
            button->Click();
        return true;
    }
    if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)
        return false;

    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        EndTypedPrefix();
        if (ImageButton* run = ImageNamed(QStringLiteral("MainButton")))
            run->Click();
        return true;
    case Qt::Key_Backspace:
        EndTypedPrefix();
        ClearLastFilledSocket();
        return true;
    case Qt::Key_Delete:
        EndTypedPrefix();
        for (int n = 1; n <= SocketPanel::SocketCount; ++n)
            ClearSocket(n);
        return true;
    case Qt::Key_F1:
        EndTypedPrefix();
        ShowHelp();
        return true;
    case Qt::Key_Escape:
        EndTypedPrefix();
        GetOutOfTheWay();
        return true;
    case Qt::Key_Space:
        // Space presses the picture that Tab has reached.
        EndTypedPrefix();
        if (auto* focused = qobject_cast<ImageButton*>(focusWidget())) {
            focused->Click();
            return true;
        }
        return false;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
        // Shift on its way to a capital is part of the typing.
        return false;
    default:
        break;
    }
    const QString text = event.text();
    if (text.size() != 1 || !text.front().isPrint()) {
        EndTypedPrefix();
        return false;
    }
    TypeCharacter(text.front());
    return true;
}

void TMainForm::TypeCharacter(QChar typed) {
    const TypedPrefix::Result result = m_typedPrefix.Type(typed);
    ShowCandidates(result.candidates);
    if (result.press.isEmpty())
        return;
    if (ImageButton* button = ImageNamed(result.press + QLatin1String("Button")))
        button->Click();
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
        ImageButton* button = ImageNamed(name + QLatin1String("Button"));
        if (!button)
            return;
        const ImageSpec& row = ImageSpecs[button->Tag()];
        if (PictureHolder* holder = Holder(pressed ? row.pressedHolder : row.normalHolder))
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

void TMainForm::PlaceOnPointerScreen() {
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
    showMaximized();
}
