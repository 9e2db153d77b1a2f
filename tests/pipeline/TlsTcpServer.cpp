#include "tests/pipeline/TlsTcpServer.h"

#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QTemporaryDir>

namespace {

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QString TlsTcpServer::useNewCertificate()
{
    QTemporaryDir dir;
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    const QString certificatePath = dir.filePath(QStringLiteral("certificate.pem"));
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    // An elliptic-curve key: generated in a moment, where an RSA key can take a second on a busy machine.
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                   "-keyout", keyPath, "-out", certificatePath});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0)
        return QStringLiteral("openssl req failed (%1): %2")
            .arg(openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
    m_certificate = QSslCertificate(read(certificatePath), QSsl::Pem);
    m_key = QSslKey(read(keyPath), QSsl::Ec, QSsl::Pem);
    if (m_certificate.isNull() || m_key.isNull())
        return QStringLiteral("openssl wrote a certificate or key that Qt cannot read");
    return QString();
}

void TlsTcpServer::incomingConnection(qintptr handle)
{
    if (m_certificate.isNull()) {
        QTcpServer::incomingConnection(handle);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    addPendingConnection(socket);
    socket->startServerEncryption();
}
