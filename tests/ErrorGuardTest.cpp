// The error box and the messages it shows; the buttons' letters.

#include "look/ErrorGuard.h"
#include "look/ImmediateMnemonic.h"
#include "store/TrinodeError.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <cerrno>
#include <stdexcept>

namespace {

// A period follows only what sorts after it, and a long message is cut to a
// readable length.
TEST(ErrorGuard, BoxTextEndsAMessageAndCutsALongOne) {
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
    const struct {
        QString message;
        QString shown;
    } rows[] = {
        {"Read beyond end of file", "Read beyond end of file."},
        {"I/O error 1117", "I/O error 1117."},
        {"Already a sentence.", "Already a sentence."},
        {"Not found!", "Not found!"}, // '!' sorts before '.'
        {"(closing)", "(closing)"},   // so does ')'
        {"ends in a slash/", "ends in a slash/."},
        {"ends in a space ", "ends in a space "},
        {"", ""},
        {QString(500, 'a'), QString(500, 'a') + '.'},
        {QString(501, 'a'), QString(499, 'a') + QChar(0x2026) + '.'},
        // A launcher's line of 2 MB.
        {"Key file contains line " + QString(2000000, 'x'),
         "Key file contains line " + QString(476, 'x') + QChar(0x2026) + '.'},
        // Never cut inside a character.
        {QString(498, 'a') + emoji + "tail", QString(498, 'a') + QChar(0x2026) + '.'},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ErrorGuard::BoxText(row.message), row.shown)
            << row.message.left(40).toStdString();
}

TEST(ErrorGuard, FileErrorsCarryTheirCodeAndMessage) {
    const struct {
        int errnoValue;
        int code;
        const char* message;
    } rows[] = {
        {ENOENT, 2, "File not found"},
        {ENOTDIR, 3, "Invalid filename"},
        {EMFILE, 4, "Too many open files"},
        {EACCES, 5, "File access denied"},
        {EPERM, 5, "File access denied"},
        {EROFS, 5, "File access denied"},
        {ENOSPC, 101, "Disk full"},
        {EDQUOT, 101, "Disk full"},
        {EFBIG, 101, "Disk full"},
        {EIO, 1117, "I/O error 1117"},
        {EBUSY, EBUSY, "I/O error 16"},
        {EINTR, 1004, "I/O error 1004"}, // 4 would read as "Too many open files"
    };
    for (const auto& row : rows) {
        const FileError error = FileError::FromErrno(row.errnoValue);
        EXPECT_EQ(error.Code(), row.code) << row.message;
        EXPECT_EQ(error.Message(), QString::fromLatin1(row.message));
    }
    EXPECT_EQ(FileError(100).Message(), "Read beyond end of file");
    EXPECT_EQ(FileError(106).Message(), "Invalid numeric input");
}

TEST(ErrorGuard, AFailureIsShownInTheBoxAndGoesNoFurther) {
    struct Row {
        const char* scenario;
        std::function<void()> failure;
        const char* shown;
    };
    const Row rows[] = {
        {"file error", [] { throw FileError(FileError::ReadBeyondEnd); },
         "Read beyond end of file."},
        {"system text", [] { throw TrinodeError("No such file or directory"); },
         "No such file or directory."},
        {"anything else", [] { throw std::runtime_error("out of order"); }, "out of order."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
        ModalWatcher watcher([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = int(box->buttons().size());
            EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
            box->accept();
        });
        bool after = false;
        ErrorGuard::Guarded([&] {
            row.failure();
            after = true;
        });
        EXPECT_FALSE(after);
        EXPECT_EQ(caption, "Trinode");
        EXPECT_EQ(text, row.shown);
        EXPECT_EQ(icon, QMessageBox::Critical);
        EXPECT_EQ(buttons, 1);
    }
}

// Alt and a button's letter have pressed it once the key press is over, as
// a click has; a greyed button stays unpressed.
TEST(ImmediateMnemonic, AltAndTheLetterPressTheButtonAtOnce) {
    ImmediateMnemonic::Install(*QCoreApplication::instance());
    QWidget window;
    auto* go = new QPushButton(QStringLiteral("&Go"), &window);
    auto* stay = new QPushButton(QStringLiteral("&Stay"), &window);
    stay->setEnabled(false);
    int clicks = 0;
    for (QPushButton* button : {go, stay})
        QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
}

} // namespace
