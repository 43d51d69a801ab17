// Typing in the main window: which catalogue buttons a run of typed
// characters presses, and which it leaves as candidates.

#include "launcher/TypedPrefix.h"

#include <gtest/gtest.h>

namespace {

struct TypingCase {
    const char* name;
    const char* typed;
    // The buttons pressed, in order, separated by spaces.
    const char* pressed;
    // The candidates left after the last character, separated by spaces.
    const char* candidates;
};

QStringList Words(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

class TypedPrefixTest : public ::testing::TestWithParam<TypingCase> {};

TEST_P(TypedPrefixTest, PressesAndCandidates) {
    const TypingCase& c = GetParam();
    TypedPrefix prefix;
    QStringList pressed;
    TypedPrefix::Result last;
    for (const QChar typed : QString::fromLatin1(c.typed)) {
        last = prefix.Type(typed);
        if (!last.press.isEmpty()) {
            EXPECT_TRUE(last.candidates.isEmpty()) << "a press leaves no candidates";
            pressed.append(last.press);
        }
    }
    EXPECT_EQ(pressed, Words(c.pressed));
    EXPECT_EQ(last.candidates, Words(c.candidates));
}

INSTANTIATE_TEST_SUITE_P(
    Typing, TypedPrefixTest,
    ::testing::Values(
        TypingCase{"EverySingleLetterName", "f n c a g v i d h u",
                   "Files Network Control Applications Games Videos Internet Display Help User",
                   ""},
        TypingCase{"EveryTwoLetterName", "sy se pe pi pr mu ma of on tr tw th",
                   "System Settings Personal Pictures Projects Music Mail Office One Trash Two "
                   "Three",
                   ""},
        TypingCase{"DigitsAreTheVariants", "132", "One Three Two", ""},
        TypingCase{"CaseDoesNotMatter", "FpEmU", "Files Personal Music", ""},
        TypingCase{"LongerPrefixPressesOnce", "files", "Files", ""},
        TypingCase{"WholeNameThenAnother", "filesmu", "Files Music", ""},
        TypingCase{"LetterContinuingTheNameIsAbsorbed", "vi", "Videos", ""},
        TypingCase{"SameLetterTwicePressesTwice", "ff", "Files Files", ""},
        TypingCase{"AmbiguousP", "p", "", "Personal Pictures Projects"},
        TypingCase{"AmbiguousM", "m", "", "Music Mail"},
        TypingCase{"AmbiguousS", "s", "", "Settings System"},
        TypingCase{"AmbiguousO", "o", "", "Office One"},
        TypingCase{"AmbiguousT", "t", "", "Two Three Trash"},
        TypingCase{"MismatchStartsAfresh", "pf", "Files", ""},
        TypingCase{"MismatchStartsAfreshAmbiguous", "fxm", "Files", "Music Mail"},
        TypingCase{"NoNameAtAll", "xqz", "", ""}, TypingCase{"DigitEndsAPrefix", "p1e", "One", ""},
        TypingCase{"SpaceEndsAPrefix", "f i", "Files Internet", ""},
        TypingCase{"OtherDigitsPressNothing", "40", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
