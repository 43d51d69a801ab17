#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr QByteArrayView RaiseRequest("raise\n");
// Sent back once the running instance has handled the request, so that the
// caller knows its event loop is running.
constexpr QByteArrayView RaisedAnswer("raised\n");
constexpr int AnswerWaitMs = 1000;

} // namespace

SingleInstance::SingleInstance(const QString& combinationFilePath, QObject* parent)
    : QObject(parent), m_name(ServerName(combinationFilePath)) {}

QString SingleInstance::ServerName(const QString& combinationFilePath) {
    const QString full = QFileInfo(combinationFilePath).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("trinode-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::SignalRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(AnswerWaitMs))
        return false;
    socket.write(RaiseRequest.data(), RaiseRequest.size());
    socket.waitForBytesWritten(AnswerWaitMs);
    // The answer is a courtesy: the instance is there whether or not it comes.
    while (!socket.canReadLine() && socket.waitForReadyRead(AnswerWaitMs)) {
    }
    m_answered = socket.canReadLine() && socket.readLine() == RaisedAnswer.toByteArray();
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::Listen(std::function<void()> onActivate) {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left behind by an instance that died answers nobody.
        QLocalServer::removeServer(m_name);
        m_server->listen(m_name);
    }
    connect(m_server, &QLocalServer::newConnection, this, [this, onActivate]() {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [socket, onActivate]() {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == RaiseRequest.toByteArray()) {
                    onActivate();
                    socket->write(RaisedAnswer.data(), RaisedAnswer.size());
                }
            });
        }
    });
}
