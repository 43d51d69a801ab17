// Starter bindings over a made-up desktop: entries in XDG_DATA_DIRS, its
// defaults in a mimeapps.list, a terminal that x-terminal-emulator leads to
// and GNOME's favourites in a compiled schema and a key file.

#include "launcher/TMainForm.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <list>

namespace {

struct Desktop {
    Desktop() {
        const auto entry = [this](const QString& id, const QByteArray& keys) {
            desktop.Write("data/applications/" + id,
                          "[Desktop Entry]\nType=Application\nExec=/usr/bin/true\n" + keys);
        };
        entry("firefox.desktop", "Name=Firefox\nCategories=WebBrowser;\n");
        entry("chromium.desktop", "Name=Chromium\nCategories=Network;WebBrowser;\n");
        entry("mailer.desktop", "Name=Thunderbird Mail\n");
        entry("org.gnome.Nautilus.desktop", "Name=Files\n");
        entry("rhythmbox.desktop", "Name=Rhythmbox\n");
        entry("totem.desktop", "Name=Videos\nNoDisplay=true\n");
        entry("eog.desktop", "Name=Image Viewer\n");
        entry("writer.desktop", "Name=LibreOffice Writer Document Processor\n");
        entry("org.gnome.Settings.desktop", "Name=Settings\n");
        entry("gone.desktop", "Name=Gone\nCategories=Game;\nHidden=true\n");
        entry("mines.desktop", "Name=Mines\nCategories=Game;\n");
        entry("chess.desktop", "Name=Gnome Chess\nCategories=Game;\n");
        entry("term.desktop", "Name=Terminal\nExec=faketerm\n");
        desktop.Write("bin/faketerm", "#!/bin/sh\n", true);
        QFile::link(Path("bin/faketerm"), Path("bin/x-terminal-emulator"));
        desktop.Write("config/mimeapps.list",
                      "[Default Applications]\nx-scheme-handler/https=firefox.desktop\n"
                      "x-scheme-handler/mailto=mailer.desktop\ninode/directory=org.gnome.Nautilus."
                      "desktop\naudio/mpeg=rhythmbox.desktop\nvideo/mp4=totem.desktop\n"
                      "image/png=eog.desktop\napplication/vnd.oasis.opendocument.text=writer."
                      "desktop\ntext/plain=writer.desktop\n");
        desktop.Write("schemas/shell.gschema.xml",
                      "<schemalist><schema id='org.gnome.shell' path='/org/gnome/shell/'>"
                      "<key name='favorite-apps' type='as'><default>[]</default></key>"
                      "</schema></schemalist>");
        EXPECT_EQ(QProcess::execute("glib-compile-schemas", {Path("schemas")}), 0);
        desktop.Write("config/glib-2.0/settings/keyfile",
                      "[org/gnome/shell]\nfavorite-apps=['chromium.desktop', 'firefox.desktop', "
                      "'gone.desktop', 'mines.desktop', 'chess.desktop']\n");
    }
    QString Path(const QString& name) const { return desktop.Rooted("{root}/" + name); }
    // The rest of the desktop, and its settings folder again over the home's.
    QStringList Environment() const {
        return {"XDG_CONFIG_HOME=" + Path("config"), "XDG_CURRENT_DESKTOP=GNOME",
                "GSETTINGS_BACKEND=keyfile", "GSETTINGS_SCHEMA_DIR=" + Path("schemas"),
                "PATH=" + Path("bin") + ":" + qEnvironmentVariable("PATH")};
    }
    // A line of --list, {root} for the folder of the entries.
    QByteArray Line(const QByteArray& line) const {
        return QByteArray(line).replace("{app}", QFile::encodeName(Path("data/applications")));
    }
    TemporaryDesktop desktop;
};

const Desktop& MadeUp() {
    static const Desktop desktop;
    return desktop;
}

// trinode on the made-up desktop, in the test's temporary home.
QByteArray Trinode(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess trinode;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : MadeUp().Environment())
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    trinode.setProcessEnvironment(env);
    trinode.start(QString::fromLocal8Bit(qgetenv("TRINODE_BIN")), arguments);
    trinode.write(input);
    trinode.closeWriteChannel();
    EXPECT_TRUE(trinode.waitForFinished(20000));
    EXPECT_EQ(trinode.exitCode(), 0) << trinode.readAllStandardError().toStdString();
    return trinode.readAllStandardOutput();
}

struct Suggested {
    const char* scenario;
    QByteArray bound; // lines imported first
    QByteArray proposed;
};

// The defaults from music to settings, alike in every row.
const QByteArray Rest = "Music\t\t\tRhythmbox\t{app}/rhythmbox.desktop\n"
                        "Pictures\t\t\tImage Viewer\t{app}/eog.desktop\n"
                        "Office\t\t\tLibreOffice Writer Document Pr\t{app}/writer.desktop\n"
                        "System\t\t\tTerminal\t{app}/term.desktop\n"
                        "Settings\t\t\tSettings\t{app}/org.gnome.Settings.desktop\n";

class Suggests : public ::testing::TestWithParam<Suggested> {};

// Each kind's default alone on its button, a hidden default and a hidden
// favourite left out, each application once, a favourite beside its kind's
// default on the button its name starts as; then what --import binds of it,
// after which nothing is left to propose.
TEST_P(Suggests, ChordsForTheDesktopsApplicationsAndImportBindsThem) {
    const Suggested& row = GetParam();
    const Desktop& desktop = MadeUp();
    TemporaryHome home;
    if (!row.bound.isEmpty())
        Trinode({"--import", "-"}, desktop.Line(row.bound));
    const QByteArray proposed = Trinode({"--suggest"});
    EXPECT_EQ(proposed.toStdString(), desktop.Line(row.proposed).toStdString());
    Trinode({"--import", "-"}, proposed);
    QByteArrayList listed = Trinode({"--list"}).split('\n');
    QByteArrayList expected = (desktop.Line(row.bound) + proposed).split('\n');
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(Trinode({"--suggest"}), "");
}

INSTANTIATE_TEST_SUITE_P(
    MadeUpDesktop, Suggests,
    ::testing::Values(Suggested{"NothingBound", "",
                                "Internet\t\t\tFirefox\t{app}/firefox.desktop\n"
                                "Mail\t\t\tThunderbird Mail\t{app}/mailer.desktop\n"
                                "Files\t\t\tFiles\t{app}/org.gnome.Nautilus.desktop\n" +
                                    Rest +
                                    "Internet\tControl\t\tChromium\t{app}/chromium.desktop\n"
                                    "Games\t\t\tMines\t{app}/mines.desktop\n"
                                    "Games\tOne\t\tGnome Chess\t{app}/chess.desktop\n"},
                      Suggested{
                          "TheirChordsBoundKeptAndPassedOver",
                          "Internet\t\t\tWeb\t/w\nGames\t\t\tPlay\t/p\nGames\tOne\t\tPlay\t/p\n",
                          "Internet\tFiles\t\tFirefox\t{app}/firefox.desktop\n"
                          "Mail\t\t\tThunderbird Mail\t{app}/mailer.desktop\n"
                          "Files\t\t\tFiles\t{app}/org.gnome.Nautilus.desktop\n" +
                              Rest +
                              "Internet\tControl\t\tChromium\t{app}/chromium.desktop\n"
                              "Games\tMusic\t\tMines\t{app}/mines.desktop\n"
                              "Games\tTwo\t\tGnome Chess\t{app}/chess.desktop\n"},
                      Suggested{"AnApplicationBoundAlreadyPassedOver",
                                "Files\t\t\tMy Browser\t{app}/firefox.desktop\n",
                                "Mail\t\t\tThunderbird Mail\t{app}/mailer.desktop\n"
                                "Files\tOne\t\tFiles\t{app}/org.gnome.Nautilus.desktop\n" +
                                    Rest +
                                    "Internet\t\t\tChromium\t{app}/chromium.desktop\n"
                                    "Games\t\t\tMines\t{app}/mines.desktop\n"
                                    "Games\tOne\t\tGnome Chess\t{app}/chess.desktop\n"}),
    [](const auto& info) { return std::string(info.param.scenario); });

// The first start that makes the file offers them; Enter binds the ticked
// ones, and the answer is remembered.
TEST(StarterBindings, FirstStartOffersThemAndEnterBindsTheTicked) {
    const Desktop& desktop = MadeUp();
    TemporaryHome home;
    std::list<QByteArray> names;
    std::list<ScopedVariable> set;
    for (const QString& pair : desktop.Environment())
        set.emplace_back(names.emplace_back(pair.section(u'=', 0, 0).toLatin1()).constData(),
                         QFile::encodeName(pair.section(u'=', 1)));
    CombinationTable table(home.CombinationFile());
    TMainForm form(table);
    QStringList offered;
    ModalWatcher bind([&](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Bind Applications");
        auto* list = window->findChild<QTreeWidget*>("ProposalList");
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            offered << list->topLevelItem(row)->text(3);
        // Chromium stays unbound.
        list->topLevelItem(8)->setCheckState(0, Qt::Unchecked);
        QTest::keyClick(list, Qt::Key_Return);
    });
    form.show();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return bind.Seen() && !QApplication::activeModalWidget(); }, 30000));
    EXPECT_EQ(offered.size(), 11);
    EXPECT_EQ(table.FindCombination({"Internet", "", ""}).path,
              desktop.Path("data/applications/firefox.desktop"));
    EXPECT_EQ(table.FindCombination({"Internet", "Control", ""}).path, "");
    EXPECT_EQ(table.BoundCombinations().size(), 10u);
    EXPECT_TRUE(QSettings(desktop.Path("config/trinode/trinode.conf"), QSettings::IniFormat)
                    .value("StarterBindingsOffered")
                    .toBool());
}

} // namespace
