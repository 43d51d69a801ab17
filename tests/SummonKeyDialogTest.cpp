#include "keydialog/SummonKeyDialog.h"
#include "summon/Autostart.h"
#include "summon/SummonSettings.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>

// The dialog records the keys pressed in it, applies them as --bind-key does
// and says the outcome in its own words.
struct KeyRow {
    const char* scenario;
    const char* desktop; // XDG_CURRENT_DESKTOP
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* said;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
    *out << row.scenario;
}

// A home of its own, whose settings and autostart entries the dialog writes,
// on the desktop given.
struct DialogHome final {
    explicit DialogHome(const char* desktop = "") {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.FilePath(".config")));
        qputenv("XDG_CURRENT_DESKTOP", desktop);
        qunsetenv("DISPLAY");
    }
    ~DialogHome() {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    TemporaryHome home;
};

class SummonKeyDialogKeys : public ::testing::TestWithParam<KeyRow> {};

TEST_P(SummonKeyDialogKeys, SaysTheOutcome) {
    const KeyRow& row = GetParam();
    const DialogHome home(row.desktop);
    SummonKeyDialog dialog;
    dialog.show();
    auto* edit = dialog.findChild<QKeySequenceEdit*>();
    ASSERT_TRUE(edit);
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
    edit->clear();
    QTest::keyClick(edit, row.key, row.modifiers);
    dialog.findChild<QPushButton*>("SetKey")->click();
    const QLabel* outcome = nullptr;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->accessibleName() == "Outcome")
            outcome = label;
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->text().contains(row.said)) << outcome->text().toStdString();
    // Every wrapped line of it shows.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return outcome->height() >= outcome->heightForWidth(outcome->width()); }))
        << outcome->height() << " of " << outcome->heightForWidth(outcome->width());
}

INSTANTIATE_TEST_SUITE_P(Rows, SummonKeyDialogKeys,
                         ::testing::Values(KeyRow{"sway_gets_its_line", "sway", Qt::Key_Space,
                                                  Qt::ControlModifier | Qt::AltModifier,
                                                  "bindsym Control+Mod1+space exec"},
                                           KeyRow{"typing_key_refused", "sway", Qt::Key_T,
                                                  Qt::NoModifier, "T needs Ctrl, Alt or Meta"},
                                           KeyRow{"elsewhere_by_hand", "Sugar", Qt::Key_T,
                                                  Qt::MetaModifier,
                                                  "cannot set a key on Sugar from outside"}),
                         [](const auto& info) { return std::string(info.param.scenario); });

// The check boxes are remembered at once: the autostart entry comes and goes,
// and "Don't ask again" stops the window's hint for good.
TEST(SummonKeyDialog, CheckBoxesAreKept) {
    const DialogHome home;
    SummonKeyDialog dialog;
    QCheckBox* autostart = nullptr;
    QCheckBox* dontAsk = nullptr;
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        (box->text().contains("log in") ? autostart : dontAsk) = box;
    ASSERT_TRUE(autostart && dontAsk);
    EXPECT_TRUE(SummonSettings().HintWanted());
    autostart->click();
    EXPECT_TRUE(QFile::exists(home.home.FilePath(".config/autostart/trinode.desktop")));
    autostart->click();
    EXPECT_FALSE(Autostart::Enabled());
    dontAsk->click();
    EXPECT_FALSE(SummonSettings().HintWanted());
    EXPECT_TRUE(SummonKeyDialog().findChildren<QCheckBox*>().last()->isChecked());
}
