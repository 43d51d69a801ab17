#include "launcher/TMainForm.h"

#include "bindings/BindApplicationsDialog.h"
#include "bindings/TBindingsForm.h"
#include "launcher/Canvas.h"
#include "launcher/ImageButton.h"
#include "look/ErrorGuard.h"
#include "look/PixelFont.h"
#include "platform/PathOpener.h"
#include "platform/Settings.h"
#include "store/ButtonCatalogue.h"
#include "store/ChordGuide.h"
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

#include <algorithm>
#include <utility>

using PictureTable::Image;
using PictureTable::Role;

TMainForm::TMainForm(CombinationTable& table, QWidget* parent, PicturePrefetch* prefetch)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_table(table), m_panel(table),
      m_board(*this, prefetch),
      m_keys(m_board, [this](KeyAction action) { return ActOnKey(action); }) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Trinode"));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The window takes the keys that its pictures leave.
    setFocusPolicy(Qt::StrongFocus);
    setFont(PixelFont::Named("MS Sans Serif", 11));

    // A failed open is shown as if Run itself had raised it.
    m_opener = new PathOpener(this);
    connect(m_opener, &PathOpener::Finished, this, [](std::exception_ptr failure) {
        if (failure)
            ErrorGuard::Guarded([&] { std::rethrow_exception(failure); });
    });
    // Until the first activation the window has the toolkit's own colour.
    setAutoFillBackground(true);
    for (ImageButton* image : m_board.Images()) {
        connect(image, &ImageButton::MouseDown, this, [this, image] { ImageMouseDown(*image); });
        connect(image, &ImageButton::Clicked, this, [this, image] {
            if (PictureTable::Images()[image->Tag()].role == Role::Exit)
                ErrorGuard::Guarded([this]() { ExitButtonClick(); });
        });
        connect(image, &ImageButton::MouseUp, this, [this, image] { ImageMouseUp(*image); });
    }
    m_hintWanted = SummonSettings().HintWanted();
    if (const std::optional<int> pause = Settings::ChordGuidePauseMs()) {
        m_guidePause = new QTimer(this);
        m_guidePause->setSingleShot(true);
        m_guidePause->setInterval(*pause);
        connect(m_guidePause, &QTimer::timeout, this,
                [this] { ErrorGuard::Guarded([this] { ShowGuide(); }); });
    }
    UpdateDisplay();

    // Centred when not maximised.
    resize(Canvas::LayoutSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() = default;

void TMainForm::SetDialogs(Dialogs dialogs) {
    m_dialogs.SetMakers(std::move(dialogs));
}

void TMainForm::AfterFirstPaint() {
    Q_EMIT FirstPainted();
    m_board.ShowHint(m_hintWanted);
    LoadTable();
    ErrorGuard::Guarded([this] {
        m_dialogs.Editor();
        m_dialogs.Help();
    });
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
        QTimer::singleShot(0, this, &TMainForm::AfterFirstPaint);
    }
}

bool TMainForm::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // Qt tells every widget of a window that moved to another screen; the
    // window's device pixel ratio is the new screen's by then.
    if (event->type() == QEvent::ScreenChangeInternal)
        m_board.FollowScreenRatio(devicePixelRatioF());
    return handled;
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The screen the window is shown on may not be the one it was made for.
    m_board.FollowScreenRatio(devicePixelRatioF());
    // The activation handler runs once, as the window is first shown, before
    // any input can reach it. Later activations (a closed modal window, a
    // switch between applications) reload nothing.
    if (m_activated)
        return;
    m_activated = true;
    FormActivate();
}

void TMainForm::FormActivate() {
    m_board.RebuildImageTables();
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    // The file is loaded (or created) right after the first paint, or by the
    // first action that comes before it: see LoadTable.
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_board.Relayout();
}

void TMainForm::UpdateDisplay() {
    for (int n = 1; n <= SocketPanel::SocketCount; ++n)
        m_board.ShowSocket(n, m_panel.SocketValues()[n - 1]);
    m_board.ShowInfo(m_panel.Info());
    // Its line waits for the first paint, which the fonts it needs would
    // hold back.
    m_board.ShowHint(m_hintWanted && m_painted);
    m_board.UpdateColourKey();
    HideGuide();
    // Only a chord begun by the user, once the table is read, has a guide.
    const Combination& sockets = m_panel.SocketValues();
    if (m_guidePause && m_loaded && std::any_of(sockets.begin(), sockets.end(),
                                                [](const QString& v) { return !v.isEmpty(); }))
        m_guidePause->start();
}

void TMainForm::HideGuide() {
    if (m_guidePause)
        m_guidePause->stop();
    m_board.ShowGuide({}, {});
}

void TMainForm::ShowGuide() {
    QStringList lines;
    QStringList marked;
    for (const ChordGuide::Continuation& next :
         ChordGuide::Continuations(m_panel.SocketValues(), m_table)) {
        // Two pictures may show one letter (Music and Mail): the button's
        // name tells them apart.
        const QString name = ButtonCatalogue::ButtonName(next.button);
        lines << ChordGuide::PictureLetter(next.button) + QLatin1Char(' ') + name +
                     QStringLiteral(": ") + (next.completes ? next.info : QStringLiteral("\u2026"));
        marked << name;
    }
    m_board.ShowGuide(lines.join(u'\n'), marked);
}

void TMainForm::ImageMouseDown(ImageButton& image) {
    ErrorGuard::Guarded([&]() {
        m_keys.MouseUsed();
        HideGuide();
        m_board.ShowPressed(image, true);
        m_board.UpdateColourKey();
    });
}

void TMainForm::ImageMouseUp(ImageButton& image) {
    ErrorGuard::Guarded([&]() {
        const Image& row = PictureTable::Images()[image.Tag()];
        // The normal picture is back before the action starts, so it already
        // shows when a modal window opens or a program starts.
        m_board.ShowPressed(image, false);
        switch (row.role) {
        case Role::Socket:
            ClearSocket(row.socket);
            break;
        case Role::Catalogue:
            PlaceButton(QLatin1String(row.button));
            break;
        case Role::Run:
            UpdateDisplay();
            RunCurrent();
            break;
        case Role::Add:
            UpdateDisplay();
            OpenEditor();
            break;
        case Role::Exit:
            UpdateDisplay();
            break;
        }
    });
}

void TMainForm::RefreshCurrent() {
    LoadTable();
    m_panel.RefreshCurrent();
    UpdateDisplay();
}

void TMainForm::PlaceButton(const QString& name) {
    LoadTable();
    // Only a catalogue button has a socket picture and can be looked up.
    if (name.isEmpty() || !ButtonCatalogue::ButtonIndex(name))
        throw TrinodeError(QStringLiteral("No button is named \u201c%1\u201d").arg(name));
    const SocketPanel::PlaceResult result = m_panel.PlaceButton(name);
    UpdateDisplay();
    if (result.placement == SocketPanel::Placement::HelpInstead)
        ShowHelp();
}

void TMainForm::ClearSocket(int n) {
    LoadTable();
    m_panel.ClearSocket(n);
    UpdateDisplay();
}

void TMainForm::RunCurrent() {
    LoadTable();
    if (m_panel.CurrentPath().isEmpty())
        return;
    // By the bytes stored: a name that is not UTF-8 still names its file.
    // Its failure comes back through the event loop (see the constructor).
    m_opener->Open(m_table.Stored(m_panel.SocketValues()).path);
}

void TMainForm::ShowHelp() {
    LoadTable();
    if (QDialog* help = m_dialogs.Help())
        help->exec();
}

void TMainForm::OpenEditor() {
    LoadTable();
    if (QDialog* editor = m_dialogs.Editor())
        editor->exec();
}

void TMainForm::FindBindings() {
    TakeFileChanges();
    TBindingsForm* bindings = m_dialogs.Bindings();
    if (!bindings || bindings->exec() != QDialog::Accepted)
        return;
    ShowCombination(bindings->ChosenCombination());
    if (bindings->Chosen() == TBindingsForm::Choice::Run)
        ClickImage(QStringLiteral("MainButton"));
}

void TMainForm::ShowCombination(const Combination& combination) {
    LoadTable();
    m_panel.SetSocketValues(combination);
    UpdateDisplay();
}

Combination TMainForm::CombinationToEdit() const {
    return m_editing.value_or(m_panel.SocketValues());
}

void TMainForm::EditCombination(const Combination& combination) {
    LoadTable();
    QDialog* editor = m_dialogs.Editor();
    if (!editor)
        return;
    m_editing = combination;
    const auto done = qScopeGuard([this] { m_editing.reset(); });
    editor->exec();
}

void TMainForm::ChooseSummonKey() {
    LoadTable();
    if (QDialog* summonKey = m_dialogs.SummonKey())
        summonKey->exec();
    m_hintWanted = SummonSettings().HintWanted();
    UpdateDisplay();
}

void TMainForm::ExitButtonClick() {
    close();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    HideGuide();
    bool handled = false;
    ErrorGuard::Guarded([&]() { handled = m_keys.Press(*event); });
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TMainForm::keyReleaseEvent(QKeyEvent* event) {
    m_keys.Release(*event);
    QWidget::keyReleaseEvent(event);
}

bool TMainForm::ActOnKey(KeyAction action) {
    switch (action) {
    case KeyAction::Run:
        return ClickImage(QStringLiteral("MainButton"));
    case KeyAction::ClearLastSocket:
        for (int n = SocketPanel::SocketCount; n >= 1; --n) {
            if (!m_panel.SocketValues()[n - 1].isEmpty()) {
                ClearSocket(n);
                break;
            }
        }
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
        // Hidden rather than ended: the next summon shows the window again
        // as it was, sockets and all.
        hide();
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
    ImageButton* image = m_board.ImageNamed(objectName);
    if (image)
        image->Click();
    return image != nullptr;
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
    m_hintWanted = SummonSettings().HintWanted();
    UpdateDisplay();
    showMaximized();
    return target;
}
