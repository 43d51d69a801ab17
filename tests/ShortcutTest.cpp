#include "summon/Shortcut.h"

#include <gtest/gtest.h>

// One shortcut as the user writes it, in each desktop's notation, and read
// back from GTK's: the same shortcut whichever way it came.
TEST(Shortcut, EachNotationNamesTheSameKey) {
    const struct {
        const char* portable;
        const char* accelerator; // with <Primary> for Ctrl; empty: refused
        const char* sway;
    } rows[] = {
        {"Ctrl+Alt+Space", "<Primary><Alt>space", "Control+Mod1+space"},
        {"Meta+T", "<Super>t", "Mod4+t"},
        {"Ctrl+Shift+F", "<Primary><Shift>f", "Control+Shift+f"},
        {"Alt+Shift+Meta+Return", "<Alt><Shift><Super>Return", "Mod1+Shift+Mod4+Return"},
        {"F12", "F12", "F12"},
        {"Shift+F5", "<Shift>F5", "Shift+F5"},
        {"Print", "Print", "Print"},
        // Keys that other programs need for typing.
        {"T", "", ""},
        {"Shift+T", "", ""},
        {"Shift+Space", "", ""},
        {"PgDown", "", ""},
        {"Ctrl+Alt+Space, T", "", ""},
    };
    for (const auto& row : rows) {
        QString why;
        const std::optional<Shortcut> shortcut =
            Shortcut::FromPortableText(QString::fromLatin1(row.portable), &why);
        if (*row.accelerator == '\0') {
            EXPECT_FALSE(shortcut) << row.portable;
            EXPECT_FALSE(why.isEmpty()) << row.portable;
            continue;
        }
        ASSERT_TRUE(shortcut) << row.portable << ": " << why.toStdString();
        EXPECT_EQ(shortcut->Accelerator("Primary"), QLatin1String(row.accelerator)) << row.portable;
        EXPECT_EQ(shortcut->SwayNotation(), QLatin1String(row.sway)) << row.portable;
        const QString control = shortcut->Accelerator("Control");
        for (const QString& written : {QString::fromLatin1(row.accelerator), control})
            EXPECT_EQ(Shortcut::FromAccelerator(written), shortcut) << written.toStdString();
    }
    EXPECT_EQ(Shortcut::FromAccelerator("<Control><Mod1>Space"),
              Shortcut::FromPortableText("Ctrl+Alt+Space", nullptr));
    for (const char* nothing : {"", "disabled", "/usr/bin/trinode", "<Primary>"})
        EXPECT_FALSE(Shortcut::FromAccelerator(nothing)) << nothing;
}
