#include "tests/pipeline/FakeHttpServer.h"

#include <QTcpSocket>

void FakeHttpServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [=, head = QByteArray()]() mutable {
        if (head.contains("\r\n\r\n"))
            return; // answered already
        head += socket->readAll();
        if (head.contains("\r\n\r\n"))
            answer(socket, head);
    });
}

void FakeHttpServer::answer(QTcpSocket *socket, const QByteArray &head)
{
    const QByteArray path = head.left(head.indexOf("\r\n")).split(' ').value(1);
    QHash<QByteArray, QByteArray> header;
    for (const QByteArray &line : head.split('\n'))
        header.insert(line.left(qMax(line.indexOf(':'), 0)), line.mid(line.indexOf(':') + 1).trimmed());
    const Route route = m_routes.value(path, complete("not here", 404));
    const Mode mode = ++m_answers[path] <= route.faults ? route.mode : Mode::Complete;
    if (mode == Mode::NeverAnswer)
        return;
    QByteArray answer = "Connection: close\r\n", body = route.body;
    int status = route.status;
    if (!route.location.isEmpty())
        answer += "Location: " + route.location + "\r\n";
    if (!route.etag.isEmpty())
        answer += "ETag: " + route.etag + "\r\n";
    const QByteArray range = header.value("Range"), ifRange = header.value("If-Range");
    if (range.startsWith("bytes=") && route.ranges != Ranges::Ignored &&
        (ifRange.isEmpty() || ifRange == route.etag)) {
        const qint64 first = route.ranges == Ranges::Misplaced ? 0 : range.mid(6).split('-')[0].toLongLong();
        status = route.ranges == Ranges::Refused ? 416 : 206;
        body = status == 416 ? QByteArray() : body.mid(first);
        answer += QString("Content-Range: bytes %1/%2\r\n")
                      .arg(status == 416 ? "*" : QString("%1-%2").arg(first).arg(route.body.size() - 1))
                      .arg(route.body.size())
                      .toLatin1();
    }
    if (mode != Mode::NoContentLength && mode != Mode::Endless)
        answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    socket->write("HTTP/1.1 " + QByteArray::number(status) + " Canned\r\n" + answer + "\r\n");
    if (mode == Mode::Endless) {
        const auto more = [=] {
            if (socket->bytesToWrite() < 64 * 1024)
                m_bodyBytesSent += socket->write(QByteArray(64 * 1024, 'x'));
        };
        connect(socket, &QTcpSocket::bytesWritten, this, more);
        return more();
    }
    const bool cut = mode == Mode::DropMidBody || mode == Mode::StallMidBody;
    const qint64 sent = socket->write(cut ? body.left(route.cutAfter) : body);
    m_bodyBytesSent += sent;
    m_exchanges[path]
        << QString("%1 %2 %3").arg(range.isEmpty() ? "-" : range.constData()).arg(status).arg(sent);
    connect(socket, &QTcpSocket::bytesWritten, this, [=] {
        if (socket->bytesToWrite() == 0)
            emit bodyWritten();
    });
    if (mode != Mode::StallMidBody)
        socket->disconnectFromHost();
}
