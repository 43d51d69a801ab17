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

// The text's own rules, not a second copy of it: the contents name the
// headings in order, every heading and sub-heading stands between empty
// lines, passages are one empty line apart, and no address of any person
// appears.
TEST(HelpText, KeepsItsLayoutRules) {
    const QStringList& text = HelpLines();
    ASSERT_FALSE(text.isEmpty());
    ASSERT_FALSE(text.first().isEmpty());
    EXPECT_EQ(text.last(), "===== END =====");
    QStringList headings;
    for (int i = 1; i < text.size(); ++i) {
        const QString& line = text[i];
        EXPECT_FALSE(line.isEmpty() && text[i - 1].isEmpty()) << "two empty lines at " << i;
        EXPECT_FALSE(line.contains('@') || line.contains("http") || line.contains("www")) << i;
        if (line.startsWith("===== ") || line.startsWith("=> ")) {
            EXPECT_TRUE(text[i - 1].isEmpty()) << line.toStdString();
            EXPECT_TRUE(i + 1 == text.size() || text[i + 1].isEmpty()) << line.toStdString();
        }
        if (line.startsWith("=> ") && line != "=> General Help <=") {
            EXPECT_TRUE(line.endsWith(':')) << line.toStdString();
        }
        if (line.startsWith("===== ") && line != text.last())
            headings.append(line.mid(6).chopped(6));
    }
    const int contents = text.indexOf("=> General Help <=") + 2;
    EXPECT_EQ(text.mid(contents, headings.size() + 1), headings + QStringList{""});
}

// The help speaks of this program, on Linux, and names the keys of its
// window; what it said of another system is gone.
TEST(HelpText, TellsOfThisSystemAndItsKeys) {
    const QString text = HelpLines().join('\n');
    const struct {
        const char* words;
        bool said;
    } rows[] = {
        {"Designed for Linux desktops", true},
        {"\nCtrl+F, F3 - the list of bound combinations", true},
        {"\nCtrl+K - chooses the key that brings Trinode up", true},
        {"\nReturn, Enter - runs the combination", true},
        {"Windows", false},
        {"C:\\", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(text.contains(row.words), row.said) << row.words;
}

class HelpForm : public ::testing::Test {
protected:
    THelpForm form;
    // The box is made when the window first shows.
    QPlainTextEdit* info = (form.show(), form.hide(), form.findChild<QPlainTextEdit*>("Info"));
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

TEST_F(HelpForm, LayoutOnScreenAndLongLinesWrap) {
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

    // Long lines wrap instead of scrolling: the help's own lines fit the box
    // in a narrow face; a line of all of them does not in any.
    info->appendPlainText(HelpLines().join(' '));
    const QTextBlock block = info->document()->lastBlock();
    ASSERT_GT(QFontMetrics(info->font()).horizontalAdvance(block.text()),
              info->viewport()->width());
    info->document()->documentLayout()->blockBoundingRect(block);
    EXPECT_GT(block.layout()->lineCount(), 1);
    EXPECT_EQ(info->horizontalScrollBar()->maximum(), 0);
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
