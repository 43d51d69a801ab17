// The pictures decoded ahead on a thread of their own: handed over only for
// the ratio they were decoded for and only once, and a window made with them
// looks exactly like one that decoded its own.

#include "launcher/PicturePrefetch.h"
#include "art/Art.h"
#include "art/ColourKey.h"
#include "launcher/PictureBoard.h"
#include "launcher/TMainForm.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct TakeCase {
    const char* scenario;
    qreal started;
    const char* asked;
    qreal ratio;
    bool served;
};

} // namespace

TEST(PicturePrefetch, HandsOverOnlyWhatItDecodedForTheRatioAsked) {
    const TakeCase rows[] = {
        {"at the ratio it was decoded for", 1, "Buffer28", 1, true},
        {"from the 2x set", 2, "Buffer28", 2, true},
        {"brought down from the 2x set", 1.5, "SocketStart", 1.5, true},
        {"at another ratio", 2, "Buffer28", 1, false},
        {"a name not asked for", 1, "Buffer1", 1, false},
        // Decoded quietly on the thread: the window tells it when it tries.
        {"a name that is no picture", 1, "NoSuchPicture", 1, false},
    };
    for (const TakeCase& row : rows) {
        PicturePrefetch prefetch;
        prefetch.Start({"Background", "Buffer28", "SocketStart", "NoSuchPicture"}, row.started);
        const auto picture = prefetch.Take(row.asked, row.ratio);
        ASSERT_EQ(picture.has_value(), row.served) << row.scenario;
        if (!picture)
            continue;
        const QImage own = Art::LoadForRatio(row.asked, row.ratio);
        EXPECT_EQ(picture->image, own) << row.scenario;
        EXPECT_EQ(picture->image.devicePixelRatio(), own.devicePixelRatio()) << row.scenario;
        EXPECT_EQ(picture->keyed, ColourKey::KeyedLayoutPixels(own)) << row.scenario;
        EXPECT_FALSE(prefetch.Take(row.asked, row.ratio)) << row.scenario << ": taken twice";
    }
}

TEST(PicturePrefetch, EndsAtOnceWhileItIsStillDecoding) {
    for (int i = 0; i < 10; ++i) {
        PicturePrefetch prefetch;
        prefetch.Start(PictureBoard::FirstPaintPictures(), 2);
        prefetch.Finish();
        EXPECT_FALSE(prefetch.Take(QStringLiteral("Background"), 2));
    }
}

TEST(PicturePrefetch, AWindowMadeWithItLooksLikeOneThatDecodedItsOwn) {
    TemporaryHome home;
    CombinationTable table(home.CombinationFile());
    TMainForm own(table);
    const qreal ratio = own.devicePixelRatioF();
    PicturePrefetch prefetch;
    prefetch.Start(PictureBoard::FirstPaintPictures(), ratio);
    TMainForm ahead(table, nullptr, &prefetch);
    EXPECT_EQ(ahead.grab().toImage(), own.grab().toImage());
    // Every picture of the first paint came from the prefetch.
    for (const QString& name : PictureBoard::FirstPaintPictures())
        EXPECT_FALSE(prefetch.Take(name, ratio)) << qPrintable(name) << " was not taken";
}
