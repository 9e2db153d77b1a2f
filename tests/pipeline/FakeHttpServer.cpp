#include "tests/pipeline/FakeHttpServer.h"

#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>

#include "tests/support/TestFiles.h"

QString FakeHttpServer::serveOverTls()
{
    QTemporaryDir dir;
    const QString keyPath = dir.filePath("key.pem"), certificatePath = dir.filePath("certificate.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    // An elliptic-curve key: generated in a moment, where an RSA key can take a second on a busy machine.
    openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                              "subjectAltName=IP:127.0.0.1", "-keyout", keyPath, "-out", certificatePath});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode())
        return "openssl req failed: " + QString::fromLocal8Bit(openssl.readAll());
    m_certificate = QSslCertificate(TestFiles::read(certificatePath), QSsl::Pem);
    m_key = QSslKey(TestFiles::read(keyPath), QSsl::Ec, QSsl::Pem);
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.setCaCertificates({m_certificate});
    QSslConfiguration::setDefaultConfiguration(trusting);
    return m_certificate.isNull() || m_key.isNull() ? "openssl wrote a certificate or key Qt cannot read"
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
