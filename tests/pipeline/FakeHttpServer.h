#pragma once

#include <QHash>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

// A local HTTP/1.1 server with canned answers for fault injection: every path has a route that says
// how to answer (or not to). One request per connection; answers close the connection.
class FakeHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    enum class Mode {
        Complete,        // status, Content-Length, the body
        NoContentLength, // status, the body, then the connection closes
        DropMidBody,     // declares declaredLength, sends the body, then closes the connection
        StallMidBody,    // declares declaredLength, sends the body, then stays silent
        NeverAnswer,     // accepts the connection and stays silent
        Endless,         // no Content-Length, an endless stream of bytes
    };

    struct Route
    {
        Mode mode = Mode::Complete;
        int status = 200;
        QByteArray body;
        qint64 declaredLength = -1; // DropMidBody and StallMidBody
        QByteArray location;        // a Location header, for redirects
    };
    static Route complete(const QByteArray &body, int code = 200)
    {
        return {Mode::Complete, code, body, -1, {}};
    }
    static Route redirect(const QByteArray &location) { return {Mode::Complete, 302, {}, -1, location}; }
    static Route withMode(Mode mode, const QByteArray &body = {}, qint64 declaredLength = -1)
    {
        return {mode, 200, body, declaredLength, {}};
    }

    FakeHttpServer() { listen(QHostAddress::LocalHost, 0); }

    // From now on every connection speaks TLS with a self-signed certificate made for 127.0.0.1, which this
    // process's clients are told to trust; returns why that failed, or an empty string.
    QString serveOverTls();

    // "http://127.0.0.1:PORT/", or "https://..." once it serves over TLS
    QString baseUrl() const
    {
        return QString("%1://127.0.0.1:%2/").arg(m_certificate.isNull() ? "http" : "https").arg(serverPort());
    }

    void setRoute(const QByteArray &path, const Route &route) { m_routes.insert(path, route); }
    int requestCount(const QByteArray &path) const { return m_requests.value(path); }
    // Body bytes handed to sockets so far (what an endless route has streamed).
    qint64 bodyBytesSent() const { return m_bodyBytesSent; }

protected:
    void incomingConnection(qintptr handle) override;

private:
    void answer(QTcpSocket *socket, const QByteArray &path);

    QSslCertificate m_certificate;
    QSslKey m_key;
    QHash<QByteArray, Route> m_routes;
    QHash<QByteArray, int> m_requests;
    qint64 m_bodyBytesSent = 0;
};
