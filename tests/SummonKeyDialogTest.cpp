#include "keydialog/SummonKeyDialog.h"
#include "keydialog/ShortcutField.h"
#include "summon/Autostart.h"
#include "summon/SummonSettings.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The field records keys only once asked; until then Enter sets the key shown
// and Esc closes. The key set is applied as --bind-key applies it and the
// outcome said in the dialog's own words.
enum class Start { Not, ClickInField, RecordsLetter };

struct KeyRow {
    const char* scenario;
    const char* desktop; // XDG_CURRENT_DESKTOP
    Start start;         // how the recording starts, if at all
    const char* keys;
    const char* shown; // the field's key afterwards
    bool open;         // the dialog is still open
    const char* said;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
    *out << row.scenario;
}

// A home of its own, whose settings and autostart entries the dialog writes,
// on the desktop given.
struct DialogHome final {
    explicit DialogHome(const char* desktop = "")
        : currentDesktop("XDG_CURRENT_DESKTOP", desktop) {}
    TemporaryHome home;
    ScopedVariable config{"XDG_CONFIG_HOME", QFile::encodeName(home.FilePath(".config"))};
    ScopedVariable currentDesktop;
    ScopedVariable display{"DISPLAY", std::nullopt};
};

const QLabel* Outcome(const QDialog& dialog) {
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->accessibleName() == "Outcome")
            return label;
    return nullptr;
}

class SummonKeyDialogKeys : public ::testing::TestWithParam<KeyRow> {};

TEST_P(SummonKeyDialogKeys, RecordOnlyWhenAsked) {
    const KeyRow& row = GetParam();
    const DialogHome home(row.desktop);
    SummonKeyDialog dialog;
    dialog.show();
    auto* field = dialog.findChild<ShortcutField*>();
    ASSERT_TRUE(field);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
    if (row.start == Start::ClickInField)
        QTest::mouseClick(field->findChild<QLineEdit*>(), Qt::LeftButton);
    if (row.start == Start::RecordsLetter)
        QTest::keyClick(field, Qt::Key_R, Qt::AltModifier);
    if (row.start != Start::Not) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return field->Recording() && field->hasFocus(); }));
    }
    const QKeySequence keys = QKeySequence::fromString(row.keys);
    for (int i = 0; i < keys.count(); ++i)
        QTest::keyClick(QApplication::focusWidget(), keys[i].key(), keys[i].keyboardModifiers());
    EXPECT_EQ(field->keySequence().toString(), row.shown);
    EXPECT_FALSE(field->Recording());
    EXPECT_EQ(dialog.isVisible(), row.open);
    const QLabel* outcome = Outcome(dialog);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->text().contains(row.said)) << outcome->text().toStdString();
    // Every wrapped line of it shows.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return outcome->height() >= outcome->heightForWidth(outcome->width());
    })) << outcome->height()
        << " of " << outcome->heightForWidth(outcome->width());
}

// Keys are written as Qt writes a sequence: "Meta+T, Return" is two presses.
INSTANTIATE_TEST_SUITE_P(
    Rows, SummonKeyDialogKeys,
    ::testing::Values(KeyRow{"sway_gets_its_line", "sway", Start::ClickInField,
                             "Ctrl+Alt+Space, Return", "Ctrl+Alt+Space", true,
                             "bindsym Control+Mod1+space exec"},
                      KeyRow{"typing_key_refused", "sway", Start::ClickInField, "T, Return", "T",
                             true, "T needs Ctrl, Alt or Meta"},
                      KeyRow{"elsewhere_by_hand", "Sugar", Start::ClickInField, "Meta+T, Return",
                             "Meta+T", true, "cannot set a key on Sugar from outside"},
                      KeyRow{"record_button_by_its_letter", "sway", Start::RecordsLetter,
                             "Meta+T, Return", "Meta+T", true, "bindsym Mod4+t exec"},
                      KeyRow{"enter_sets_the_key_shown", "sway", Start::Not, "Return",
                             "Ctrl+Alt+Space", true, "bindsym Control+Mod1+space exec"},
                      KeyRow{"esc_closes", "sway", Start::Not, "Esc", "Ctrl+Alt+Space", false, ""},
                      KeyRow{"esc_while_recording_keeps_the_key", "sway", Start::ClickInField,
                             "Esc", "Ctrl+Alt+Space", true, ""}),
    [](const auto& info) { return std::string(info.param.scenario); });

// The dialog is made once and opened again and again: each opening shows the
// key, the autostart entry and "Don't ask again" as they are then, after
// trinode changed them from a terminal, and none of the last outcome. The
// boxes are kept at once.
TEST(SummonKeyDialog, EveryOpeningShowsWhatIsSetNow) {
    const DialogHome home("sway");
    ASSERT_EQ(SummonSettings().RememberBound({"Meta+T", "sway", "config", false}), "");
    SummonKeyDialog dialog;
    QCheckBox* autostart = nullptr;
    QCheckBox* dontAsk = nullptr;
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        (box->text().contains("log in") ? autostart : dontAsk) = box;
    ASSERT_TRUE(autostart && dontAsk);
    auto* field = dialog.findChild<ShortcutField*>();
    dialog.show();
    EXPECT_EQ(field->keySequence().toString(), "Meta+T");
    EXPECT_FALSE(autostart->isChecked() || dontAsk->isChecked());
    autostart->click();
    EXPECT_TRUE(QFile::exists(home.home.FilePath(".config/autostart/trinode.desktop")));
    autostart->click();
    EXPECT_FALSE(Autostart::Enabled());
    dontAsk->click();
    EXPECT_TRUE(SummonSettings().DontAsk());
    dialog.reject();

    for (const auto& [arguments, status] :
         {std::pair{QStringList{"--autostart", "on"}, 0}, {QStringList{"--unbind-key"}, 4}}) {
        QProcess trinode;
        trinode.start(qEnvironmentVariable("TRINODE_BIN"), arguments);
        ASSERT_TRUE(trinode.waitForFinished(30000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(trinode.exitCode(), status) << trinode.readAllStandardError().toStdString();
    }
    dialog.show();
    EXPECT_EQ(field->keySequence().toString(), "Ctrl+Alt+Space");
    EXPECT_TRUE(autostart->isChecked() && dontAsk->isChecked());
    EXPECT_EQ(Outcome(dialog)->text(), "");
    // A screen reader reads the key as the focus reaches the field.
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(field);
    ASSERT_TRUE(read && read->textInterface());
    EXPECT_EQ(read->text(QAccessible::Name), "Shortcut");
    EXPECT_EQ(read->textInterface()->text(0, read->textInterface()->characterCount()),
              "Ctrl+Alt+Space");
}
