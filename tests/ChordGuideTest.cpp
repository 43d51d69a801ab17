// The chord guide's model over a table with chords bound under Files: what
// one and two presses lead to, and what it says.

#include "store/ChordGuide.h"
#include "store/AssignProgress.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct GuideRow {
    const char* scenario;
    Combination sockets;
    QString text;
    QStringList marked; // the buttons that lead on
};

class Guide : public ::testing::TestWithParam<GuideRow> {};

TEST_P(Guide, SaysWhereEachNextButtonLeads) {
    const GuideRow& row = GetParam();
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    table.CreateDefaultFile();
    NoProgress none;
    table.AssignCombinations({{{"Files", "Music", ""}, {"Music player", "/m"}},
                              {{"Files", "Pictures", ""}, {"Photos", "/p"}},
                              {{"Files", "Pictures", "Two"}, {"", "/old/photos"}},
                              {{"Files", "", "Personal"}, {"Out of reach", "/o"}},
                              {{"Mail", "Music", ""}, {"Elsewhere", "/e"}}},
                             none);
    const std::vector<ChordGuide::Continuation> continuations =
        ChordGuide::Continuations(row.sockets, table);
    EXPECT_EQ(ChordGuide::Text(continuations), row.text);
    QStringList marked;
    for (const ChordGuide::Continuation& continuation : continuations)
        if (continuation.leadsOn)
            marked << ButtonCatalogue::ButtonName(continuation.button);
    EXPECT_EQ(marked, row.marked);
}

INSTANTIATE_TEST_SUITE_P(
    FilesChords, Guide,
    ::testing::Values(
        GuideRow{"OnePress", {"Files", "", ""}, "M Music player, P Photos", {"Pictures"}},
        GuideRow{
            "TwoPressesAndAPathWithoutInformation", {"Files", "Pictures", ""}, "2 /old/photos", {}},
        GuideRow{"NothingBoundFurther", {"Files", "Music", ""}, "", {}},
        GuideRow{"NothingPressed", {"", "", ""}, "", {}},
        GuideRow{"AllFull", {"Files", "Pictures", "Two"}, "", {}}),
    [](const auto& info) { return std::string(info.param.scenario); });

} // namespace
