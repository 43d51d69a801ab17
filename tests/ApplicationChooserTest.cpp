// The editor's chooser of the desktop's applications over made-up entries
// in XDG_DATA_HOME and XDG_DATA_DIRS: what is listed, what typed words keep,
// what picking fills in, and what the next Enter does.

#include "editor/ApplicationChooser.h"
#include "editor/EditorHost.h"
#include "editor/TAddForm.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QBuffer>
#include <QIcon>
#include <QImage>
#include <QTest>

namespace {

const QByteArray LongFolder(60, 'f');
// 31 bytes: the last letter takes two, and does not fit.
const QString CafeName = QStringLiteral("Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e du mati\u00e9");

struct Entries {
    Entries() {
        const auto write = [this](const QString& file, const QByteArray& keys) {
            desktop.Write(file, "[Desktop Entry]\nType=Application\nExec=/usr/bin/true\n" + keys);
        };
        write("data/applications/zeta.desktop",
              "Name=Zeta Editor\nKeywords=text;write;\nIcon=accessories-text-editor\n");
        write("data/applications/omega.desktop", "Name=omega player\nIcon=no-such-icon\n");
        QImage red(24, 24, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        red.save(&buffer, "PNG");
        desktop.Write("icons/cafe.png", png);
        write("data/applications/cafe.desktop",
              "Name=" + CafeName.toUtf8() + "\nIcon={root}/icons/cafe.png\n");
        write("data/applications/uxterm.desktop", "Name=UXTerm\n");
        write("data/applications/xterm.desktop", "Name=XTerm\n");
        write("data/applications/xtermtabs.desktop", "Name=XTerm Tabs\n");
        write("data-dirs/applications/secret.desktop", "Name=Secret Tool\nNoDisplay=true\n");
        write("data-dirs/applications/gone.desktop", "Name=Gone Tool\nHidden=true\n");
        write("data-dirs/applications/" + LongFolder + "/long.desktop", "Name=Long Path Tool\n");
    }
    QString Path(const QString& name) const { return desktop.Rooted("{root}/" + name); }
    TemporaryDesktop desktop;
};

const Entries& MadeUp() {
    static const Entries entries;
    return entries;
}

class NoHost final : public EditorHost {
public:
    Combination CombinationToEdit() const override { return {}; }
    void RefreshCurrent() override {}
};

struct Pick {
    const char* scenario;
    QString typed;
    QStringList listed;
    QString info;  // what the information box holds afterwards ("" as it was)
    QString path;  // relative to the entries' root; "" as it was
    QString error; // the start of the error box's text
};

void PrintTo(const Pick& row, std::ostream* out) {
    *out << row.scenario;
}

class PicksAnApplication : public ::testing::TestWithParam<Pick> {};

TEST_P(PicksAnApplication, AndFillsInItsPathAndName) {
    const Pick& row = GetParam();
    const Entries& entries = MadeUp();
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    table.CreateDefaultFile();
    NoHost host;
    TAddForm form(table, host);
    auto* info = form.findChild<QLineEdit*>("InfoInput");
    auto* path = form.findChild<QLineEdit*>("PathInput");
    info->setText(row.info.isEmpty() ? QStringLiteral("Kept") : QString());
    path->setText(QStringLiteral("kept"));

    QStringList listed;
    const QString error = ErrorBoxTextOf([&] {
        ModalWatcher chooser([&](QWidget* window) {
            auto* count = window->findChild<QLabel*>("CountLabel");
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return !count->text().startsWith("Reading"); }, 20000));
            const QAbstractItemModel* shown = window->findChild<QListView*>()->model();
            // The first row's icon comes once the list has been drawn.
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    const auto icon = shown->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
                    return qAlpha(icon.pixmap(24).toImage().pixel(12, 12)) > 0;
                },
                20000));
            QTest::keyClicks(window->findChild<QLineEdit*>("FilterBox"), row.typed);
            for (int r = 0; r < shown->rowCount(); ++r)
                listed << shown->index(r, 0).data().toString();
            QTest::keyClick(window->findChild<QLineEdit*>("FilterBox"),
                            listed.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
        });
        form.findChild<QPushButton*>("ApplicationsButton")->click();
        EXPECT_TRUE(chooser.Seen());
    });
    EXPECT_EQ(listed, row.listed);
    EXPECT_EQ(error.left(row.error.size()), row.error);
    EXPECT_EQ(info->text(), row.info.isEmpty() ? QStringLiteral("Kept") : row.info);
    EXPECT_EQ(path->text(), row.path.isEmpty() ? QStringLiteral("kept") : entries.Path(row.path));
}

const QStringList All{CafeName, "Long Path Tool", "omega player", "UXTerm",
                      "XTerm",  "XTerm Tabs",     "Zeta Editor"};

// What the open chooser lists, once it has read the catalogue.
QStringList Listed(QWidget* chooser) {
    QStringList listed;
    const QAbstractItemModel* shown = chooser->findChild<QListView*>()->model();
    for (int r = 0; r < shown->rowCount(); ++r)
        listed << shown->index(r, 0).data().toString();
    return listed;
}

INSTANTIATE_TEST_SUITE_P(
    MadeUpEntries, PicksAnApplication,
    ::testing::Values(
        Pick{"FirstOfAllSortedByName", "", All, CafeName.chopped(1),
             "data/applications/cafe.desktop", ""},
        Pick{
            "ByName", "zeta", {"Zeta Editor"}, "Zeta Editor", "data/applications/zeta.desktop", ""},
        Pick{"ByKeywordIgnoringCase",
             "TEXT",
             {"Zeta Editor"},
             "Zeta Editor",
             "data/applications/zeta.desktop",
             ""},
        Pick{"EveryWordAndAMissingIcon",
             "omega play",
             {"omega player"},
             "omega player",
             "data/applications/omega.desktop",
             ""},
        Pick{"NeverNoDisplayNorHidden", "tool", {"Long Path Tool"}, "", "", "The path takes"},
        Pick{"NothingLeft", "secret", {}, "", "", ""},
        // The whole name typed, then names that start with it, above names
        // that hold it.
        Pick{"ThatNameFirst",
             " xterm ",
             {"XTerm", "XTerm Tabs", "UXTerm"},
             "XTerm",
             "data/applications/xterm.desktop",
             ""},
        Pick{"StartingWithItNext",
             "xterm t",
             {"XTerm Tabs", "UXTerm", "XTerm"},
             "XTerm Tabs",
             "data/applications/xtermtabs.desktop",
             ""},
        Pick{"ThenHoldingIt",
             "XTE",
             {"XTerm", "XTerm Tabs", "UXTerm"},
             "XTerm",
             "data/applications/xterm.desktop",
             ""}),
    [](const auto& info) { return std::string(info.param.scenario); });

// Whatever had the focus before, the Enter after a choice binds it; the
// chosen name replaces the information kept from the last binding, not the
// one the user typed in this opening.
struct EnterRow {
    const char* scenario;
    std::function<void(TAddForm&)> before;
    bool byLetter; // Alt+A rather than a click on Applications...
    const char* info;
};

void PrintTo(const EnterRow& row, std::ostream* out) {
    *out << row.scenario;
}

class EnterAfterAChoice : public ::testing::TestWithParam<EnterRow> {};

TEST_P(EnterAfterAChoice, BindsWhatWasChosen) {
    const EnterRow& row = GetParam();
    const Entries& entries = MadeUp();
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    table.CreateDefaultFile();
    NoHost host;
    TAddForm form(table, host);
    form.findChild<QLineEdit*>("InfoInput")->setText("Quill Notes");
    ModalWatcher dialog([&](QWidget*) {
        row.before(form);
        ModalWatcher chooser([&](QWidget* window) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return Listed(window) == All; }, 20000));
            QTest::keyClicks(window->findChild<QLineEdit*>("FilterBox"), "zeta");
            QTest::keyClick(window->findChild<QLineEdit*>("FilterBox"), Qt::Key_Return);
        });
        auto* applications = form.findChild<QPushButton*>("ApplicationsButton");
        if (row.byLetter)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
        else
            QTest::mouseClick(applications, Qt::LeftButton);
        // The window manager's part: the dialog is active again once the
        // chooser has gone.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return chooser.Seen() &&
                   !QApplication::activeModalWidget()->inherits("ApplicationChooser");
        }));
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return QApplication::focusWidget() && QApplication::focusWidget()->window() == &form;
        }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (form.isVisible())
            form.reject();
    });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    const Binding bound = table.FindCombination({});
    EXPECT_EQ(bound.info, row.info);
    EXPECT_EQ(bound.path, entries.Path("data/applications/zeta.desktop"));
}

INSTANTIATE_TEST_SUITE_P(
    MadeUpEntries, EnterAfterAChoice,
    ::testing::Values(EnterRow{"AfterAClickOnApplications", [](TAddForm&) {}, false, "Zeta Editor"},
                      EnterRow{"AfterAClickOnClear",
                               [](TAddForm& form) {
                                   QTest::mouseClick(form.findChild<QPushButton*>("ClearButton"),
                                                     Qt::LeftButton);
                               },
                               true, "Zeta Editor"},
                      EnterRow{"TypedInformationStays",
                               [](TAddForm& form) {
                                   auto* info = form.findChild<QLineEdit*>("InfoInput");
                                   info->clear();
                                   QTest::keyClicks(info, "My editor");
                               },
                               false, "My editor"}),
    [](const auto& info) { return std::string(info.param.scenario); });

// The folders are walked at every opening: an application installed
// meanwhile is listed, and links that lead back into a folder, which GIO's
// own walk follows for ever, cost nothing. Each opening starts with the
// whole list, whatever was typed in the last.
TEST(ApplicationCatalogue, ListsTheFoldersAsTheyAreAtEachOpening) {
    TemporaryDesktop desktop;
    const auto write = [&](const QString& file, const QByteArray& name) {
        desktop.Write(file, "[Desktop Entry]\nType=Application\nExec=true\nName=" + name);
    };
    write("data/applications/mine.desktop", "Mine");
    write("data-dirs/applications/sub/deep.desktop", "Deep");
    ASSERT_TRUE(QFile::link("..", desktop.Rooted("{root}/data-dirs/applications/sub/loop")));
    ASSERT_TRUE(
        QFile::link("../applications", desktop.Rooted("{root}/data-dirs/applications/self")));
    ApplicationCatalogue catalogue;
    ApplicationChooser chooser(catalogue);
    for (const QStringList& expected : {QStringList{"Deep", "Mine"}, {"Deep", "Mine", "New"}}) {
        ModalWatcher watcher([&](QWidget* window) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(window) == expected; }, 5000))
                << Listed(window).join(',').toStdString();
            QTest::keyClicks(window->findChild<QLineEdit*>("FilterBox"), "mine");
            window->close();
        });
        EXPECT_EQ(chooser.Choose(), std::nullopt);
        EXPECT_TRUE(watcher.Seen());
        write("data/applications/new.desktop", "New");
    }
}

} // namespace
