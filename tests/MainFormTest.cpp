// The main window on the offscreen platform: its components where they
// belong, the pictures through press and release, and the socket panel.

#include "art/ColourKey.h"
#include "art/PictureTable.h"
#include "bindings/BindingsModel.h"
#include "bindings/TBindingsForm.h"
#include "launcher/ImageButton.h"
#include "launcher/InfoFit.h"
#include "launcher/MainKeys.h"
#include "launcher/PictureHolder.h"
#include "launcher/TMainForm.h"
#include "look/MnemonicLabel.h"
#include "platform/PathOpener.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "summon/SummonSettings.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QTreeView>

#include <functional>
#include <utility>

namespace {

using Row = PictureTable::Image;
using PictureTable::Role;

QImage ImageOf(const QLabel* label) {
    return label->pixmap().toImage();
}

QImage ImageOf(PictureHolder* holder) {
    return holder->Pixmap().toImage();
}

class MainForm : public ::testing::Test {
protected:
    void SetUp() override {
        m_form.SetDialogs({Given(m_editor), Given(m_help), Given(m_bindings), Given(m_summonKey)});
        m_form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form, 30000));
        // Right after its first paint the window creates the missing file;
        // the tests assign to it directly from then on.
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return QFile::exists(m_home.CombinationFile()); }, 30000));
    }

    template <class T = QWidget> T* Child(const QString& name) {
        auto* child = m_form.findChild<T*>(name, Qt::FindDirectChildrenOnly);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    PictureHolder* Buffer(int n) { return Child<PictureHolder>(QStringLiteral("Buffer%1").arg(n)); }
    PictureHolder* BuffSocket(int n) {
        return Child<PictureHolder>(QStringLiteral("BuffSocket%1").arg(n));
    }
    ImageButton* Image(const QString& name) { return Child<ImageButton>(name); }

    void Mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    void Press(const QString& name, Qt::MouseButton button = Qt::LeftButton) {
        Mouse(Image(name), QEvent::MouseButtonPress, button, {30, 30});
    }
    void Release(const QString& name, Qt::MouseButton button = Qt::LeftButton,
                 QPoint at = {30, 30}) {
        Mouse(Image(name), QEvent::MouseButtonRelease, button, at);
    }
    void Click(const QString& name, Qt::MouseButton button = Qt::LeftButton) {
        Press(name, button);
        Release(name, button);
    }
    // Presses Run and waits until what it opened has ended: the text of the
    // error box that showed, or an empty text.
    QString RunBoxText() {
        return ErrorBoxTextOf([&] {
            Click("MainButton");
            EXPECT_TRUE(QTest::qWaitFor([&] { return !m_form.findChild<PathOpener*>()->Pending(); },
                                        30000));
        });
    }

    Combination Sockets() const { return ShownSockets(m_form); }
    QString Info() { return Child<QLabel>(QStringLiteral("InfoLabel"))->text(); }

    void Assign(const Combination& combination, const QString& info, const QString& path) {
        NoProgress none;
        m_table.AssignCombination(combination, info, path, none);
    }

    TemporaryHome m_home;
    CombinationTable m_table{m_home.CombinationFile()};
    TMainForm m_form{m_table};
    QDialog m_editor;
    QDialog m_help;
    TBindingsForm m_bindings{m_table, m_form};
    QDialog m_summonKey;
};

// The pressable pictures' places are the canvas test's (every one inside the
// window, none over another, Exit and Three exactly placed at every size) and
// their hints the accessibility test's (each button's name); here the two
// pictures nothing presses.
TEST_F(MainForm, BackgroundAndInformationStandInTheirPlacesOnABlackFramelessWindow) {
    EXPECT_EQ(Child("Background")->geometry(), QRect(212, 73, 600, 600));
    EXPECT_EQ(Child("InfoLabel")->geometry(), QRect(360, 240, 297, 81));
    EXPECT_TRUE(Child("Background")->isVisible() && Child("InfoLabel")->isVisible());
    EXPECT_EQ(m_form.windowTitle(), "Trinode");
    EXPECT_TRUE(m_form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(m_form.palette().color(QPalette::Window), QColor(Qt::black));
}

TEST_F(MainForm, HoldersAreHiddenAndHoldPicturesOfTheirSize) {
    for (const PictureTable::Picture& picture : PictureTable::AllPictures()) {
        if (picture.name == PictureTable::BackgroundPicture() ||
            picture.name == PictureTable::SocketStartPicture())
            continue; // held by the images themselves
        SCOPED_TRACE(picture.name.toStdString());
        auto* holder = Child<PictureHolder>(picture.name);
        ASSERT_NE(holder, nullptr);
        EXPECT_FALSE(holder->isVisible());
        EXPECT_EQ(holder->size(), QSize(9, 9));
        EXPECT_EQ(holder->Pixmap().deviceIndependentSize(), QSizeF(picture.size));
    }
}

TEST_F(MainForm, EachButtonShowsItsPressedPictureWhileHeldAndItsNormalOneAfter) {
    for (const Row& row : PictureTable::Images()) {
        // Help's release opens a window, and the others' are below.
        if (row.role != Role::Catalogue || QLatin1String(row.button) == QLatin1String("Help"))
            continue;
        SCOPED_TRACE(row.objectName);
        const QString name = QLatin1String(row.objectName);
        ImageButton* image = Image(name);
        EXPECT_EQ(ImageOf(image), ImageOf(Buffer(row.normal)));
        Press(name);
        EXPECT_EQ(ImageOf(image), ImageOf(Buffer(row.pressed)));
        Release(name);
        EXPECT_EQ(ImageOf(image), ImageOf(Buffer(row.normal)));
        // The button went into socket 1 with its own socket picture.
        const int entry = *ButtonCatalogue::ButtonIndex(QLatin1String(row.button));
        EXPECT_EQ(ImageOf(Image("EmptySocket1")),
                  ImageOf(Child<PictureHolder>(PictureTable::SocketPictureOf(entry))));
        EXPECT_EQ(Image("EmptySocket1")->toolTip(), QLatin1String(row.button));
        Click("EmptySocket1");
    }
}

TEST_F(MainForm, PressedPictureStaysWhileHeldAndTheSocketFillsOnlyOnRelease) {
    Press("FilesButton");
    EXPECT_EQ(ImageOf(Image("FilesButton")), ImageOf(Buffer(7)));
    EXPECT_EQ(Sockets(), (Combination{"", "", ""}));
    // Moving away and letting go outside the window still releases Files.
    Release("FilesButton", Qt::LeftButton, {-500, 900});
    EXPECT_EQ(ImageOf(Image("FilesButton")), ImageOf(Buffer(8)));
    EXPECT_EQ(Sockets(), (Combination{"Files", "", ""}));
}

TEST_F(MainForm, RightAndMiddleReleasesGoToTheImageUnderThePointer) {
    Press("FilesButton", Qt::RightButton);
    // Released over Music: Music's release runs, Files keeps its pressed
    // picture until its own next release.
    const QPoint overMusic =
        Image("MusicButton")->geometry().center() - Image("FilesButton")->geometry().topLeft();
    Release("FilesButton", Qt::RightButton, overMusic);
    EXPECT_EQ(Sockets(), (Combination{"Music", "", ""}));
    EXPECT_EQ(ImageOf(Image("FilesButton")), ImageOf(Buffer(7)));

    // Released over nothing that can be pressed: nothing happens.
    Press("PersonalButton", Qt::MiddleButton);
    Release("PersonalButton", Qt::MiddleButton, {-300, -300});
    EXPECT_EQ(Sockets(), (Combination{"Music", "", ""}));

    // A right click places like a left one.
    Click("PersonalButton", Qt::RightButton);
    EXPECT_EQ(Sockets(), (Combination{"Music", "Personal", ""}));
}

TEST_F(MainForm, DoubleClickGivesTwoPressesAndTwoReleases) {
    ImageButton* files = Image("FilesButton");
    Mouse(files, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    Mouse(files, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 5});
    Mouse(files, QEvent::MouseButtonDblClick, Qt::LeftButton, {5, 5});
    EXPECT_EQ(ImageOf(files), ImageOf(Buffer(7)));
    Mouse(files, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 5});
    EXPECT_EQ(Sockets(), (Combination{"Files", "Files", ""}));
}

TEST_F(MainForm, ExitEndsOnlyOnALeftClickReleasedInside) {
    struct Row {
        const char* scenario;
        Qt::MouseButton button;
        QPoint releaseAt;
        bool closes;
    };
    const Row rows[] = {
        {"left, released outside", Qt::LeftButton, {-40, 40}, false},
        {"right, released inside", Qt::RightButton, {10, 10}, false},
        {"middle, released inside", Qt::MiddleButton, {10, 10}, false},
        {"left, released inside", Qt::LeftButton, {10, 10}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        ASSERT_TRUE(m_form.isVisible());
        Press("ExitButton", row.button);
        EXPECT_EQ(ImageOf(Image("ExitButton")), ImageOf(Buffer(5)));
        Release("ExitButton", row.button, row.releaseAt);
        EXPECT_EQ(ImageOf(Image("ExitButton")), ImageOf(Buffer(6)));
        EXPECT_EQ(m_form.isVisible(), !row.closes);
    }
}

TEST_F(MainForm, SocketsActOnReleaseOnly) {
    Click("FilesButton");
    const QImage filled = ImageOf(Image("EmptySocket1"));
    Press("EmptySocket1");
    EXPECT_EQ(ImageOf(Image("EmptySocket1")), filled);
    EXPECT_EQ(Sockets()[0], "Files");
    Release("EmptySocket1", Qt::LeftButton, {200, 200});
    EXPECT_EQ(Sockets()[0], "");
    // Emptied, it shows the empty-socket picture, not the start picture.
    EXPECT_EQ(ImageOf(Image("EmptySocket1")), ImageOf(BuffSocket(23)));
    EXPECT_EQ(Image("EmptySocket1")->toolTip(), "Empty Socket");
}

TEST_F(MainForm, ButtonsFillTheSocketsLeftToRight) {
    Assign({"Files", "Personal", "Music"}, "Media", m_home.FilePath("missing"));
    Assign({"Files", "", "Music"}, "Gap", "");
    Click("FilesButton");
    Click("PersonalButton");
    Click("MusicButton");
    EXPECT_EQ(Sockets(), (Combination{"Files", "Personal", "Music"}));
    EXPECT_EQ(Info(), "Media");
    EXPECT_EQ(RunBoxText(), "No such file or directory.");

    // A fourth press only shows its pictures.
    Click("GamesButton");
    EXPECT_EQ(Sockets(), (Combination{"Files", "Personal", "Music"}));
    EXPECT_EQ(ImageOf(Image("GamesButton")), ImageOf(Buffer(44)));

    // Clearing socket 2 leaves a gap that the next press fills.
    Click("EmptySocket2");
    EXPECT_EQ(Sockets(), (Combination{"Files", "", "Music"}));
    EXPECT_EQ(Info(), "Gap");
    EXPECT_EQ(RunBoxText(), "");
    Click("GamesButton");
    EXPECT_EQ(Sockets(), (Combination{"Files", "Games", "Music"}));
    EXPECT_EQ(Image("EmptySocket2")->toolTip(), "Games");
}

TEST_F(MainForm, PlacingANameOutsideTheCatalogueIsRefusedAndChangesNothing) {
    Click("FilesButton");
    const QImage socket2 = ImageOf(Image("EmptySocket2"));
    struct Row {
        const char* scenario;
        QString name;
    };
    const Row rows[] = {{"unknown", "Nonsense"},
                        {"wrong case", "files"},
                        {"hint of a socket", "Empty Socket"},
                        {"empty", ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        QString message;
        try {
            m_form.PlaceButton(row.name);
        } catch (const TrinodeError& error) {
            message = error.Message();
        }
        EXPECT_EQ(message, QStringLiteral("No button is named \u201c%1\u201d").arg(row.name));
        EXPECT_EQ(Sockets(), (Combination{"Files", "", ""}));
        EXPECT_EQ(ImageOf(Image("EmptySocket2")), socket2);
    }
}

TEST_F(MainForm, ClearingAnEmptySocketLooksNothingUp) {
    Assign({"", "", ""}, "Everything empty", "");
    Click("FilesButton");
    Click("EmptySocket2");
    EXPECT_EQ(Info(), "");
    EXPECT_EQ(ImageOf(Image("EmptySocket2")), ImageOf(Image("EmptySocket3")))
        << "an empty socket never changed keeps its start picture";
    // Clearing the last filled socket looks up the all-empty combination.
    Click("EmptySocket1");
    EXPECT_EQ(Info(), "Everything empty");
}

TEST_F(MainForm, HelpIntoTheFirstSocketOpensHelpAndFillsNothing) {
    int helpOpened = 0;
    ModalWatcher watcher([&](QWidget* modal) {
        helpOpened += modal == &m_help;
        modal->close();
    });
    Click("HelpButton");
    EXPECT_EQ(helpOpened, 1);
    EXPECT_EQ(Sockets(), (Combination{"", "", ""}));
    EXPECT_EQ(Image("EmptySocket1")->toolTip(), "Empty Socket");
    EXPECT_EQ(ImageOf(Image("HelpButton")), ImageOf(Buffer(10)));

    Click("FilesButton");
    Click("HelpButton");
    EXPECT_EQ(Sockets(), (Combination{"Files", "Help", ""}));
}

TEST_F(MainForm, AddOpensTheEditorWithTheNormalPictureBack) {
    bool normalWhileOpen = false;
    ModalWatcher watcher([&](QWidget* modal) {
        normalWhileOpen =
            modal == &m_editor && ImageOf(Image("AddShortcutButton")) == ImageOf(Buffer(50));
        modal->close();
    });
    Press("AddShortcutButton");
    EXPECT_EQ(ImageOf(Image("AddShortcutButton")), ImageOf(Buffer(49)));
    Release("AddShortcutButton");
    EXPECT_TRUE(watcher.Seen());
    EXPECT_TRUE(normalWhileOpen);
}

TEST_F(MainForm, RunDoesNothingWithoutAPath) {
    Assign({"Files", "", ""}, "Nothing to run", "");
    struct Row {
        const char* scenario;
        const char* button;
    };
    // At start, on an unassigned combination, on one that has no record.
    const Row rows[] = {{"at start", nullptr},
                        {"unassigned", "PersonalButton"},
                        {"assigned without path", "FilesButton"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        if (row.button)
            Click(QLatin1String(row.button));
        EXPECT_EQ(RunBoxText(), "");
        Click("EmptySocket1");
    }
}

TEST_F(MainForm, RunOpensThePathWhateverTheInformation) {
    struct Row {
        const char* scenario;
        const char* button;
        QString info;
    };
    const Row rows[] = {{"with information", "FilesButton", "Script"},
                        {"without information", "PersonalButton", ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        const QString marker = m_home.FilePath(QStringLiteral("ran %1").arg(row.button));
        const QString script = m_home.FilePath(QStringLiteral("run %1.sh").arg(row.button));
        {
            QFile file(script);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\ntouch '" + marker.toLocal8Bit() + "'\n");
        }
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Assign({QLatin1String(row.button).chopped(6), "", ""}, row.info, script);

        Click(QLatin1String(row.button));
        EXPECT_EQ(RunBoxText(), "");
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 30000));
        Click("EmptySocket1");
    }
}

TEST_F(MainForm, RunReportsAFailureLeavingThePanelAsItWas) {
    Assign({"Music", "", ""}, "Gone", m_home.FilePath("missing"));
    Click("MusicButton");
    EXPECT_EQ(RunBoxText(), "No such file or directory.");
    EXPECT_EQ(Sockets(), (Combination{"Music", "", ""}));
    EXPECT_EQ(Info(), "Gone");
    EXPECT_EQ(ImageOf(Image("MainButton")), ImageOf(Buffer(28)));
}

TEST_F(MainForm, EditorRefreshShowsTheNewBindingAtOnce) {
    Click("FilesButton");
    EXPECT_EQ(Info(), "");
    Assign({"Files", "", ""}, "Fresh", m_home.FilePath("missing"));
    m_form.RefreshCurrent();
    EXPECT_EQ(Info(), "Fresh");
    EXPECT_EQ(RunBoxText(), "No such file or directory.");
}

// Once the sockets rest, the guide tells where the chord begun in them
// leads; the next press takes it away.
TEST_F(MainForm, TheChordGuideShowsWhereTheChordLeadsOnceTheSocketsRest) {
    Assign({"Files", "Music", ""}, "Player", "/p");
    Assign({"Files", "Pictures", ""}, "Photos", "/q");
    Assign({"Files", "Music", "One"}, "Deep", "/d");
    auto* guide = Child<QLabel>(QStringLiteral("ChordGuide"));
    // The buttons it names carry a dot; the others stay as they were.
    const auto drawn = [&](const char* name) { return Image(name)->grab().toImage(); };
    const QImage music = drawn("MusicButton"), games = drawn("GamesButton");
    for (const auto& [button, text] : {std::pair{"FilesButton", "M Music: Player\nP Pictures: Photos"},
                                       std::pair{"MusicButton", "1 One: Deep"}}) {
        Click(button);
        EXPECT_FALSE(guide->isVisible()) << button;
        EXPECT_TRUE(QTest::qWaitFor([&] { return guide->isVisible(); }, 30000)) << button;
        EXPECT_EQ(guide->text(), QString::fromUtf8(text));
        EXPECT_EQ(drawn("MusicButton") != music, guide->text().contains(u"Music")) << button;
        EXPECT_EQ(drawn("GamesButton"), games) << button;
    }
    Press("TwoButton");
    EXPECT_FALSE(guide->isVisible());
    EXPECT_EQ(drawn("MusicButton"), music);
}

TEST_F(MainForm, TheKeyHintShowsUntilTheUserSaysNotToAsk) {
    auto* hint = Child<QLabel>(QStringLiteral("SummonHint"));
    EXPECT_TRUE(hint->isVisible());
    ModalWatcher keyDialog([](QWidget* dialog) {
        SummonSettings().SetDontAsk(true);
        dialog->close();
    });
    QTest::keyClick(&m_form, Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(keyDialog.Seen());
    EXPECT_FALSE(hint->isVisible());
}

TEST_F(MainForm, ASummonTakesWhatAnotherProgramBoundMeanwhile) {
    Click("FilesButton");
    m_form.TakeFileChanges();
    EXPECT_EQ(Info(), "");
    CombinationTable other(m_home.CombinationFile());
    other.LoadFile();
    NoProgress none;
    other.AssignCombination({"Files", "", ""}, "Imported", "/usr/bin/true", none);
    m_form.TakeFileChanges();
    EXPECT_EQ(Info(), "Imported");
}

// The focus mark goes with the focus that a key moved.
TEST_F(MainForm, TheFocusMarkGoesWithTheFocus) {
    ImageButton* files = Image("FilesButton");
    ASSERT_TRUE(FocusOn(files));
    const QImage unmarked = files->grab().toImage();
    QTest::keyClick(files, Qt::Key_Tab);
    EXPECT_EQ(files->grab().toImage(), unmarked);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_NE(files->grab().toImage(), unmarked);
}

TEST_F(MainForm, NoPictureCutsHolesThroughTheColourKey) {
    EXPECT_TRUE(m_form.mask().isEmpty());
    Click("FilesButton");
    Press("MainButton");
    EXPECT_TRUE(m_form.mask().isEmpty());
}

// --- Keys ---------------------------------------------------------------------

// What each key the README promises does through the real window: the buttons
// placed before, the picture that has the focus, and what the window shows
// after the key is held (a repeat that Qt tells as one, then one that an X
// server sends as a release and a press of the same moment) and after it is
// pressed: the sockets, then what opened, or the window gone.
struct KeyScenario {
    QKeyCombination chord;
    QStringList placed;
    const char* focused;
    const char* afterRepeats;
    const char* afterPress;
};

const KeyScenario KeyScenarios[] = {
    {QKeyCombination(Qt::Key_Return),
     {"Files"},
     nullptr,
     "Files,,",
     "Files,,|No such file or directory."},
    {QKeyCombination(Qt::Key_Enter),
     {"Files"},
     nullptr,
     "Files,,",
     "Files,,|No such file or directory."},
    // Held, Backspace empties one socket after another, socket 1 too.
    {QKeyCombination(Qt::Key_Backspace), {"Files", "Music", "One"}, nullptr, "Files,,", ",,"},
    {QKeyCombination(Qt::Key_Delete), {"Files", "Music"}, nullptr, "Files,Music,", ",,"},
    {QKeyCombination(Qt::Key_F1), {}, nullptr, ",,", ",,|help"},
    {Qt::ControlModifier | Qt::Key_E, {}, nullptr, ",,", ",,|editor"},
    {QKeyCombination(Qt::Key_Escape), {}, nullptr, ",,", ",,|hidden"},
    {Qt::ControlModifier | Qt::Key_Q, {}, nullptr, ",,", ",,|closed"},
    {QKeyCombination(Qt::Key_Space), {}, "FilesButton", ",,", "Files,,"},
    {Qt::ControlModifier | Qt::Key_F, {}, nullptr, ",,", ",,|bindings"},
    {QKeyCombination(Qt::Key_F3), {}, nullptr, ",,", ",,|bindings"},
    {Qt::ControlModifier | Qt::Key_K, {}, nullptr, ",,", ",,|summon key"},
};

class Keys : public MainForm, public ::testing::WithParamInterface<KeyScenario> {
protected:
    enum class Stroke { QtRepeat, ServerRepeat, Press };

    void Send(Stroke stroke) {
        const QKeyCombination chord = GetParam().chord;
        const auto key = [&](QEvent::Type type, bool autoRepeat, quint64 time) {
            QKeyEvent event(type, chord.key(), chord.keyboardModifiers(), QString(), autoRepeat);
            event.setTimestamp(time);
            QApplication::sendEvent(&m_form, &event);
        };
        if (stroke == Stroke::ServerRepeat)
            key(QEvent::KeyRelease, false, 1000);
        key(QEvent::KeyPress, stroke == Stroke::QtRepeat,
            stroke == Stroke::ServerRepeat ? 1000 : 0);
    }

    QString After(std::initializer_list<Stroke> strokes) {
        QString opened;
        {
            ModalWatcher watcher([&](QWidget* modal) {
                const auto* box = qobject_cast<QMessageBox*>(modal);
                opened = box                     ? box->text()
                         : modal == &m_help      ? "help"
                         : modal == &m_bindings  ? "bindings"
                         : modal == &m_summonKey ? "summon key"
                                                 : "editor";
                modal->close();
            });
            for (const Stroke stroke : strokes) {
                Send(stroke);
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return !m_form.findChild<PathOpener*>()->Pending(); }, 30000));
            }
        }
        const Combination sockets = Sockets();
        QStringList shown{QStringList(sockets.begin(), sockets.end()).join(',')};
        if (!opened.isEmpty())
            shown << opened;
        if (!m_form.isVisible())
            shown << (m_closed.seen ? "closed" : "hidden");
        return shown.join('|');
    }

    struct CloseSeen final : QObject {
        bool seen = false;
        bool eventFilter(QObject*, QEvent* event) override {
            seen = seen || event->type() == QEvent::Close;
            return false;
        }
    } m_closed;
};

TEST_P(Keys, ActOnceAndWhenHeldOnlyWhereThatIsHarmless) {
    const KeyScenario* scenario = &GetParam();
    Assign({"Files", "", ""}, "Gone", m_home.FilePath("missing"));
    for (const QString& button : scenario->placed)
        Click(QLatin1String(PictureTable::ImageOfButton(button)->objectName));
    if (scenario->focused) {
        ASSERT_TRUE(FocusOn(Image(scenario->focused)));
    }
    m_form.installEventFilter(&m_closed);
    EXPECT_EQ(After({Stroke::QtRepeat, Stroke::ServerRepeat}), QString(scenario->afterRepeats));
    EXPECT_EQ(After({Stroke::Press}), QString(scenario->afterPress));
}

INSTANTIATE_TEST_SUITE_P(Readme, Keys, ::testing::ValuesIn(KeyScenarios), [](const auto& info) {
    std::string name = QKeySequence(info.param.chord).toString().toStdString();
    std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return name;
});

// The window's key table holds the keys above and no other.
TEST(KeyTable, HoldsTheReadmesKeysAndNoOther) {
    for (const KeyBinding& binding : MainKeys::Bindings())
        EXPECT_TRUE(std::ranges::any_of(KeyScenarios, [&](const KeyScenario& row) {
            return row.chord == binding.chord;
        })) << QKeySequence(binding.chord).toString().toStdString();
    EXPECT_EQ(MainKeys::Bindings().size(), std::size(KeyScenarios));
}

// The bindings window over three bindings, through the main window's Ctrl+F:
// what a key on the first row that typed words leave does, and the rows left
// then (their information, in the file's order).
struct FindScenario {
    const char* name;
    const char* typed;
    QStringList listed;
    QKeyCombination key;
    QMessageBox::StandardButton answer; // to Delete's question
    const char* sockets;                // afterwards
    const char* shown;                  // the information, and what opened
    const char* media;                  // what the file binds Files, Personal, Music to
};

void PrintTo(const FindScenario& row, std::ostream* out) {
    *out << row.name;
}

const QStringList Both{"Media Player", "Open the music player quickly"};

class FindsBindings : public MainForm, public ::testing::WithParamInterface<FindScenario> {};

TEST_P(FindsBindings, NarrowsByEveryWordAndActsOnTheFirstRowLeft) {
    const FindScenario& row = GetParam();
    Assign({"Files", "Personal", "Music"}, "Media Player", m_home.FilePath("missing"));
    Assign({"Internet", "", ""}, "Web browser", "/usr/share");
    Assign({"Office", "Two", ""}, "Open the music player quickly", "/usr/bin/true");
    QStringList listed;
    QString opened;
    {
        ModalWatcher later([&](QWidget* modal) {
            const auto* box = qobject_cast<QMessageBox*>(modal);
            opened = box ? box->text() : QStringLiteral("?");
            modal->close();
        });
        ModalWatcher bindings([&](QWidget* window) {
            auto* box = window->findChild<QLineEdit*>("FilterBox");
            QTest::keyClicks(box, row.typed);
            ModalWatcher nested([&](QWidget* modal) {
                const Combination editing = m_form.CombinationToEdit();
                auto* question = qobject_cast<QMessageBox*>(modal);
                // The path stands apart from the question, on lines of its own;
                // the editor saves a new information.
                if (question && !question->text().contains('/') &&
                    question->informativeText().startsWith('/')) {
                    question->button(row.answer)->click();
                } else {
                    opened = "editor on " + QStringList(editing.begin(), editing.end()).join(',');
                    Assign(editing, "Web browser 2", "/usr/share");
                }
                modal->close();
            });
            QTest::keyClick(box, row.key.key(), row.key.keyboardModifiers());
            const QAbstractItemModel* rows = window->findChild<QTreeView*>()->model();
            for (int r = 0; r < rows->rowCount(); ++r)
                listed << rows->index(r, 3).data().toString();
            EXPECT_EQ(window->findChild<QAbstractButton*>("UnbindButton")->isEnabled(),
                      rows->rowCount() > 0);
            if (window->isVisible())
                QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::keyClick(&m_form, Qt::Key_F, Qt::ControlModifier);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return !m_form.findChild<PathOpener*>()->Pending(); }, 30000));
    }
    EXPECT_EQ(listed, row.listed);
    const Combination sockets = Sockets();
    EXPECT_EQ(QStringList(sockets.begin(), sockets.end()).join(','), row.sockets);
    EXPECT_EQ(QStringList({Info(), opened}).join('|'), row.shown);
    CombinationTable onDisk(m_home.CombinationFile());
    onDisk.LoadFile();
    EXPECT_EQ(onDisk.FindCombination({"Files", "Personal", "Music"}).info, row.media);
}

INSTANTIATE_TEST_SUITE_P(
    ThreeBindings, FindsBindings,
    ::testing::Values(
        FindScenario{"EnterShowsTheChord",
                     "media",
                     {"Media Player"},
                     Qt::Key_Return,
                     QMessageBox::NoButton,
                     "Files,Personal,Music",
                     "Media Player|",
                     "Media Player"},
        FindScenario{"WordsInNamesOrTextsIgnoringCase", "MUSIC", Both, Qt::Key_Enter,
                     QMessageBox::NoButton, "Files,Personal,Music", "Media Player|",
                     "Media Player"},
        FindScenario{"CtrlEnterRunsAsRunDoes",
                     "player quick",
                     {Both[1]},
                     Qt::ControlModifier | Qt::Key_Return,
                     QMessageBox::NoButton,
                     "Office,Two,",
                     "Open the music player quickly|",
                     "Media Player"},
        FindScenario{"RunFailsWithRunsMessage",
                     "media",
                     {"Media Player"},
                     Qt::ControlModifier | Qt::Key_Return,
                     QMessageBox::NoButton,
                     "Files,Personal,Music",
                     "Media Player|No such file or directory.",
                     "Media Player"},
        FindScenario{
            "DeleteAndYesUnbinds", "media", {}, Qt::Key_Delete, QMessageBox::Yes, ",,", "|", ""},
        FindScenario{"DeleteAndNoKeeps",
                     "media",
                     {"Media Player"},
                     Qt::Key_Delete,
                     QMessageBox::No,
                     ",,",
                     "|",
                     "Media Player"},
        FindScenario{"F2EditsTheChord",
                     "web",
                     {"Web browser 2"},
                     Qt::Key_F2,
                     QMessageBox::NoButton,
                     ",,",
                     "|editor on Internet,,",
                     "Media Player"},
        FindScenario{"NothingLeftNothingDone",
                     "nothing",
                     {},
                     Qt::Key_Return,
                     QMessageBox::NoButton,
                     ",,",
                     "|",
                     "Media Player"}),
    [](const auto& info) { return std::string(info.param.name); });

// The bindings window's rows follow the table: a combination bound before or
// after the rows there, changed or unbound is told row by row; many at once
// come as new rows throughout.
TEST(BindingsRows, FollowTheTableRowByRowOrAllAtOnce) {
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    table.CreateDefaultFile();
    BindingsModel model;
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    NoProgress none;
    const auto bind = [&](const Combination& c, const QString& info) {
        table.AssignCombination(c, info, info.isEmpty() ? QString() : QStringLiteral("/p"), none);
    };
    const struct {
        const char* name;
        std::function<void()> change;
        int resets;
    } steps[] = {
        {"bound", [&] { bind({"Music", "", ""}, "Player"); }, 0},
        {"bound before", [&] { bind({"Files", "", ""}, "Files"); }, 0},
        {"bound after", [&] { bind({"Trash", "", ""}, "Bin"); }, 0},
        {"changed", [&] { bind({"Music", "", ""}, "Player 2"); }, 0},
        // Until what the rows keep of their old texts is let go.
        {"changed again and again",
         [&] {
             for (int i = 0; i < 150; ++i) {
                 bind({"Music", "", ""}, QStringLiteral("Player of the house, take %1").arg(i));
                 model.Update(table);
             }
         },
         0},
        {"unbound", [&] { bind({"Files", "", ""}, ""); }, 0},
        {"two at once",
         [&] {
             bind({"Mail", "", ""}, "Post");
             bind({"Trash", "", ""}, "");
         },
         0},
        // A load takes what another program saved, which this table never
        // changed itself.
        {"bound by another program",
         [&] {
             CombinationTable other(home.CombinationFile());
             other.LoadFile();
             other.AssignCombination({"Games", "", ""}, "Play", "/play", none);
             table.LoadFile();
         },
         0},
        {"many",
         [&] {
             std::vector<BoundCombination> all;
             for (int i = 0; i < 100; ++i)
                 all.push_back({ButtonCatalogue::CombinationOf(i), {"Many", "/m"}});
             table.AssignCombinations(all, none);
         },
         1},
    };
    for (const auto& step : steps) {
        step.change();
        model.Update(table);
        std::vector<BoundCombination> rows;
        for (int r = 0; r < model.rowCount(); ++r)
            rows.push_back(model.Row(r));
        EXPECT_EQ(rows, table.BoundCombinations()) << step.name;
        EXPECT_EQ(std::exchange(resets, 0), step.resets) << step.name;
    }
}

// A text wider than the information's box is drawn smaller, whole, down to
// the size where 30 of the widest letters fit; only beyond that is it cut.
TEST(InformationSize, SmallerBeforeItIsCut) {
    QFont font(QStringLiteral("Trebuchet MS"));
    font.setPixelSize(27);
    const int box = PictureTable::InfoLabelPlace.width();
    const auto width = [&](const QString& text, int size) {
        QFont sized = font;
        sized.setPixelSize(size);
        return QFontMetricsF(sized).size(Qt::TextShowMnemonic, text).width();
    };
    const int smallest = InfoFit::PixelSize(font, QString(30, QLatin1Char('W')), box);
    const struct {
        QString text;
        bool smaller;
        bool whole;
    } rows[] = {
        {"Media Player", false, true},
        {"Open the music player quickly", true, true},
        {QString(30, QLatin1Char('W')), true, true},
        {QString(30, QLatin1Char('M')), true, true},
        {"&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&", true, true},
        {QString(40, QLatin1Char('W')), true, false},
    };
    for (const auto& row : rows) {
        const int size = InfoFit::PixelSize(font, row.text, box);
        EXPECT_EQ(size < 27, row.smaller) << row.text.toStdString();
        EXPECT_GE(size, smallest) << row.text.toStdString();
        EXPECT_EQ(width(row.text, size) <= box, row.whole) << row.text.toStdString();
    }
    // Exactly as wide as its box (64 letters: widths come in 64ths of a pixel).
    const QString exact(64, QLatin1Char('i'));
    EXPECT_EQ(InfoFit::PixelSize(font, exact, int(width(exact, 27))), 27);
}

TEST_F(MainForm, TypedStartShowsItsCandidatesPressedUntilItFitsOne) {
    QTest::keyClick(&m_form, Qt::Key_P);
    for (const char* name : {"PersonalButton", "PicturesButton", "ProjectsButton"}) {
        const Row& row = *PictureTable::ImageNamed(QLatin1String(name));
        EXPECT_EQ(ImageOf(Image(name)), ImageOf(Buffer(row.pressed))) << name;
    }
    QTest::keyClick(&m_form, Qt::Key_I);
    EXPECT_EQ(Sockets(), (Combination{"Pictures", "", ""}));
    for (const char* name : {"PersonalButton", "PicturesButton", "ProjectsButton"}) {
        const Row& row = *PictureTable::ImageNamed(QLatin1String(name));
        EXPECT_EQ(ImageOf(Image(name)), ImageOf(Buffer(row.normal))) << name;
    }
}

// The window loads the file after its first paint; whatever the user does
// before then acts on the loaded file all the same. The actions here run
// before the event loop has had a chance to paint.
TEST(MainFormBeforeFirstPaint, ActionsFindTheFileLoaded) {
    struct Row {
        const char* scenario;
        bool fileExists;
        std::function<void(TMainForm&)> act;
        const char* info;
    };
    const auto click = [](TMainForm& form) {
        auto* files = form.findChild<ImageButton*>(QStringLiteral("FilesButton"));
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(
                type, QPointF(5, 5), files->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(files, &event);
        }
    };
    const Row rows[] = {
        {"a click on a button", true, click, "Stored"},
        {"a typed name", true, [](TMainForm& form) { QTest::keyClick(&form, Qt::Key_F); },
         "Stored"},
        {"the editor's refresh", true,
         [](TMainForm& form) {
             form.PlaceButton(QStringLiteral("Files"));
             form.RefreshCurrent();
         },
         "Stored"},
        {"a click without a file, which creates it", false, click, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        TemporaryHome home;
        if (row.fileExists) {
            CombinationTable writer(home.CombinationFile());
            writer.CreateDefaultFile();
            NoProgress none;
            writer.AssignCombination({"Files", "", ""}, "Stored", "/bin", none);
        }
        CombinationTable table(home.CombinationFile());
        TMainForm form(table);
        QDialog editor;
        QDialog help;
        form.SetDialogs({Given(editor), Given(help)});
        form.show();
        ASSERT_EQ(QFile::exists(home.CombinationFile()), row.fileExists)
            << "showing the window loads or creates nothing yet";
        row.act(form);
        EXPECT_EQ(ShownSockets(form), (Combination{"Files", "", ""}));
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("InfoLabel"))->text(), row.info);
        EXPECT_EQ(ReadAll(home.CombinationFile()).size(), CombinationTable::FileSize);
    }
}

// Right after its first paint the window makes the editor and help; the key
// dialog (as the bindings window) only when it is first opened, and once.
TEST(MainFormDialogs, TheKeyDialogIsMadeAtItsFirstOpening) {
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    TMainForm form(table);
    QDialog editor, help, summonKey;
    QStringList made;
    const auto maker = [&made](QDialog& dialog, const char* name) {
        return std::function<QDialog*()>([&made, &dialog, name] {
            made << name;
            return &dialog;
        });
    };
    form.SetDialogs(
        {maker(editor, "editor"), maker(help, "help"), nullptr, maker(summonKey, "key")});
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return made.size() == 2; }, 30000));
    EXPECT_EQ(made, QStringList({"editor", "help"}));
    for (int opening = 1; opening <= 2; ++opening) {
        ModalWatcher watcher([](QWidget* modal) { modal->close(); });
        QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
    }
    EXPECT_EQ(made, QStringList({"editor", "help", "key"}));
}

TEST(ColourKey, FindsExactlyThePureRedPixels) {
    QImage image(6, 3, QImage::Format_RGB32);
    image.fill(QColor(254, 0, 0));
    image.setPixel(1, 0, qRgb(255, 0, 0));
    image.setPixel(2, 0, qRgb(255, 0, 0));
    image.setPixel(5, 2, qRgb(255, 0, 0));
    image.setPixel(3, 1, qRgb(255, 0, 1));
    const QRegion keyed = ColourKey::KeyedPixels(image);
    EXPECT_EQ(keyed, QRegion(1, 0, 2, 1) + QRegion(5, 2, 1, 1));
}

TEST(ColourKey, KeysTheLayoutPixelsWhoseDrawnCentreIsPureRed) {
    struct Row {
        const char* scenario;
        qreal ratio;
        QSize pixels;
        QRect red;     // device pixels of pure red
        QRegion keyed; // layout pixels left undrawn
    };
    const Row rows[] = {
        {"ordinary screen, pixel for pixel", 1.0, {6, 4}, {1, 1, 2, 1}, QRegion(1, 1, 2, 1)},
        {"2x, a whole layout pixel red", 2.0, {8, 4}, {2, 0, 2, 2}, QRegion(1, 0, 1, 1)},
        {"2x, red beside the centre only", 2.0, {8, 4}, {2, 0, 1, 1}, QRegion()},
        {"1.5x, red under two layout centres", 1.5, {6, 6}, {0, 0, 3, 3}, QRegion(0, 0, 2, 2)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        QImage image(row.pixels, QImage::Format_RGB32);
        image.fill(QColor(254, 0, 0));
        for (int y = row.red.top(); y <= row.red.bottom(); ++y)
            for (int x = row.red.left(); x <= row.red.right(); ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
        image.setDevicePixelRatio(row.ratio);
        const QRegion keyed = ColourKey::KeyedLayoutPixels(image);
        EXPECT_TRUE(keyed.xored(row.keyed).isEmpty())
            << keyed.boundingRect().x() << "," << keyed.boundingRect().y() << " "
            << keyed.boundingRect().width() << "x" << keyed.boundingRect().height();
    }
}

QImage Rendered(QWidget& widget) {
    widget.resize(120, 30);
    return widget.grab().toImage();
}

TEST(MnemonicLabelDrawing, AmpersandsFollowTheMnemonicRule) {
    const auto draw = [](const QString& text) {
        MnemonicLabel label;
        label.setText(text);
        return Rendered(label);
    };
    // "&&" shows one ampersand, exactly as the plain text would.
    QLabel plain;
    plain.setTextFormat(Qt::PlainText);
    plain.setText("a&b");
    plain.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    MnemonicLabel doubled;
    doubled.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    doubled.setText("a&&b");
    EXPECT_EQ(Rendered(doubled), Rendered(plain));
    // A single "&" is not shown: it underlines the next character instead.
    EXPECT_NE(draw("a&b"), draw("a&&b"));
    EXPECT_NE(draw("a&b"), draw("ab"));
}

} // namespace
