#include "editor/ShortcutChooser.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>

#include <ostream>

namespace {

struct StartCase {
    const char* name;
    QString remembered; // "{home}" stands for the home folder
    QString expectedFolder;
};

void PrintTo(const StartCase& c, std::ostream* out) {
    *out << c.name;
}

class ShortcutChooserTest : public ::testing::TestWithParam<StartCase> {
protected:
    void SetUp() override {
        // Trinode may have been started from anywhere: here, a folder that is
        // not the home.
        m_previous = QDir::currentPath();
        ASSERT_TRUE(m_elsewhere.isValid());
        ASSERT_TRUE(QDir::setCurrent(m_elsewhere.path()));
        ASSERT_TRUE(QDir(home.Path()).mkpath("programs"));
    }
    void TearDown() override { QDir::setCurrent(m_previous); }

    QString Rooted(QString text) const { return text.replace("{home}", home.Path()); }

    TemporaryHome home;

private:
    QTemporaryDir m_elsewhere;
    QString m_previous;
};

TEST_P(ShortcutChooserTest, StartsInTheHomeFolderOrAtTheRememberedPath) {
    const StartCase& c = GetParam();
    QString shown;
    ModalWatcher watcher([&](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(dialog, nullptr);
        shown = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_EQ(ShortcutChooser::Show(nullptr, Rooted(c.remembered)), std::nullopt);
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(shown.toStdString(), Rooted(c.expectedFolder).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Starts, ShortcutChooserTest,
                         ::testing::Values(StartCase{"NothingRemembered", "", "{home}"},
                                           StartCase{"ARememberedProgram", "{home}/programs/player",
                                                     "{home}/programs"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
