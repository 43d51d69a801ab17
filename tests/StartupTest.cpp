// The real trinode executable, started on the offscreen platform in a home of
// its own: what start-up does to the combination file, and the one running
// instance per user and file.

#include "platform/SingleInstance.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace {

class Trinode final {
public:
    explicit Trinode(const TemporaryHome& home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.Path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setProgram(QString::fromLocal8Bit(qgetenv("TRINODE_BIN")));
        m_process.start();
        m_process.waitForStarted();
    }
    ~Trinode() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
};

// Asks the instance that serves this file to come to the front and waits for
// its answer, which comes from its running event loop: by then start-up has
// loaded or created the file.
bool WaitUntilRunning(const QString& file) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        SingleInstance probe(file);
        if (probe.SignalRunningInstance() && probe.Answered())
            return true;
        QThread::msleep(20);
    }
    return false;
}

QByteArray Sha(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

TEST(Startup, WithoutFileCreatesEveryCombinationUnassigned) {
    TemporaryHome home;
    Trinode trinode(home);
    ASSERT_TRUE(WaitUntilRunning(home.CombinationFile()));
    ASSERT_EQ(QFileInfo(home.CombinationFile()).size(), CombinationTable::FileSize);

    CombinationTable fresh(home.FilePath("fresh.cmb"));
    fresh.CreateDefaultFile();
    EXPECT_EQ(Sha(home.CombinationFile()), Sha(home.FilePath("fresh.cmb")));
}

TEST(Startup, WithFileLoadsWithoutRewriting) {
    TemporaryHome home;
    {
        CombinationTable table(home.CombinationFile());
        table.CreateDefaultFile();
        NoProgress none;
        table.AssignCombination({"Files", "", "Personal"}, "Documents", "/tmp", none);
    }
    const QByteArray before = Sha(home.CombinationFile());
    const auto inode =
        QFileInfo(home.CombinationFile()).fileTime(QFileDevice::FileModificationTime);

    Trinode trinode(home);
    ASSERT_TRUE(WaitUntilRunning(home.CombinationFile()));
    EXPECT_EQ(Sha(home.CombinationFile()), before);
    EXPECT_EQ(QFileInfo(home.CombinationFile()).fileTime(QFileDevice::FileModificationTime), inode);
}

TEST(Startup, ShortFileStillBringsTheWindowUp) {
    TemporaryHome home;
    {
        CombinationTable table(home.CombinationFile());
        table.CreateDefaultFile();
    }
    QFile::resize(home.CombinationFile(), CombinationTable::FileSize - 1);

    Trinode trinode(home);
    // The event loop runs (the error box is up, but the program goes on) and
    // the file is left as it was.
    ASSERT_TRUE(WaitUntilRunning(home.CombinationFile()));
    EXPECT_EQ(QFileInfo(home.CombinationFile()).size(), CombinationTable::FileSize - 1);
}

TEST(Startup, SecondStartBringsTheFirstForwardAndLeaves) {
    TemporaryHome home;
    Trinode first(home);
    ASSERT_TRUE(WaitUntilRunning(home.CombinationFile()));

    Trinode second(home);
    ASSERT_TRUE(second.Process().waitForFinished(20000));
    EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_EQ(first.Process().state(), QProcess::Running);
}

TEST(Startup, InstancesOfDifferentHomesNeverMeet) {
    TemporaryHome one;
    const QString oneFile = one.CombinationFile();
    Trinode first(one);
    ASSERT_TRUE(WaitUntilRunning(oneFile));

    TemporaryHome two;
    Trinode second(two);
    ASSERT_TRUE(WaitUntilRunning(two.CombinationFile()));
    EXPECT_EQ(first.Process().state(), QProcess::Running);
    EXPECT_EQ(second.Process().state(), QProcess::Running);
    EXPECT_NE(SingleInstance::ServerName(oneFile),
              SingleInstance::ServerName(two.CombinationFile()));
}
