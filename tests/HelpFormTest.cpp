#include "help/HelpText.h"
#include "help/THelpForm.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <vector>

namespace {

const QStringList& Text = HelpLines();

QString Spaces(int count) {
    return QString(count, QLatin1Char(' '));
}

// The paragraph starting at a line: the lines up to the next empty one.
QStringList ParagraphAt(int index) {
    QStringList paragraph;
    while (index >= 0 && index < Text.size() && !Text[index].isEmpty())
        paragraph.append(Text[index++]);
    return paragraph;
}

// The paragraph after the one starting at a line, past one empty line.
QStringList ParagraphAfter(int index) {
    return ParagraphAt(index + ParagraphAt(index).size() + 1);
}

} // namespace

TEST(HelpText, BannerContentsAndHeadingsInOrder) {
    const QStringList sections{"1. Using Trinode", "2. Adding Shortcuts", "3. FAQ",
                               "4. Troubleshooting", "5. Etc."};
    const QStringList banner{"==========================",
                             "========== Trinode ==========",
                             "==========================",
                             "",
                             "Version 1.00",
                             "Designed for Windows XP",
                             "",
                             "=> General Help <=",
                             ""};
    EXPECT_EQ(Text.mid(0, banner.size()), banner);
    EXPECT_EQ(Text.mid(banner.size(), sections.size() + 1), sections + QStringList{""});

    QStringList headings;
    QStringList subHeadings;
    for (const QString& line : Text) {
        if (line.startsWith("===== "))
            headings.append(line);
        else if (line.startsWith("=> ") && line != "=> General Help <=")
            subHeadings.append(line);
    }
    QStringList expected;
    for (const QString& section : sections)
        expected.append("===== " + section + " =====");
    EXPECT_EQ(headings, expected + QStringList{"===== END ====="});
    EXPECT_EQ(subHeadings, (QStringList{"=> Running a program:", "=> Removing a button:",
                                        "=> Button allocations:", "=> Adding a shortcut:"}));
    EXPECT_EQ(Text.last(), "===== END =====");
}

TEST(HelpText, OneEmptyLineBetweenPassages) {
    ASSERT_FALSE(Text.first().isEmpty());
    for (int i = 1; i < Text.size(); ++i) {
        EXPECT_FALSE(Text[i].isEmpty() && Text[i - 1].isEmpty()) << "two empty lines at " << i;
        if (Text[i].startsWith("===== ") || Text[i].startsWith("=> ")) {
            EXPECT_TRUE(Text[i - 1].isEmpty()) << Text[i].toStdString();
            EXPECT_TRUE(i + 1 == Text.size() || Text[i + 1].isEmpty()) << Text[i].toStdString();
        }
    }
}

TEST(HelpText, AllocationsListEveryButtonInOrder) {
    const QStringList allocations{
        "Blue S - System",      "Blue F - Files",         "Blue N - Network",
        "Blue C - Control",     "Green A - Applications", "Green P - Personal",
        "Green G - Games",      "Yellow V - Videos",      "Yellow M - Music",
        "Yellow P - Pictures",  "Orange I - Internet",    "Orange M - Mail",
        "Pink P - Projects",    "Pink O - Office",        "Purple D - Display",
        "White S - Settings",   "White T - Trash",        "Teal H - Help",
        "Gray U - User",        "Purple 1 - Variance 1",  "Purple 2 - Variance 2",
        "Purple 3 - Variance 3"};
    EXPECT_EQ(ParagraphAfter(Text.indexOf("=> Button allocations:")), allocations);
}

TEST(HelpText, ExamplesKeepTheirSpacing) {
    const int sockets = Text.indexOf("eg.");
    EXPECT_EQ(Text.mid(sockets, 5),
              (QStringList{"eg.", "", "Socket1" + Spaces(5) + "Socket2" + Spaces(5) + "Socket3",
                           QString(38, QLatin1Char('-')), "Files" + Spaces(29) + "Personal"}));

    const QString before = Spaces(5) + "Files" + Spaces(4) + "Personal" + Spaces(3) + "Music" +
                           Spaces(21) + "|" + Spaces(51) + "|";
    const QString after = Spaces(4) + "Files" + Spaces(4) + "Personal" + Spaces(3) + "Music" +
                          Spaces(2) + "Media Player" + Spaces(21) + "C:\\...\\wmplayer.exe";
    const QStringList handEdit{"eg.",     "", "...", "...", before, "...", "...", "",
                               "becomes", "", "...", "...", after,  "...", "...", ""};
    const int edit = Text.indexOf("eg.", sockets + 1);
    EXPECT_EQ(Text.mid(edit, handEdit.size()), handEdit);
    EXPECT_EQ(Text[edit + handEdit.size()], "===== 4. Troubleshooting =====");
}

TEST(HelpText, PassagesHaveTheirLineCounts) {
    struct Passage {
        const char* name;
        QStringList lines;
        int count;
    };
    const int sectionOne = Text.indexOf("===== 1. Using Trinode =====");
    const int sectionTwo = Text.indexOf("===== 2. Adding Shortcuts =====");
    const int socketExample = Text.indexOf("Socket1     Socket2     Socket3");
    const int etc = Text.indexOf("===== 5. Etc. =====");
    const std::vector<Passage> passages{
        {"introduction", ParagraphAfter(sectionOne), 4},
        {"advice", ParagraphAfter(Text.indexOf("Blue S - System")), 3},
        {"adding introduction", ParagraphAfter(sectionTwo), 3},
        {"empty socket remark", ParagraphAfter(socketExample), 3},
        {"step 2", ParagraphAt(Text.indexOf("eg.") - 3), 4},
        {"hint", ParagraphAt(Text.indexOf("HINT:")), 4},
        {"third question", ParagraphAt(Text.indexOf("word processor?") - 1), 6},
        {"troubleshooting", ParagraphAfter(Text.indexOf("===== 4. Troubleshooting =====")), 3},
    };
    for (const Passage& passage : passages)
        EXPECT_EQ(passage.lines.size(), passage.count) << passage.name;

    EXPECT_TRUE(passages[1].lines.first().endsWith(' '));
    EXPECT_FALSE(passages[1].lines.last().endsWith(' '));
    EXPECT_EQ(passages[2].lines.last(), "are more than 12000 possible combinations!");

    // Contact lines, then the slogan and the end; no address of any person.
    const QStringList contact = ParagraphAfter(etc);
    ASSERT_FALSE(contact.isEmpty());
    for (const QString& line : contact)
        EXPECT_FALSE(line.contains('@') || line.contains("http") || line.contains("www"));
    EXPECT_EQ(Text.mid(etc + contact.size() + 2),
              (QStringList{"", "Trinode - Button Orientated Interface for the new millenium...", "",
                           "===== END ====="}));
}

class HelpForm : public ::testing::Test {
protected:
    THelpForm form;
    QPlainTextEdit* info = form.findChild<QPlainTextEdit*>("Info");
    QPushButton* ok = form.findChild<QPushButton*>("OKButton");

    // Runs the window modally, hands it to action, and returns its result.
    int Run(const std::function<void()>& action) {
        ModalWatcher watcher([&](QWidget*) {
            action();
            if (form.isVisible())
                form.done(42);
        });
        return form.exec();
    }
};

TEST_F(HelpForm, LayoutOnScreen) {
    ASSERT_TRUE(info && ok);
    form.show();
    EXPECT_EQ(form.windowTitle(), "Help");
    EXPECT_EQ(form.size(), QSize(441, 521));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(info->geometry(), QRect(8, 8, 425, 473));
    EXPECT_EQ(ok->geometry(), QRect(360, 488, 75, 25));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(ok->icon().isNull());
    EXPECT_LE(
        (form.frameGeometry().center() - form.screen()->geometry().center()).manhattanLength(), 2);
    EXPECT_EQ(form.focusWidget(), info);
    EXPECT_EQ(info->verticalScrollBar()->value(), 0);
    EXPECT_EQ(info->cursorForPosition(QPoint(0, 0)).blockNumber(), 0);
    form.close();
}

// Keys go where a person's would: to the widget that has the focus.
TEST_F(HelpForm, KeysThatCloseAndKeysThatDoNot) {
    struct Scenario {
        const char* name;
        std::vector<Qt::Key> keys;
        int result; // 42: still open after the keys
    };
    const std::vector<Scenario> scenarios{
        {"Esc in the text box", {Qt::Key_Escape}, 42},
        {"Esc on OK", {Qt::Key_Tab, Qt::Key_Escape}, 42},
        {"Return in the text box", {Qt::Key_Return}, 42},
        {"keypad Enter in the text box", {Qt::Key_Enter}, 42},
        {"Tab then Return", {Qt::Key_Tab, Qt::Key_Return}, QDialog::Accepted},
        {"Tab then Space", {Qt::Key_Tab, Qt::Key_Space}, QDialog::Accepted},
        {"Tab twice returns to the text box", {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}, 42},
    };
    for (const Scenario& scenario : scenarios) {
        info->setFocus();
        const int result = Run([&] {
            for (Qt::Key key : scenario.keys)
                QTest::keyClick(form.focusWidget(), key);
        });
        EXPECT_EQ(result, scenario.result) << scenario.name;
    }
}

TEST_F(HelpForm, TypingChangesNothingButCopyWorks) {
    const QString text = info->toPlainText();
    QApplication::clipboard()->setText("pasted");
    form.show();
    QTest::keyClicks(info, "abc");
    for (const QKeySequence::StandardKey key :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Delete})
        QTest::keySequence(info, key);
    QTest::keyClick(info, Qt::Key_Backspace);
    EXPECT_EQ(info->toPlainText(), text);
    EXPECT_EQ(text, HelpLines().join('\n'));

    QTest::keySequence(info, QKeySequence::SelectAll);
    QTest::keySequence(info, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), text);
    form.close();
}

TEST_F(HelpForm, CloseBoxHidesAndScrollAndSelectionSurvive) {
    int scrolled = 0;
    const int first = Run([&] {
        QScrollBar* bar = info->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        QTest::mouseClick(info->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
        QTest::keyClick(info, Qt::Key_Down, Qt::ShiftModifier);
        scrolled = bar->value();
        form.close();
    });
    EXPECT_EQ(first, QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    ASSERT_GT(scrolled, 0);
    const QString selected = info->textCursor().selectedText();
    ASSERT_FALSE(selected.isEmpty());

    int reopened = -1;
    Run([&] { reopened = info->verticalScrollBar()->value(); });
    EXPECT_EQ(reopened, scrolled);
    EXPECT_EQ(info->textCursor().selectedText(), selected);
}

TEST_F(HelpForm, LongLinesWrapInsteadOfScrolling) {
    form.show();
    // The help's own lines fit the box in a narrow face; a line of all of
    // them does not in any.
    info->appendPlainText(HelpLines().join(' '));
    const QTextBlock block = info->document()->lastBlock();
    ASSERT_GT(QFontMetrics(info->font()).horizontalAdvance(block.text()),
              info->viewport()->width());
    info->document()->documentLayout()->blockBoundingRect(block);
    EXPECT_GT(block.layout()->lineCount(), 1);
    EXPECT_EQ(info->horizontalScrollBar()->maximum(), 0);
    form.close();
}
