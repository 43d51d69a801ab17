#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <memory>

TemporaryHome::TemporaryHome()
    : m_previousHome(qgetenv("HOME")), m_previousRuntime(qgetenv("XDG_RUNTIME_DIR")) {
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    // A temporary directory is made private (0700).
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

TemporaryHome::~TemporaryHome() {
    qputenv("HOME", m_previousHome);
    if (m_previousRuntime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", m_previousRuntime);
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> action) : m_action(std::move(action)) {
    m_timer.start(5, this);
}

void ModalWatcher::timerEvent(QTimerEvent*) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    m_timer.stop();
    m_seen = true;
    m_action(modal);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QString ErrorBoxTextOf(const std::function<void()>& action) {
    auto text = std::make_shared<QString>();
    ModalWatcher watcher([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            *text = box->text();
            box->accept();
        }
    });
    action();
    return *text;
}
