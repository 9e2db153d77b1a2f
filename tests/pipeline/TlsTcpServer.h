#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>

// A QTcpServer that, once it has a certificate, speaks TLS on every connection it accepts: the sockets
// it hands out are QSslSockets already in their server handshake. Without one it is a plain QTcpServer.
class TlsTcpServer : public QTcpServer
{
    Q_OBJECT

public:
    // Makes a self-signed certificate for 127.0.0.1 (with the openssl tool) and serves with it from now
    // on. Returns why that failed, or an empty string.
    QString useNewCertificate();

    const QSslCertificate &certificate() const { return m_certificate; }

protected:
    void incomingConnection(qintptr handle) override;

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
};
