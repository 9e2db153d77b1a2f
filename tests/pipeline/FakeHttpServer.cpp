#include "tests/pipeline/FakeHttpServer.h"

#include <QSslConfiguration>
#include <QSslSocket>

#include "tests/support/TestFiles.h"

QString FakeHttpServer::serveOverTls()
{
    const QString keyPath = VELMORA_TLS_DIR "/key.pem", certificatePath = VELMORA_TLS_DIR "/certificate.pem";
    m_certificate = QSslCertificate(TestFiles::read(certificatePath), QSsl::Pem);
    m_key = QSslKey(TestFiles::read(keyPath), QSsl::Ec, QSsl::Pem);
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.setCaCertificates({m_certificate});
    QSslConfiguration::setDefaultConfiguration(trusting);
    return m_certificate.isNull() || m_key.isNull() ? "no certificate or key Qt can read in " VELMORA_TLS_DIR
                                                    : "";
}

void FakeHttpServer::incomingConnection(qintptr handle)
{
    QTcpSocket *socket = m_certificate.isNull() ? new QTcpSocket(this) : new QSslSocket(this);
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
            answer(socket, head.left(head.indexOf("\r\n")).split(' ').value(1));
    });
    if (auto *tls = qobject_cast<QSslSocket *>(socket)) {
        tls->setLocalCertificate(m_certificate);
        tls->setPrivateKey(m_key);
        tls->startServerEncryption();
    }
}

void FakeHttpServer::answer(QTcpSocket *socket, const QByteArray &path)
{
    ++m_requests[path];
    const Route route = m_routes.value(path, complete("not here", 404));
    if (route.mode == Mode::NeverAnswer)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " Canned\r\nConnection: close\r\n";
    if (!route.location.isEmpty())
        head += "Location: " + route.location + "\r\n";
    const qint64 length = route.mode == Mode::Complete ? route.body.size() : route.declaredLength;
    if (length >= 0)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    socket->write(head + "\r\n");
    if (route.mode == Mode::Endless) {
        const auto more = [=] {
            if (socket->bytesToWrite() < 64 * 1024)
                m_bodyBytesSent += socket->write(QByteArray(64 * 1024, 'x'));
        };
        connect(socket, &QTcpSocket::bytesWritten, this, more);
        return more();
    }
    socket->write(route.body);
    if (route.mode != Mode::StallMidBody)
        socket->disconnectFromHost();
}
