// The main window on screens of every size: the layout as a canvas (centred
// on a larger window, scaled down to fit a smaller one) with its pictures,
// presses, hints and colour key following it, and the window coming up on
// the monitor that holds the pointer. Runs on offscreen monitors of its own
// (tests/data/two-screens.json): "Left" 1280 x 1024 beside "Right" 800 x 600.

#include "art/ColourKey.h"
#include "launcher/ImageButton.h"
#include "launcher/PictureHolder.h"
#include "launcher/TMainForm.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>

namespace {

QScreen* ScreenNamed(const QString& name) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

template <class Condition> bool WaitFor(Condition condition) {
    return QTest::qWaitFor(condition, 10000);
}

// A row's scenario as a test's name.
template <class Info> std::string NameOf(const Info& info) {
    std::string name = info.param.scenario;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class CanvasWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(ScreenNamed("Left"), nullptr) << "the test needs its two offscreen monitors";
        ASSERT_NE(ScreenNamed("Right"), nullptr);
        m_form.SetDialogs({Given(m_editor), Given(m_help)});
    }

    void ShowAtSize(QSize size) {
        m_form.show();
        m_form.resize(size);
        ASSERT_TRUE(WaitFor([&] { return m_form.size() == size; }));
    }

    template <class T = QWidget> T* Child(const QString& name) {
        return m_form.findChild<T*>(name, Qt::FindDirectChildrenOnly);
    }

    // A left click where a person would click: delivered to the window and
    // routed to whatever stands at that point.
    void ClickAt(QPoint at) { QTest::mouseClick(m_form.windowHandle(), Qt::LeftButton, {}, at); }

    TemporaryHome m_home;
    CombinationTable m_table{m_home.CombinationFile()};
    TMainForm m_form{m_table};
    QDialog m_editor;
    QDialog m_help;
};

// Expected places worked out by hand: the scale is the smaller of 1, the
// width's and the height's ratio to 1024 x 746; the canvas is centred.
struct SizeRow {
    const char* scenario;
    QSize window;
    QRect exit;  // the Exit image, layout 992, 0, 32 x 32
    QRect three; // the Three button, layout 640, 712, 32 x 32
    int infoPixels;
    QSize keyedQuarter; // of the Exit picture: layout 992, 0, 16 x 16
};

const SizeRow SizeRows[] = {
    {"the layout's own size", {1024, 746}, {992, 0, 32, 32}, {640, 712, 32, 32}, 27, {16, 16}},
    {"a larger window centres it",
     {1280, 1024},
     {1120, 139, 32, 32},
     {768, 851, 32, 32},
     27,
     {16, 16}},
    {"800 x 600 scales it by 0.78125",
     {800, 600},
     {775, 8, 25, 25},
     {500, 564, 25, 25},
     21,
     {13, 13}},
    {"1920 x 1080 at 150 %", {1280, 720}, {1103, 0, 31, 31}, {764, 687, 31, 31}, 26, {16, 15}},
    {"tiled at 960 wide", {960, 1048}, {930, 174, 30, 30}, {600, 842, 30, 30}, 25, {15, 15}},
    {"only narrower: scaled to the width",
     {512, 1000},
     {496, 313, 16, 16},
     {320, 669, 16, 16},
     14,
     {8, 8}},
};

class CanvasSizes : public CanvasWindow, public ::testing::WithParamInterface<SizeRow> {};

TEST_P(CanvasSizes, EveryPictureStandsWholeOnTheCanvasInsideTheWindowAndBlackAroundIt) {
    const SizeRow& row = GetParam();
    ShowAtSize(row.window);
    EXPECT_EQ(Child("ExitButton")->geometry(), row.exit);
    EXPECT_EQ(Child("ThreeButton")->geometry(), row.three);
    EXPECT_EQ(Child("InfoLabel")->font().pixelSize(), row.infoPixels);

    const QRect window = m_form.rect();
    const QList<ImageButton*> images = m_form.findChildren<ImageButton*>();
    ASSERT_EQ(images.size(), 28);
    for (const ImageButton* image : images) {
        SCOPED_TRACE(image->objectName().toStdString());
        EXPECT_TRUE(window.contains(image->geometry())) << "off the window";
        EXPECT_FALSE(image->geometry().isEmpty());
        // Neighbours meet but never overlap, whatever the rounding.
        for (const ImageButton* other : images) {
            if (other != image) {
                EXPECT_FALSE(image->geometry().intersects(other->geometry()))
                    << other->objectName().toStdString();
            }
        }
        // Presses reach the picture wherever it stands.
        EXPECT_EQ(m_form.childAt(image->geometry().center()), image);
        EXPECT_EQ(m_form.childAt(image->geometry().bottomRight()), image);
    }

    // The pictures are scaled whole, not cropped.
    const QImage shown = m_form.grab(row.exit).toImage();
    const QImage whole = Child<PictureHolder>("Buffer6")->Pixmap().toImage().scaled(
        row.exit.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage cropped =
        Child<PictureHolder>("Buffer6")->Pixmap().toImage().copy(QRect(QPoint(), row.exit.size()));
    EXPECT_LT(MeanDifference(shown, whole), 8.0);
    if (row.exit.width() < 32) {
        EXPECT_GT(MeanDifference(shown, cropped), MeanDifference(shown, whole));
    }

    // Outside the canvas the window is black.
    const QImage shot = m_form.grab().toImage();
    const QRect background = Child("Background")->geometry();
    // Left of the background, level with its middle: black at any size.
    EXPECT_EQ(shot.pixelColor(background.left() / 2, background.center().y()), QColor(Qt::black));
    if (row.exit.top() > 0) {
        EXPECT_EQ(shot.pixelColor(row.exit.right(), row.exit.top() - 1), QColor(Qt::black));
    }
    EXPECT_NE(shot.pixelColor(background.center()), QColor(Qt::black));
}

TEST_P(CanvasSizes, PressesOnTheCanvasAct) {
    const SizeRow& row = GetParam();
    ShowAtSize(row.window);
    ClickAt(row.three.center());
    EXPECT_EQ(ShownSockets(m_form), (Combination{"Three", "", ""}));

    ClickAt(Child("EmptySocket1")->geometry().center());
    EXPECT_EQ(ShownSockets(m_form), (Combination{"", "", ""}));

    int helpOpened = 0;
    {
        ModalWatcher watcher([&](QWidget* modal) {
            helpOpened += modal == &m_help;
            modal->close();
        });
        ClickAt(Child("HelpButton")->geometry().center());
        EXPECT_TRUE(WaitFor([&] { return watcher.Seen(); }));
    }
    EXPECT_EQ(helpOpened, 1);

    ClickAt(row.exit.center());
    EXPECT_TRUE(WaitFor([&] { return !m_form.isVisible(); })) << "Exit did not close the window";
}

TEST_P(CanvasSizes, TheColourKeyFollowsTheCanvas) {
    const SizeRow& row = GetParam();
    // An Exit picture whose top-left 16 x 16 quarter is the key colour.
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkGray);
    QPainter(&picture).fillRect(0, 0, 16, 16, QColor(ColourKey::Key));
    Child<ImageButton>("ExitButton")
        ->SetPicture(QPixmap::fromImage(picture), ColourKey::KeyedPixels(picture));
    ShowAtSize(row.window);
    const QRegion mask = m_form.mask();
    const QRect keyed(row.exit.topLeft(), row.keyedQuarter);
    EXPECT_FALSE(mask.contains(keyed.topLeft()));
    EXPECT_FALSE(mask.contains(keyed.bottomRight()));
    EXPECT_TRUE(mask.contains(keyed.bottomRight() + QPoint(1, 1)));
    EXPECT_TRUE(mask.contains(row.exit.bottomRight()));
    // Exactly the keyed quarter is cut out, nothing else.
    EXPECT_EQ(QRegion(m_form.rect()) - mask, QRegion(keyed));
}

INSTANTIATE_TEST_SUITE_P(Sizes, CanvasSizes, ::testing::ValuesIn(SizeRows),
                         [](const auto& info) { return NameOf(info); });

struct PlacementRow {
    const char* scenario;
    const char* shownOn; // where the window stands before; nullptr: never shown
    bool minimised;
    QPoint pointer;
    const char* expected;
};

const PlacementRow PlacementRows[] = {
    {"first start on the right monitor", nullptr, false, {1500, 100}, "Right"},
    {"first start on the left monitor", nullptr, false, {100, 900}, "Left"},
    {"summon brings it from left to right", "Left", false, {2000, 500}, "Right"},
    {"summon brings it from right to left", "Right", false, {20, 20}, "Left"},
    {"summon on its own monitor leaves it there", "Right", false, {1290, 10}, "Right"},
    {"summon of a minimised window", "Left", true, {1300, 300}, "Right"},
    {"pointer on no monitor: the primary one", nullptr, false, {-500, -500}, "Left"},
};

class Placement : public CanvasWindow, public ::testing::WithParamInterface<PlacementRow> {};

TEST_P(Placement, TheWindowIsMaximisedOnTheMonitorThatHoldsThePointer) {
    const PlacementRow& row = GetParam();
    if (row.shownOn) {
        QCursor::setPos(ScreenNamed(row.shownOn)->geometry().center());
        m_form.PlaceOnPointerScreen();
        ASSERT_TRUE(WaitFor([&] { return m_form.screen() == ScreenNamed(row.shownOn); }));
        if (row.minimised) {
            m_form.showMinimized();
            ASSERT_TRUE(WaitFor([&] { return m_form.isMinimized(); }));
        }
    }
    QCursor::setPos(row.pointer);
    m_form.PlaceOnPointerScreen();
    const QScreen* expected = ScreenNamed(row.expected);
    EXPECT_TRUE(WaitFor([&] {
        return m_form.geometry() == expected->availableGeometry() && m_form.screen() == expected;
    })) << "stands at "
        << m_form.geometry().x() << "," << m_form.geometry().y() << " " << m_form.width() << "x"
        << m_form.height();
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_TRUE(m_form.isMaximized());
    EXPECT_FALSE(m_form.isMinimized());
    // The canvas fits the monitor it came to.
    EXPECT_TRUE(m_form.rect().contains(Child("ExitButton")->geometry()));
    EXPECT_TRUE(m_form.rect().contains(Child("ThreeButton")->geometry()));
}

INSTANTIATE_TEST_SUITE_P(Monitors, Placement, ::testing::ValuesIn(PlacementRows),
                         [](const auto& info) { return NameOf(info); });

} // namespace
