#pragma once

// Everything that start-up makes, in the order it makes it: the combination
// table, the guard against a second running instance, then the main window,
// which makes the windows it opens. main() and the start-up benchmark share it,
// so the benchmark measures exactly what the program does.

#include "launcher/PicturePrefetch.h"
#include "platform/SingleInstance.h"
#include "store/CombinationTable.h"

#include <QList>

#include <memory>

class KeyGrab;
class QWidget;
class TMainForm;
class WindowActivator;

class TrinodeApplication final {
public:
    TrinodeApplication();
    ~TrinodeApplication();
    TrinodeApplication(const TrinodeApplication&) = delete;
    TrinodeApplication& operator=(const TrinodeApplication&) = delete;

    // Looks for another Trinode that serves the same file and, when one
    // answers, hands it the summon; needs no GUI. Anything but Claimed and
    // Alone means this process should leave (InstanceMessage says why).
    SingleInstance::Outcome HandOverToRunningInstance(
        const std::function<SummonRequest()>& makeRequest,
        const QDeadlineTimer& reachBy = QDeadlineTimer(SingleInstance::ReachWaitMs));
    const QString& InstanceMessage() const { return m_instance.Message(); }

    // Starts decoding the main window's first pictures on a thread of their
    // own, to overlap the toolkit's start-up; before the QApplication. Only
    // a scale set for Qt needs it: the 1x pictures are carried decoded.
    void PrefetchPictures();

    // Makes the main window and shows it (unless show is false: the first
    // summon shows it); the summon key is grabbed, the file loaded, and the
    // editor and help windows made, in that order right after its first
    // paint; the bindings window and the key dialog when first opened.
    void Start(bool show);

    // Destroys the windows (the destructor does too): before the
    // QApplication goes, which main() makes after this object.
    void EndWindows();

private:
    QList<QWidget*> OpenWindows() const;
    void GrabSummonKey();
    void Summon(const SummonRequest& request, std::function<void(SingleInstance::Answer)> done);

    CombinationTable m_table;
    SingleInstance m_instance;
    PicturePrefetch m_prefetch;
    // The windows the main window opens are its children, and it alone
    // deletes them.
    std::unique_ptr<TMainForm> m_mainForm;
    std::unique_ptr<WindowActivator> m_activator;
    std::unique_ptr<KeyGrab> m_keyGrab;
};
