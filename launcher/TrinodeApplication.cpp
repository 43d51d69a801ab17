#include "launcher/TrinodeApplication.h"

#include "art/Art.h"
#include "bindings/TBindingsForm.h"
#include "editor/TAddForm.h"
#include "help/THelpForm.h"
#include "keydialog/SummonKeyDialog.h"
#include "launcher/PictureBoard.h"
#include "launcher/TMainForm.h"
#include "launcher/WindowActivator.h"
#include "look/ImmediateMnemonic.h"
#include "look/ScreenCentre.h"
#include "store/UserHome.h"
#include "summon/KeyGrab.h"

#include <QApplication>

TrinodeApplication::TrinodeApplication() : m_instance(m_table.FilePath()) {}

TrinodeApplication::~TrinodeApplication() {
    EndWindows();
}

// The activator goes first; the main window takes its children, the windows
// it opened, with it.
void TrinodeApplication::EndWindows() {
    m_keyGrab.reset();
    m_activator.reset();
    m_mainForm.reset();
}

SingleInstance::Outcome
TrinodeApplication::HandOverToRunningInstance(const std::function<SummonRequest()>& makeRequest,
                                              const QDeadlineTimer& reachBy) {
    return m_instance.HandOverOrClaim(makeRequest, reachBy);
}

void TrinodeApplication::Summon(const SummonRequest& request,
                                std::function<void(SingleInstance::Answer)> done) {
    // The user acts on the window once it is summoned: the file is there.
    m_mainForm->TakeFileChanges();
    // A summon brings the window to where the user is, and the open dialogs
    // come along, centred over it: the editor or help window, and a message
    // box or the file chooser above that. The top one comes forward: the
    // main window over it would take no input.
    const QScreen* screen = m_mainForm->PlaceOnPointerScreen();
    const QList<QWidget*> windows = OpenWindows();
    if (screen) {
        for (QWidget* dialog : windows.sliced(1))
            ScreenCentre::Centre(*dialog, *screen);
    }
    m_activator->Activate(windows, request, std::move(done));
}

// The main window, then each modal window open above it, from the bottom up.
QList<QWidget*> TrinodeApplication::OpenWindows() const {
    QList<QWidget*> windows;
    for (QWidget* window = QApplication::activeModalWidget(); window && window != m_mainForm.get();
         window = window->parentWidget() ? window->parentWidget()->window() : nullptr) {
        if (window->isVisible())
            windows.prepend(window);
    }
    windows.prepend(m_mainForm.get());
    return windows;
}

void TrinodeApplication::PrefetchPictures() {
    // An ordinary screen's pictures are carried decoded: nothing to do ahead,
    // and no decoder to load.
    const qreal ratio = PicturePrefetch::GuessedRatio();
    if (Art::ScaleForRatio(ratio) == 1)
        return;
    m_prefetch.Start(PictureBoard::FirstPaintPictures(), ratio);
}

void TrinodeApplication::Start(bool show) {
    // A desktop starts programs in the user's home folder, whatever folder
    // the launcher itself was started from.
    if (QString why; !UserHome::EnterHome(&why))
        qWarning("trinode: %s", qPrintable(why));

    // The window loads the file right after its first paint, on this thread:
    // a reading thread would keep its own malloc arena for as long as the
    // program runs, and the first paint needs no combination.
    ImmediateMnemonic::Install(*QCoreApplication::instance());
    m_mainForm = std::make_unique<TMainForm>(m_table, nullptr, &m_prefetch);
    // Pictures for a ratio the window turned out not to need go now.
    m_prefetch.Finish();
    // The dialogs need the font database, whose first use costs more than all
    // the rest of start-up; the main window shows nothing that needs it at
    // first, and makes each when it needs it.
    TMainForm& form = *m_mainForm;
    m_mainForm->SetDialogs({
        .editor = [this, &form] { return new TAddForm(m_table, form, &form); },
        .help = [&form] { return new THelpForm(&form); },
        .bindings = [this, &form] { return new TBindingsForm(m_table, form, &form); },
        .summonKey = [&form] { return new SummonKeyDialog(&form); },
    });
    m_activator = std::make_unique<WindowActivator>();
    m_instance.Listen(
        [this](const SummonRequest& request, std::function<void(SingleInstance::Answer)> done) {
            Summon(request, std::move(done));
        });
    // The summon key, its settings and the watch on them wait for a shown
    // window's first paint: the window is coming up anyway, and they took a
    // third of the time to it. A window not shown waits for the key.
    if (show) {
        QObject::connect(m_mainForm.get(), &TMainForm::FirstPainted, m_mainForm.get(),
                         [this] { GrabSummonKey(); });
        m_mainForm->PlaceOnPointerScreen();
    } else {
        GrabSummonKey();
    }
}

void TrinodeApplication::GrabSummonKey() {
    if (m_keyGrab)
        return;
    m_keyGrab = std::make_unique<KeyGrab>([this](quint32 time) {
        SummonRequest request;
        request.x11Time = time;
        Summon(request, [](SingleInstance::Answer) {});
    });
}
