#include "frontend/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <unistd.h>

namespace {

// Long enough for a busy first instance to accept; short enough that a
// stale socket file does not hold up the start noticeably.
constexpr int kConnectTimeoutMs = 1000;

} // namespace

QString SingleInstance::DefaultName()
{
    return QStringLiteral("Quintar.MainFrame-%1").arg(getuid());
}

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), m_name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::FindRunning() const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    return socket.waitForConnected(kConnectTimeoutMs);
}

bool SingleInstance::BringRunningToFront() const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kActivateRequest);
    bool const sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}

bool SingleInstance::Listen(QWidget *window)
{
    m_window = window;
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    }
    if (m_server->isListening())
        return true;
    if (m_server->listen(m_name))
        return true;
    // Nobody answered under the name (the caller looked first), so the
    // socket file is a leftover of an instance that ended without cleaning
    // up.
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->readAll().contains("activate"))
                return;
            if (QWidget *window = m_window.data()) {
                if (window->isMinimized())
                    window->showNormal();
                window->show();
                window->raise();
                window->activateWindow();
            }
        });
    }
}
