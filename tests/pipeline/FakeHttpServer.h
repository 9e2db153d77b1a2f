#pragma once

#include "tests/pipeline/TlsTcpServer.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

// A local HTTP/1.1 server with canned answers for fault injection: every path has a route that says
// how to answer (or not to). One request per connection; answers close the connection.
class FakeHttpServer : public QObject
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

    FakeHttpServer();

    // From now on every connection speaks TLS with a certificate made for this server; returns why that
    // failed, or an empty string. Clients trust the certificate only once they are told to.
    QString serveOverTls() { return m_server.useNewCertificate(); }
    const QSslCertificate &certificate() const { return m_server.certificate(); }

    // "http://127.0.0.1:PORT/", or "https://..." once it serves over TLS
    QString baseUrl() const;

    void setRoute(const QByteArray &path, const Route &route) { m_routes.insert(path, route); }
    static Route complete(const QByteArray &body, int status = 200);
    static Route redirect(const QByteArray &location);
    static Route withMode(Mode mode, const QByteArray &body = QByteArray(), qint64 declaredLength = -1);

    int requestCount(const QByteArray &path) const { return m_requests.value(path); }
    // Body bytes handed to sockets so far (what an endless route has streamed).
    qint64 bodyBytesSent() const { return m_bodyBytesSent; }

private slots:
    void onNewConnection();

private:
    friend class FakeHttpConnection;
    Route routeFor(const QByteArray &path);

    TlsTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
    QHash<QByteArray, int> m_requests;
    qint64 m_bodyBytesSent = 0;
};
