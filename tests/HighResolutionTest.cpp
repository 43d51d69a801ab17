// The main window on screens of other device pixel ratios. CTest gives the
// offscreen platform four screens (ratios 1, 1.25, 1.5 and 2), and runs the
// program once more with QT_SCALE_FACTOR=2 alone: every picture is drawn
// from the set that fits the ratio, pixel for pixel, and follows the window
// to a screen of another ratio.

#include "art/Art.h"
#include "launcher/ImageButton.h"
#include "launcher/TMainForm.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <ostream>

namespace {

QScreen* ScreenWithRatio(qreal ratio) {
    for (QScreen* screen : QGuiApplication::screens())
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio))
            return screen;
    return nullptr;
}

// The mean difference per channel, and the share of pixels that differ by
// more than 3 % in some channel.
struct Difference {
    double mean = 0;
    double share = 0;
};

Difference Compare(const QImage& a, const QImage& b) {
    const QImage p = a.convertToFormat(QImage::Format_RGB32);
    const QImage q = b.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(p.size(), q.size());
    if (p.size() != q.size() || p.isNull())
        return {255, 1};
    double sum = 0;
    int differing = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const QRgb c = p.pixel(x, y), d = q.pixel(x, y);
            const int r = std::abs(qRed(c) - qRed(d)), g = std::abs(qGreen(c) - qGreen(d)),
                      bl = std::abs(qBlue(c) - qBlue(d));
            sum += r + g + bl;
            differing += r > 8 || g > 8 || bl > 8;
        }
    const double pixels = double(p.width()) * p.height();
    return {sum / (3 * pixels), differing / pixels};
}

class HighResolution : public ::testing::Test {
protected:
    void SetUp() override { m_form.SetDialogs({Given(m_editor), Given(m_help)}); }

    // Shows the window on the screen of that ratio, or moves it there.
    bool PutOn(qreal ratio) {
        QScreen* screen = ScreenWithRatio(ratio);
        if (!screen)
            return false;
        m_form.setScreen(screen);
        m_form.move(screen->geometry().topLeft());
        if (!m_form.isVisible()) {
            m_form.show();
            if (!QTest::qWaitForWindowExposed(&m_form))
                return false;
        }
        return QTest::qWaitFor([&] { return qFuzzyCompare(m_form.devicePixelRatioF(), ratio); });
    }

    ImageButton* Image(const char* name) {
        return m_form.findChild<ImageButton*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }

    // The device pixels of part of a component's box (in its own layout
    // pixels; the whole box when part is empty).
    static QRect DevicePixels(QRect part, qreal ratio) {
        return QRect(qRound(part.x() * ratio), qRound(part.y() * ratio),
                     qCeil(part.width() * ratio - 1e-6), qCeil(part.height() * ratio - 1e-6));
    }

    // Checks that the window draws the picture in (part of) the component's
    // box pixel for pixel as a screen of that ratio shows it, and that it is
    // not the 1x picture enlarged.
    void ExpectDrawn(const char* component, const char* picture, qreal ratio, QRect part = {}) {
        SCOPED_TRACE(std::string(component) + " showing " + picture);
        const QWidget* widget =
            m_form.findChild<QWidget*>(QLatin1String(component), Qt::FindDirectChildrenOnly);
        ASSERT_NE(widget, nullptr);
        if (part.isEmpty())
            part = widget->rect();
        const QImage window = m_form.grab().toImage();
        ASSERT_DOUBLE_EQ(window.devicePixelRatio(), ratio);
        const QRect inPicture = DevicePixels(part, ratio);
        const QImage drawn = window.copy(inPicture.translated(
            DevicePixels({widget->mapTo(&m_form, QPoint()), QSize(1, 1)}, ratio).topLeft()));
        const QImage expected = Art::LoadForRatio(QLatin1String(picture), ratio).copy(inPicture);
        EXPECT_LT(Compare(drawn, expected).mean, 1.0);
        if (ratio > 1) {
            const QImage normal = Art::Load(QLatin1String(picture), 1).copy(part);
            for (const Qt::TransformationMode mode :
                 {Qt::FastTransformation, Qt::SmoothTransformation}) {
                const QImage enlarged = normal.scaled(drawn.size(), Qt::IgnoreAspectRatio, mode);
                // The 1x picture enlarged this way would differ nowhere.
                EXPECT_GT(Compare(drawn, enlarged).share, 0.05) << "enlarged, mode " << mode;
            }
        }
    }

    void Mouse(const char* name, QEvent::Type type) {
        ImageButton* image = Image(name);
        ASSERT_NE(image, nullptr);
        const QPoint at(5, 5);
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, image->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(image, &event);
    }

    TemporaryHome m_home;
    CombinationTable m_table{m_home.CombinationFile()};
    TMainForm m_form{m_table};
    QDialog m_editor;
    QDialog m_help;
};

// A corner of the panel behind the information text, where nothing covers the
// background and its drawing has edges.
const QRect BackgroundTop(128, 150, 60, 40);

struct RatioCase {
    const char* scenario;
    qreal ratio;
};

void PrintTo(const RatioCase& row, std::ostream* out) {
    *out << row.scenario;
}

class PicturesAtRatio : public HighResolution, public ::testing::WithParamInterface<RatioCase> {};

TEST_P(PicturesAtRatio, EveryPictureIsDrawnFromTheSetThatFits) {
    const qreal ratio = GetParam().ratio;
    if (!ScreenWithRatio(ratio))
        GTEST_SKIP() << "no screen of ratio " << ratio << " on this platform";
    ASSERT_TRUE(PutOn(ratio));
    ExpectDrawn("FilesButton", "Buffer8", ratio);
    ExpectDrawn("MainButton", "Buffer28", ratio);
    ExpectDrawn("EmptySocket1", "SocketStart", ratio);
    // The background's top, where nothing covers it: rays and the panel.
    ExpectDrawn("Background", "Background", ratio, BackgroundTop);

    // Pressed pictures and socket pictures come from the same set.
    Mouse("FilesButton", QEvent::MouseButtonPress);
    ExpectDrawn("FilesButton", "Buffer7", ratio);
    Mouse("FilesButton", QEvent::MouseButtonRelease);
    ExpectDrawn("FilesButton", "Buffer8", ratio);
    ExpectDrawn("EmptySocket1", "BuffSocket3", ratio);
    // No picture holds the colour key, at any ratio.
    EXPECT_TRUE(m_form.mask().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Screens, PicturesAtRatio,
                         ::testing::Values(RatioCase{"Ordinary", 1.0},
                                           RatioCase{"OneAndAQuarter", 1.25},
                                           RatioCase{"OneAndAHalf", 1.5}, RatioCase{"Double", 2.0}),
                         [](const auto& info) { return std::string(info.param.scenario); });

struct MoveCase {
    const char* scenario;
    qreal from;
    qreal to;
};

void PrintTo(const MoveCase& row, std::ostream* out) {
    *out << row.scenario;
}

class PicturesFollowTheScreen : public HighResolution,
                                public ::testing::WithParamInterface<MoveCase> {};

TEST_P(PicturesFollowTheScreen, WhenTheWindowMovesToAnotherRatio) {
    const MoveCase& row = GetParam();
    if (!ScreenWithRatio(row.from) || !ScreenWithRatio(row.to))
        GTEST_SKIP() << "needs screens of ratios " << row.from << " and " << row.to;
    ASSERT_TRUE(PutOn(row.from));
    // Files in socket 1, Music held down as the window moves.
    Mouse("FilesButton", QEvent::MouseButtonPress);
    Mouse("FilesButton", QEvent::MouseButtonRelease);
    Mouse("MusicButton", QEvent::MouseButtonPress);

    ASSERT_TRUE(PutOn(row.to));
    ExpectDrawn("Background", "Background", row.to, BackgroundTop);
    ExpectDrawn("FilesButton", "Buffer8", row.to);
    ExpectDrawn("MusicButton", "Buffer13", row.to);
    ExpectDrawn("EmptySocket1", "BuffSocket3", row.to);
    ExpectDrawn("EmptySocket2", "SocketStart", row.to);

    // Pictures first shown after the move come at the new ratio too.
    Mouse("MusicButton", QEvent::MouseButtonRelease);
    ExpectDrawn("MusicButton", "Buffer14", row.to);
    ExpectDrawn("EmptySocket2", "BuffSocket6", row.to);
}

INSTANTIATE_TEST_SUITE_P(Moves, PicturesFollowTheScreen,
                         ::testing::Values(MoveCase{"OrdinaryToDouble", 1.0, 2.0},
                                           MoveCase{"DoubleToOrdinary", 2.0, 1.0},
                                           MoveCase{"DoubleToOneAndAHalf", 2.0, 1.5},
                                           MoveCase{"OneAndAQuarterToDouble", 1.25, 2.0}),
                         [](const auto& info) { return std::string(info.param.scenario); });

} // namespace
