#include "tests/pipeline/FakeHttpServer.h"

#include <QTcpSocket>

// One accepted connection: reads the request head, then answers as the route says.
class FakeHttpConnection : public QObject
{
    Q_OBJECT

public:
    FakeHttpConnection(FakeHttpServer *server, QTcpSocket *socket)
        : QObject(socket), m_server(server), m_socket(socket)
    {
        connect(socket, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
        connect(socket, SIGNAL(disconnected()), socket, SLOT(deleteLater()));
    }

private slots:
    void onReadyRead()
    {
        m_head += m_socket->readAll();
        if (m_answered || !m_head.contains("\r\n\r\n"))
            return;
        m_answered = true;
        answer(m_server->routeFor(m_head.left(m_head.indexOf("\r\n")).split(' ').value(1)));
    }

    void onBytesWritten()
    {
        if (m_socket->bytesToWrite() < kEndlessChunk)
            sendBody(QByteArray(kEndlessChunk, 'x'));
    }

private:
    static constexpr int kEndlessChunk = 64 * 1024;

    void answer(const FakeHttpServer::Route &route)
    {
        using Mode = FakeHttpServer::Mode;
        if (route.mode == Mode::NeverAnswer)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " Canned\r\nConnection: close\r\n";
        if (!route.location.isEmpty())
            head += "Location: " + route.location + "\r\n";
        if (route.mode == Mode::Complete)
            head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
        if (route.mode == Mode::DropMidBody || route.mode == Mode::StallMidBody)
            head += "Content-Length: " + QByteArray::number(route.declaredLength) + "\r\n";
        m_socket->write(head + "\r\n");
        if (route.mode == Mode::Endless) {
            connect(m_socket, SIGNAL(bytesWritten(qint64)), this, SLOT(onBytesWritten()));
            onBytesWritten();
            return;
        }
        sendBody(route.body);
        if (route.mode != Mode::StallMidBody)
            m_socket->disconnectFromHost();
    }

    void sendBody(const QByteArray &body)
    {
        m_socket->write(body);
        m_server->m_bodyBytesSent += body.size();
    }

    FakeHttpServer *m_server;
    QTcpSocket *m_socket;
    QByteArray m_head;
    bool m_answered = false;
};

FakeHttpServer::FakeHttpServer()
{
    connect(&m_server, SIGNAL(newConnection()), this, SLOT(onNewConnection()));
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString FakeHttpServer::baseUrl() const
{
    const QString scheme = m_server.certificate().isNull() ? QStringLiteral("http") : QStringLiteral("https");
    return QStringLiteral("%1://127.0.0.1:%2/").arg(scheme).arg(m_server.serverPort());
}

FakeHttpServer::Route FakeHttpServer::complete(const QByteArray &body, int status)
{
    Route route;
    route.body = body;
    route.status = status;
    return route;
}

FakeHttpServer::Route FakeHttpServer::redirect(const QByteArray &location)
{
    Route route;
    route.status = 302;
    route.location = location;
    return route;
}

FakeHttpServer::Route FakeHttpServer::withMode(Mode mode, const QByteArray &body, qint64 declaredLength)
{
    Route route = complete(body);
    route.mode = mode;
    route.declaredLength = declaredLength;
    return route;
}

void FakeHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection())
        new FakeHttpConnection(this, socket);
}

FakeHttpServer::Route FakeHttpServer::routeFor(const QByteArray &path)
{
    ++m_requests[path];
    return m_routes.value(path, complete("not here", 404));
}

#include "FakeHttpServer.moc"
