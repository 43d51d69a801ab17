#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>

TEST(StoreSmoke, CreatesAndFinds) {
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    table.CreateDefaultFile();
    EXPECT_EQ(QFileInfo(home.CombinationFile()).size(), CombinationTable::FileSize);
    EXPECT_EQ(table.FindCombination({"Files", "", "Personal"}), (Binding{"", ""}));
}
