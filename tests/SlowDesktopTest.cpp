// Run against a desktop that does not answer: a session bus that takes the
// connection and then says nothing, as a hung bus daemon does. GIO waits on
// such a bus without end, so the window must go on while it waits, tell the
// user after its bounded wait, and be able to end meanwhile. GIO keeps one
// session bus connection per process, stuck once it is stuck: these cases
// share one process of their own and one bus, released only by the last.

#include "launcher/ImageButton.h"
#include "launcher/TMainForm.h"
#include "platform/PathOpener.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

#include <optional>

namespace {

// How long the opener waits here, through the setting the user has for it.
constexpr int WaitSeconds = 2;

// The handler of documents and https URLs notes what it was given.
constexpr auto HandlerScript = "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '{root}/opened'\n";

class SlowDesktop : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        TemporaryDesktop& desktop = s_desktop.emplace();
        desktop.Write("handler.sh", HandlerScript, true);
        desktop.Write(
            "data/applications/trinode-handler.desktop",
            "[Desktop Entry]\nType=Application\nName=Handler\nExec='{root}/handler.sh' %f\n"
            "MimeType=text/plain;x-scheme-handler/https;\n");
        desktop.Write("config/mimeapps.list", "[Default Applications]\n"
                                              "text/plain=trinode-handler.desktop\n"
                                              "x-scheme-handler/https=trinode-handler.desktop\n");
        // An application that the bus starts, not GIO.
        desktop.Write("files/org.trinode.Activated.desktop",
                      "[Desktop Entry]\nType=Application\nName=Activated\nDBusActivatable=true\n"
                      "Exec='{root}/handler.sh'\n");
        desktop.Write("config/trinode/trinode.conf",
                      "[General]\nStarterBindingsOffered=true\nOpenWaitSeconds=" +
                          QByteArray::number(WaitSeconds) + "\n");
        desktop.Write("files/notes.txt", "plain text\n");
        desktop.Write("files/left behind.txt", "plain text\n");
        // A launcher whose second line is two megabytes long.
        desktop.Write("files/huge.desktop",
                      "[Desktop Entry]\n" + QByteArray(2'000'000, 'x') + '\n');

        // Listening, but never accepting: a connection is made, and the
        // first thing GIO says on it is never answered.
        s_bus = ListenAt(QFile::encodeName(Rooted("{root}/bus")));
    }

    static void TearDownTestSuite() {
        // Every open still waiting on the bus goes on without one.
        s_bus.Reset();
        s_desktop.reset();
    }

    static QString Rooted(const QString& text) { return s_desktop->Rooted(text); }

protected:
    void SetUp() override {
        m_form.emplace(m_table);
        m_seen.form = &*m_form;
        m_form->SetDialogs({Given(m_editor), Given(m_help)});
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*m_form, 30000));
        // Right after its first paint the window creates the missing file;
        // Bind assigns to it directly from then on.
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return QFile::exists(m_home.CombinationFile()); }, 30000));
        m_form->installEventFilter(&m_seen);
    }

    void Click(const QString& name) {
        auto* image = m_form->findChild<ImageButton*>(name);
        ASSERT_NE(image, nullptr) << name.toStdString();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(
                type, QPointF(5, 5), image->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(image, &event);
        }
    }

    // Binds the path to Files alone and shows that combination.
    void Bind(const QString& path) {
        NoProgress none;
        m_table.AssignCombination({"Files", "", ""}, "Slow", path, none);
        Click("FilesButton");
    }

    // What reached the window through its event loop while Run's open was
    // still pending.
    struct Seen final : QObject {
        TMainForm* form = nullptr;
        bool keyWhilePending = false;
        bool paintWhilePending = false;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::KeyPress)
                keyWhilePending = keyWhilePending || form->findChild<PathOpener*>()->Pending();
            if (event->type() == QEvent::Paint)
                paintWhilePending = paintWhilePending || form->findChild<PathOpener*>()->Pending();
            return false;
        }
    };

    static inline std::optional<TemporaryDesktop> s_desktop;
    static inline FileDescriptor s_bus;

    TemporaryHome m_home;
    // The handlers and the opener's wait are the suite's, not the home's.
    ScopedVariable m_config{"XDG_CONFIG_HOME", QFile::encodeName(Rooted("{root}/config"))};
    CombinationTable m_table{m_home.CombinationFile()};
    Seen m_seen;
    std::optional<TMainForm> m_form;
    QDialog m_editor;
    QDialog m_help;
};

TEST_F(SlowDesktop, RunLeavesTheWindowGoingAndTellsTheUser) {
    const QString noAnswer =
        QStringLiteral("The desktop session did not answer within %1 seconds.").arg(WaitSeconds);
    const struct {
        const char* scenario;
        QString path;
        bool answers; // whether the open ends before the bounded wait
        QString boxText;
    } rows[] = {
        {"a document", "{root}/files/notes.txt", false, noAnswer},
        {"a URL", "https://example.org/slow", false, noAnswer},
        {"a launcher that the bus activates", "{root}/files/org.trinode.Activated.desktop", false,
         noAnswer},
        {"a launcher with a huge line", "{root}/files/huge.desktop", true,
         (QStringLiteral("Key file contains line \u201c") + QString(500, 'x')).left(499) +
             QStringLiteral("\u2026.")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        Bind(Rooted(row.path));
        m_seen.keyWhilePending = m_seen.paintWhilePending = false;
        const QString text = ErrorBoxTextOf([&] {
            Click("MainButton");
            if (!row.answers) {
                // A key press and a repaint, both through the event loop.
                QCoreApplication::postEvent(
                    &*m_form, new QKeyEvent(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier));
                m_form->update();
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return m_seen.keyWhilePending && m_seen.paintWhilePending; }, 30000));
                // The Delete key emptied the sockets.
                EXPECT_EQ(ShownSockets(*m_form), (Combination{"", "", ""}));
            }
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return !m_form->findChild<PathOpener*>()->Pending(); }, 30000));
        });
        EXPECT_EQ(text, row.boxText);
        Click("EmptySocket1");
    }
}

// An outcome that reaches the opener after it gave up on its open, as one
// posted just before the wait ended does, is not the next open's.
TEST_F(SlowDesktop, ALateOutcomeIsNotTheNextOpens) {
    PathOpener opener;
    QStringList outcomes;
    QObject::connect(&opener, &PathOpener::Finished, [&](std::exception_ptr failure) {
        outcomes << ErrorOf([&] { failure ? std::rethrow_exception(failure) : void(); });
    });
    // The first outcome waits until the opener gave up and began the next.
    struct HeldBack final : QObject {
        std::function<void()> meanwhile;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::MetaCall && meanwhile)
                std::exchange(meanwhile, nullptr)();
            return false;
        }
    } late;
    late.meanwhile = [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !opener.Pending(); }, 30000));
        opener.Open(QFile::encodeName(Rooted("{root}/files/notes.txt/more")));
    };
    opener.installEventFilter(&late);
    opener.Open(QFile::encodeName(Rooted("{root}/files/missing.txt")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcomes.size() == 2; }, 30000));
    EXPECT_EQ(outcomes.join('|'),
              QStringLiteral("The file system did not answer within %1 seconds|Not a directory")
                  .arg(WaitSeconds));
}

// After the others: it releases the bus.
TEST_F(SlowDesktop, ExitWhileAnOpenIsPendingLeavesNothingBehind) {
    const QString document = Rooted("{root}/files/left behind.txt");
    Bind(document);
    Click("MainButton");
    ASSERT_TRUE(m_form->findChild<PathOpener*>()->Pending());
    Click("ExitButton");
    EXPECT_FALSE(m_form->isVisible());
    m_form.reset();
    // The open goes on once the bus lets go; its outcome has nowhere to go,
    // and no box may open.
    s_bus.Reset();
    const QString opened = Rooted("{root}/opened");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QFile::exists(opened) && ReadAll(opened).contains(document.toUtf8()); },
        30000));
}

} // namespace
