#include "editor/EditorHost.h"
#include "editor/LaunchableFilter.h"
#include "editor/TAddForm.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <memory>
#include <ostream>

// Readable failure messages.
void PrintTo(const QPoint& point, std::ostream* out) {
    *out << '(' << point.x() << ", " << point.y() << ')';
}
void PrintTo(const Binding& binding, std::ostream* out) {
    *out << '{' << binding.info.toStdString() << " | " << binding.path.toStdString() << '}';
}
void PrintTo(const StoredBinding& binding, std::ostream* out) {
    *out << '{' << binding.info.toPercentEncoding().toStdString() << " | "
         << binding.path.toPercentEncoding().toStdString() << '}';
}

namespace {

// The main window as the dialog sees it: its sockets, and what its refresh
// would show.
class FakeHost final : public EditorHost {
public:
    explicit FakeHost(const CombinationTable& table) : m_table(table) {}
    Combination CombinationToEdit() const override { return sockets; }
    void RefreshCurrent() override {
        ++refreshes;
        shown = m_table.FindCombination(sockets);
    }

    Combination sockets;
    int refreshes = 0;
    Binding shown;

private:
    const CombinationTable& m_table;
};

// What a message box said before the test answered it.
struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // How far the box's middle stands from the middle of its screen's work
    // area, once it is on the screen at its final size.
    QPoint offCentre;
};

using Answer = std::function<void(QMessageBox*)>;

const Answer ClickOk = [](QMessageBox* box) {
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
};
const Answer ClickCancel = [](QMessageBox* box) {
    QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
};
const Answer PressEnter = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); };
const Answer PressEsc = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); };
const Answer CloseBox = [](QMessageBox* box) { box->close(); };

// While it lives, takes the message boxes that open, answers them one answer
// each in order, and remembers what they said. It passes over the dialog
// itself, which is modal between two boxes.
class BoxAnswerer final : public ModalHandler {
public:
    explicit BoxAnswerer(QList<Answer> answers) : m_answers(std::move(answers)) {}
    QList<BoxSeen> seen;

    bool Takes(QWidget* window) override {
        if (!qobject_cast<QMessageBox*>(window) || m_taken == m_answers.size())
            return false;
        ++m_taken;
        return true;
    }

private:
    void Handle(QWidget* window) override {
        auto* box = static_cast<QMessageBox*>(window);
        seen.append({box->windowTitle(), box->text(), box->icon(),
                     box->frameGeometry().center() - box->screen()->availableGeometry().center()});
        m_answers[seen.size() - 1](box);
    }
    QList<Answer> m_answers;
    qsizetype m_taken = 0;
};

// Types one key per character, whatever its script.
void Type(QWidget* widget, const QString& text) {
    for (const uint codePoint : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown,
                            QString::fromUcs4(reinterpret_cast<const char32_t*>(&codePoint), 1),
                            Qt::NoModifier);
}

const Combination FilesPersonalMusic{"Files", "Personal", "Music"};

class AddFormTest : public ::testing::Test {
public:
    void SetUp() override {
        table.CreateDefaultFile();
        form = std::make_unique<TAddForm>(
            table, host, nullptr, [this](const QString& last) { return fileChooser(last); });
    }

    template <class Widget> Widget* Find(const char* name) const {
        auto* widget = form->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Opens the dialog modally, runs the steps inside it and returns the
    // result; a dialog the steps leave open is cancelled.
    int Open(const std::function<void()>& steps) {
        ModalWatcher watcher([&](QWidget* modal) {
            EXPECT_EQ(modal, form.get());
            steps();
            if (form->isVisible())
                form->reject();
        });
        const int result = form->exec();
        EXPECT_TRUE(watcher.Seen());
        return result;
    }

    void Assign(const Combination& combination, const QString& info, const QString& path) {
        NoProgress none;
        table.AssignCombination(combination, info, path, none);
    }

    Binding OnDisk(const Combination& combination) const {
        CombinationTable fresh(home.CombinationFile());
        fresh.LoadFile();
        return fresh.FindCombination(combination);
    }

    void ClickItem(const char* listName, const QString& text) {
        auto* list = Find<QListWidget>(listName);
        QListWidgetItem* item =
            text.isEmpty() ? list->item(0) : list->findItems(text, Qt::MatchExactly).value(0);
        ASSERT_NE(item, nullptr) << text.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }

    QString Selected(const char* listName) const {
        const QList<QListWidgetItem*> items = Find<QListWidget>(listName)->selectedItems();
        return items.size() == 1 ? items.first()->text() : QStringLiteral("<none>");
    }

    QString Text(const char* name) const { return Find<QLabel>(name)->text(); }

    TemporaryHome home;
    CombinationTable table{home.CombinationFile()};
    FakeHost host{table};
    // What Browse shows: nothing chosen unless a test says otherwise.
    TAddForm::FileChooser fileChooser = [](const QString&) { return std::optional<QString>(); };
    std::unique_ptr<TAddForm> form;
};

// Every control and caption lies inside its frame, none covers another, and
// the dialog keeps one size.
TEST_F(AddFormTest, ControlsLieInsideTheirFramesWithoutOverlapping) {
    QList<QWidget*> frames{form.get()};
    for (QWidget* frame : form->findChildren<QGroupBox*>())
        frames.append(frame);
    for (QWidget* frame : frames) {
        QList<QWidget*> controls;
        for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->objectName().isEmpty() && !child->objectName().startsWith("qt_"))
                controls.append(child);
        EXPECT_GE(controls.size(), 3) << frame->objectName().toStdString();
        for (QWidget* control : controls) {
            const std::string name = control->objectName().toStdString();
            EXPECT_TRUE(frame->rect().contains(control->geometry())) << name;
            // The path box and its browse button share one column of pixels.
            for (QWidget* other : controls) {
                const QRect both = other->geometry() & control->geometry();
                EXPECT_TRUE(other == control || both.width() <= 1 || both.height() <= 1)
                    << name << " covers " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(form->windowTitle(), "Trinode");
    EXPECT_EQ(form->minimumSize(), QSize(713, 393));
    EXPECT_EQ(form->maximumSize(), QSize(713, 393));

    // All 23 items show without scrolling, the empty value first.
    for (const char* name : {"Socket1", "Socket2", "Socket3"}) {
        auto* list = Find<QListWidget>(name);
        ASSERT_EQ(list->count(), 23);
        EXPECT_EQ(list->item(0)->text(), "");
        EXPECT_EQ(list->item(1)->text(), "Control");
        EXPECT_EQ(list->item(22)->text(), "Projects");
        const QRect last = list->visualItemRect(list->item(22));
        EXPECT_EQ(last.top(), 22 * 13);
        EXPECT_LE(last.bottom(), list->viewport()->height());
    }
}

TEST_F(AddFormTest, OpeningPreselectsTheMainWindowsCombination) {
    struct Case {
        const char* name;
        Combination sockets;
    };
    const Case cases[] = {
        {"FilesGapPersonal", {"Files", "", "Personal"}},
        {"AllEmpty", {"", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assign(c.sockets, "Docs & more", "/srv/docs");
        host.sockets = c.sockets;
        Open([&] {
            EXPECT_EQ(Selected("Socket1"), c.sockets[0]);
            EXPECT_EQ(Selected("Socket2"), c.sockets[1]);
            EXPECT_EQ(Selected("Socket3"), c.sockets[2]);
            EXPECT_EQ(Text("InfoStat"), "Docs & more");
            EXPECT_EQ(Text("PathStat"), "/srv/docs");
            EXPECT_FALSE(Find<QProgressBar>("ProgressBar")->isVisible());
            EXPECT_EQ(Text("ProgressLabel"), "");
        });
        EXPECT_EQ(host.refreshes, 0);
    }
}

TEST_F(AddFormTest, PickingInAListChangesOneSocketAndShowsItsBinding) {
    struct Case {
        const char* name;
        std::function<void(AddFormTest&)> pick;
        Combination expected;
    };
    const Case cases[] = {
        {"MouseOnMusic",
         [](AddFormTest& t) { t.ClickItem("Socket2", "Music"); },
         {"Files", "Music", "Personal"}},
        {"DownKeyAfterPersonal",
         [](AddFormTest& t) { QTest::keyClick(t.Find<QListWidget>("Socket3"), Qt::Key_Down); },
         {"Files", "", "Pictures"}},
        {"MouseOnEmptyItem",
         [](AddFormTest& t) { t.ClickItem("Socket1", ""); },
         {"", "", "Personal"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.sockets = {"Files", "", "Personal"};
        Assign(c.expected, QString("Bound ") + c.name, "/opt/" + QString(c.name));
        Open([&] {
            Find<QLineEdit>("InfoInput")->setText("typed");
            c.pick(*this);
            EXPECT_EQ(Selected("Socket1"), c.expected[0]);
            EXPECT_EQ(Selected("Socket2"), c.expected[1]);
            EXPECT_EQ(Selected("Socket3"), c.expected[2]);
            EXPECT_EQ(Text("InfoStat"), QString("Bound ") + c.name);
            EXPECT_EQ(Text("PathStat"), "/opt/" + QString(c.name));
            EXPECT_EQ(Find<QLineEdit>("InfoInput")->text(), "typed");
        });
    }
}

struct OkCase {
    const char* name;
    Binding before; // all empty: unassigned
    Answer answer;  // empty: no question expected
    bool written;
};

void PrintTo(const OkCase& c, std::ostream* out) {
    *out << c.name;
}

class AddFormOkTest : public AddFormTest, public ::testing::WithParamInterface<OkCase> {};

TEST_P(AddFormOkTest, OkAsksOnlyBeforeOverwritingAndClosesWithOk) {
    const OkCase& c = GetParam();
    const Binding& before = c.before;
    const Binding typed{"Media & Player", "/usr/bin/player --x"};
    Assign(FilesPersonalMusic, before.info, before.path);
    host.sockets = FilesPersonalMusic;

    BoxAnswerer answerer({c.answer ? c.answer : ClickCancel});
    const int result = Open([&] {
        QTest::keyClicks(Find<QLineEdit>("InfoInput"), typed.info);
        QTest::keyClicks(Find<QLineEdit>("PathInput"), typed.path);
        QTest::mouseClick(Find<QPushButton>("OKButton"), Qt::LeftButton);
    });

    EXPECT_EQ(result, QDialog::Accepted);
    ASSERT_EQ(answerer.seen.size(), c.answer ? 1 : 0);
    if (c.answer) {
        EXPECT_EQ(answerer.seen[0].title, "Confirm");
        EXPECT_EQ(answerer.seen[0].text, "Are you sure you want to overwrite this shortcut?");
        EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Question);
        EXPECT_EQ(answerer.seen[0].offCentre, QPoint(0, 0));
    }
    EXPECT_EQ(OnDisk(FilesPersonalMusic), c.written ? typed : before);
    EXPECT_EQ(host.refreshes, c.written ? 1 : 0);
    if (c.written) {
        EXPECT_EQ(host.shown, typed);
    }

    // Whatever happened, the typed texts are offered again.
    Open([&] {
        EXPECT_EQ(Find<QLineEdit>("InfoInput")->text(), typed.info);
        EXPECT_EQ(Find<QLineEdit>("PathInput")->text(), typed.path);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AddFormOkTest,
    ::testing::Values(OkCase{"Unassigned", {"", ""}, {}, true},
                      OkCase{"ConfirmedWithOk", {"Old", "/old"}, ClickOk, true},
                      OkCase{"ConfirmedWithEnter", {"Old", "/old"}, PressEnter, true},
                      OkCase{"DeclinedWithCancel", {"Old", "/old"}, ClickCancel, false},
                      OkCase{"DeclinedWithEsc", {"Old", "/old"}, PressEsc, false},
                      OkCase{"DeclinedWithCloseBox", {"Old", "/old"}, CloseBox, false},
                      OkCase{"InformationOnlyDeclined", {"Old", ""}, ClickCancel, false},
                      OkCase{"PathOnlyDeclined", {"", "/old"}, ClickCancel, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Copy and OK write back the bytes of every box the user left alone, even
// where they are no valid text; an edited box stores its text by the store's
// rule.
struct CopyCase {
    const char* name;
    StoredBinding stored;
    std::function<void(AddFormTest&)> edit; // after Copy; empty: none
    StoredBinding written;
};

void PrintTo(const CopyCase& c, std::ostream* out) {
    *out << c.name;
}

class AddFormCopyTest : public AddFormTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(AddFormCopyTest, CopyThenOkWritesTheBytesOfEveryUntouchedBox) {
    const CopyCase& c = GetParam();
    NoProgress none;
    table.AssignCombination(FilesPersonalMusic, c.stored, none);
    host.sockets = FilesPersonalMusic;
    BoxAnswerer answerer({ClickOk});
    Open([&] {
        QTest::mouseClick(Find<QPushButton>("CopyButton"), Qt::LeftButton);
        if (c.edit)
            c.edit(*this);
        QTest::mouseClick(Find<QPushButton>("OKButton"), Qt::LeftButton);
    });
    ASSERT_EQ(answerer.seen.size(), 1);
    CombinationTable fresh(home.CombinationFile());
    fresh.LoadFile();
    EXPECT_EQ(fresh.Stored(FilesPersonalMusic), c.written);
}

const StoredBinding NotUtf8{"\xff\xfe caf\xe9", "/tmp/caf\xe9 cr\xe8me.sh"};

INSTANTIATE_TEST_SUITE_P(
    Bytes, AddFormCopyTest,
    ::testing::Values(CopyCase{"UntouchedInfoKeepsItsBytes",
                               {NotUtf8.info, "/srv/run"},
                               {},
                               {NotUtf8.info, "/srv/run"}},
                      CopyCase{"UntouchedPathKeepsItsBytes",
                               {"Caf\xc3\xa9", NotUtf8.path},
                               {},
                               {"Caf\xc3\xa9", NotUtf8.path}},
                      CopyCase{"UntouchedBothKeepTheirBytes", NotUtf8, {}, NotUtf8},
                      // Read as text, the path would take 298 bytes.
                      CopyCase{"UntouchedFullPathKeepsItsBytes",
                               {"i", "/" + QByteArray(99, '\xe9')},
                               {},
                               {"i", "/" + QByteArray(99, '\xe9')}},
                      CopyCase{"EditedInfoIsEncodedAgain",
                               NotUtf8,
                               [](AddFormTest& t) {
                                   auto* box = t.Find<QLineEdit>("InfoInput");
                                   QTest::keyClick(box, Qt::Key_End);
                                   Type(box, "!");
                               },
                               {"\xef\xbf\xbd\xef\xbf\xbd caf\xef\xbf\xbd!", NotUtf8.path}},
                      CopyCase{"BrowsedPathIsEncoded",
                               NotUtf8,
                               [](AddFormTest& t) {
                                   t.fileChooser = [](const QString&) {
                                       return std::optional<QString>("/usr/bin/env");
                                   };
                                   QTest::mouseClick(t.Find<QPushButton>("Browse"), Qt::LeftButton);
                               },
                               {NotUtf8.info, "/usr/bin/env"}},
                      CopyCase{"ValidUtf8IsUnchanged",
                               {"Caf\xc3\xa9 & cr\xc3\xa8me", "/opt/\xe2\x82\xac/run"},
                               {},
                               {"Caf\xc3\xa9 & cr\xc3\xa8me", "/opt/\xe2\x82\xac/run"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddFormTest, KeysPressTheButtonsTheyBelongTo) {
    struct Case {
        const char* name;
        const char* focus;
        Qt::Key key;
        bool stillOpen;
        int result;
        bool written;
    };
    const Case cases[] = {
        {"EnterInInfoPressesOk", "InfoInput", Qt::Key_Return, false, QDialog::Accepted, true},
        {"EnterInListPressesOk", "Socket2", Qt::Key_Enter, false, QDialog::Accepted, true},
        {"EnterOnCopyPressesCopy", "CopyButton", Qt::Key_Return, true, QDialog::Rejected, false},
        {"EscCancels", "PathInput", Qt::Key_Escape, false, QDialog::Rejected, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assign(FilesPersonalMusic, "", "");
        host.sockets = FilesPersonalMusic;
        form->findChild<QLineEdit*>("InfoInput")->setText("Typed");
        const int result = Open([&] {
            QWidget* target = Find<QWidget>(c.focus);
            ASSERT_TRUE(FocusOn(target));
            QTest::keyClick(target, c.key);
            EXPECT_EQ(form->isVisible(), c.stillOpen);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(OnDisk(FilesPersonalMusic).info, c.written ? "Typed" : "");
    }
}

TEST_F(AddFormTest, TabVisitsTheControlsInOrder) {
    QStringList visited;
    Open([&] {
        ASSERT_TRUE(FocusOn(Find<QWidget>("Socket1")));
        for (int i = 0; i < 11; ++i) {
            QWidget* focused = QApplication::focusWidget();
            ASSERT_NE(focused, nullptr) << visited.join(' ').toStdString();
            visited.append(focused->objectName());
            QTest::keyClick(focused, Qt::Key_Tab);
        }
    });
    EXPECT_EQ(visited.join(' '), "Socket1 Socket2 Socket3 InfoInput PathInput Browse "
                                 "ApplicationsButton CopyButton ClearButton OKButton CancelButton");
}

// Records what the progress display shows each time it is painted.
class PaintRecorder final : public QObject {
public:
    PaintRecorder(QLabel* label, QProgressBar* bar) : m_label(label), m_bar(bar) {
        label->installEventFilter(this);
        bar->installEventFilter(this);
    }
    QStringList stages;
    QList<int> barWhileProcessing;

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (watched == m_label && !m_label->text().isEmpty() &&
                (stages.isEmpty() || stages.back() != m_label->text()))
                stages.append(m_label->text());
            if (watched == m_bar && m_label->text() == "Processing...")
                barWhileProcessing.append(m_bar->value());
        }
        return false;
    }
    QLabel* m_label;
    QProgressBar* m_bar;
};

TEST_F(AddFormTest, ProgressShowsEveryStageAndAFullBarAfter8070Records) {
    host.sockets = FilesPersonalMusic;
    auto* bar = Find<QProgressBar>("ProgressBar");
    auto* label = Find<QLabel>("ProgressLabel");
    PaintRecorder recorder(label, bar);
    Open([&] {
        Find<QLineEdit>("InfoInput")->setText("Player");
        QTest::mouseClick(Find<QPushButton>("OKButton"), Qt::LeftButton);
    });

    EXPECT_EQ(recorder.stages.join('|'), "Processing...|Saving File...|Finalizing...");
    // Positions 0 to 811 arrive one per call; the bar grows, every paint shows
    // something new, and from 538 (8070 records) on it is full: the stage ends
    // with a full bar on the screen.
    ASSERT_FALSE(recorder.barWhileProcessing.isEmpty());
    for (int i = 1; i < recorder.barWhileProcessing.size(); ++i)
        ASSERT_GT(recorder.barWhileProcessing[i], recorder.barWhileProcessing[i - 1]);
    EXPECT_EQ(recorder.barWhileProcessing.back(), 538);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(label->text(), "Finalizing...");
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_EQ(OnDisk(FilesPersonalMusic).info, "Player");
}

TEST_F(AddFormTest, AFailedAssignmentIsReportedAndTheFileStaysAsItWas) {
    Assign(FilesPersonalMusic, "Old", "/old");
    host.sockets = FilesPersonalMusic;
    QFile file(home.CombinationFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup));

    BoxAnswerer answerer({ClickOk, ClickOk});
    const int result = Open([&] {
        Find<QLineEdit>("InfoInput")->setText("New");
        QTest::mouseClick(Find<QPushButton>("OKButton"), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    ASSERT_EQ(answerer.seen.size(), 2);
    EXPECT_EQ(answerer.seen[1].title, "Trinode");
    EXPECT_EQ(answerer.seen[1].text, "File access denied.");
    EXPECT_EQ(host.refreshes, 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_TRUE(Find<QProgressBar>("ProgressBar")->isVisibleTo(form.get()));
    EXPECT_EQ(Text("ProgressLabel"), "Processing...");

    // The next opening hides and empties the progress display again.
    Open([&] {
        EXPECT_FALSE(Find<QProgressBar>("ProgressBar")->isVisible());
        EXPECT_EQ(Text("ProgressLabel"), "");
    });
}

// OK on a damaged file mends it: the binding is stored, the file is whole
// again, the damaged one is kept beside it, and a box says so once the
// dialog has closed.
TEST_F(AddFormTest, OkOnADamagedFileMendsItAndSaysSo) {
    Assign(FilesPersonalMusic, "Old", "/old");
    host.sockets = FilesPersonalMusic;
    QFile file(home.CombinationFile());
    ASSERT_TRUE(file.open(QIODevice::Append) && file.write("junk past the end") == 17);
    file.close();
    EXPECT_NE(ErrorOf([&] { table.LoadFile(); }), "no error");

    BoxAnswerer answerer({ClickOk, ClickOk});
    Open([&] {
        Find<QLineEdit>("InfoInput")->setText("New");
        QTest::mouseClick(Find<QPushButton>("OKButton"), Qt::LeftButton);
    });
    const QDeadlineTimer deadline(30000);
    while (answerer.seen.size() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(answerer.seen.size(), 2);
    EXPECT_EQ(answerer.seen[1].icon, QMessageBox::Information);
    EXPECT_TRUE(answerer.seen[1].text.startsWith(home.CombinationFile() + " was damaged: it holds "
                                                                          "2,141,409 bytes"))
        << answerer.seen[1].text.toStdString();
    EXPECT_EQ(OnDisk(FilesPersonalMusic), (Binding{"New", ""}));
    EXPECT_EQ(QDir(home.Path()).entryList({"TrinodeRun.cmb.damaged-*"}).size(), 1);
}

TEST_F(AddFormTest, EditBoxesTakeNoMoreBytesThanTheFileHolds) {
    struct Case {
        const char* name;
        const char* box;
        QString before;
        QString input;
        bool paste;
        QString expected;
    };
    const QString a(26, 'a');
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString eAcute = QString::fromUtf8("\xC3\xA9");
    const QString euro = QString::fromUtf8("\xE2\x82\xAC");
    const Case cases[] = {
        {"TypingStopsAt30", "InfoInput", "", QString(31, 'x'), false, QString(30, 'x')},
        {"TwoByteCharFillsTo30", "InfoInput", QString(28, 'a'), eAcute, false,
         QString(28, 'a') + eAcute},
        {"TwoByteCharPast30", "InfoInput", QString(29, 'a'), eAcute, false, QString(29, 'a')},
        {"TypedFourByteCharFits", "InfoInput", a, emoji, false, a + emoji},
        {"PastedFourByteCharPast30", "InfoInput", a + 'a', emoji, true, a + 'a'},
        {"Pasted100", "PathInput", "", QString(100, 'p'), true, QString(100, 'p')},
        {"Pasted101Refused", "PathInput", "/x", QString(99, 'p'), true, "/x"},
        {"ThreeByteCharFillsTo100", "PathInput", QString(97, 'p'), euro, true,
         QString(97, 'p') + euro},
        {"ThreeByteCharPast100", "PathInput", QString(98, 'p'), euro, true, QString(98, 'p')},
    };
    Open([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            auto* box = Find<QLineEdit>(c.box);
            box->setText(c.before);
            ASSERT_TRUE(FocusOn(box));
            if (c.paste) {
                QApplication::clipboard()->setText(c.input);
                QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            } else {
                Type(box, c.input);
            }
            EXPECT_EQ(box->text(), c.expected);
        }
        QTest::mouseClick(Find<QPushButton>("ClearButton"), Qt::LeftButton);
        EXPECT_EQ(Find<QLineEdit>("InfoInput")->text(), "");
        EXPECT_EQ(Find<QLineEdit>("PathInput")->text(), "");
    });
}

TEST_F(AddFormTest, BrowsePutsTheChosenTargetIntoThePathBox) {
    const QString script = QDir(home.Path()).filePath("run.sh");
    QFile(script).open(QIODevice::WriteOnly);
    const QString link = QDir(home.Path()).filePath("shortcut");
    ASSERT_TRUE(QFile::link(script, link));
    const QString target = QFileInfo(script).canonicalFilePath();
    const QString tooLong = "/" + QString(100, 'l');

    struct Step {
        const char* name;
        std::optional<QString> chosen;
        QString rememberedBefore;
        QString pathAfter;
        QString error;
    };
    const Step steps[] = {
        {"LinkYieldsItsTarget", link, "", target, ""},
        {"CancelChangesNothing", std::nullopt, target, target, ""},
        {"TooLongIsRefused", tooLong, target, target,
         "The path takes 101 bytes, more than the 100 that a shortcut can hold, so the "
         "path is left as it was."},
        {"PlainFileIsTaken", script, tooLong, target, ""},
    };
    host.sockets = {"Files", "", "Personal"};
    Open([&] {
        Find<QLineEdit>("InfoInput")->setText("kept");
        ClickItem("Socket2", "Music");
        for (const Step& step : steps) {
            SCOPED_TRACE(step.name);
            QString remembered = "<not asked>";
            fileChooser = [&](const QString& last) {
                remembered = last;
                return step.chosen;
            };
            const QString error = ErrorBoxTextOf(
                [&] { QTest::mouseClick(Find<QPushButton>("Browse"), Qt::LeftButton); });
            EXPECT_EQ(remembered, step.rememberedBefore);
            EXPECT_EQ(Find<QLineEdit>("PathInput")->text(), step.pathAfter);
            EXPECT_EQ(error, step.error);
        }
        EXPECT_EQ(Find<QLineEdit>("InfoInput")->text(), "kept");
        // Closing the error box was no new opening.
        EXPECT_EQ(Selected("Socket2"), "Music");
    });
}

TEST(LaunchableFilter, ShowsFoldersLaunchersAndProgramsOnly) {
    TemporaryHome home;
    QDir dir(home.Path());
    ASSERT_TRUE(dir.mkdir("folder"));
    struct Case {
        const char* name;
        bool executable;
        bool shown;
    };
    const Case cases[] = {
        {"tool", true, true},
        {"notes.txt", false, false},
        {"notes", false, false},
        {"App.desktop", false, true},
        {"SETUP.EXE", false, true},
        {"go.bat", false, true},
        {"a.lnk", false, true},
        {"b.com", false, true},
        {"run.sh", false, false},
        // Run hands it to the default application: no launcher to offer.
        {"Old.DESKTOP", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(dir.filePath(c.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        if (c.executable)
            file.setPermissions(file.permissions() | QFile::ExeOwner);
        EXPECT_EQ(LaunchableFilter::Shows(QFileInfo(file.fileName())), c.shown);
    }
    EXPECT_TRUE(LaunchableFilter::Shows(QFileInfo(dir.filePath("folder"))));
}

} // namespace
