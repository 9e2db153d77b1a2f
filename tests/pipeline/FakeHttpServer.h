#pragma once

#include <QHash>
#include <QStringList>
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
        DropMidBody,     // declares the body's length, sends cutAfter bytes of it, then closes the connection
        StallMidBody,    // declares the body's length, sends cutAfter bytes of it, then stays silent
        NeverAnswer,     // accepts the connection and stays silent
        Endless,         // no Content-Length, an endless stream of bytes
    };
    // How a request for "Range: bytes=N-" is answered while its If-Range (if any) matches the route's ETag.
    enum class Ranges {
        Ignored,   // 200 and the whole body
        Honoured,  // 206 and the body from byte N
        Refused,   // 416
        Misplaced, // 206 and the whole body, said to start at byte 0
    };

    struct Route
    {
        Mode mode = Mode::Complete;
        int status = 200;
        QByteArray body;
        qint64 cutAfter = -1; // DropMidBody and StallMidBody
        QByteArray location;  // a Location header, for redirects
        QByteArray etag;      // an ETag header
        Ranges ranges = Ranges::Ignored;
        int faults = 1 << 30; // the answers that get the mode; later ones are Complete
    };
    static Route withMode(Mode mode, const QByteArray &body = {}, qint64 cutAfter = -1, int faults = 1 << 30)
    {
        return {mode, 200, body, cutAfter, {}, {}, Ranges::Ignored, faults};
    }
    static Route complete(const QByteArray &body, int code = 200)
    {
        return {Mode::Complete, code, body, -1, {}, {}, Ranges::Ignored, 0};
    }
    static Route redirect(const QByteArray &location)
    {
        return {Mode::Complete, 302, {}, -1, location, {}, {}, 0};
    }
    // Its range requests answered as ranges says, with the ETag "\"v1\"" unless another is given.
    static Route ranged(Ranges ranges, Route route, const QByteArray &etag = "\"v1\"")
    {
        route.etag = etag;
        route.ranges = ranges;
        return route;
    }

    FakeHttpServer() { listen(QHostAddress::LocalHost, 0); }

    QString baseUrl() const { return QString("http://127.0.0.1:%1/").arg(serverPort()); }

    void setRoute(const QByteArray &path, const Route &route)
    {
        m_routes.insert(path, route);
        m_answers.remove(path);
    }
    // Requests for path since its route was set.
    int requestCount(const QByteArray &path) const { return m_answers.value(path); }
    // Body bytes handed to sockets so far (what an endless route has streamed).
    qint64 bodyBytesSent() const { return m_bodyBytesSent; }
    // Each answer on path: "RANGE STATUS BODY-BYTES-SENT", RANGE "-" when none was asked.
    QStringList exchanges(const QByteArray &path) const { return m_exchanges.value(path); }
    void clearExchanges() { m_exchanges.clear(); }

signals:
    // An answer's body, as far as it is sent, has been handed to the system.
    void bodyWritten();

protected:
    void incomingConnection(qintptr handle) override;

private:
    void answer(QTcpSocket *socket, const QByteArray &head);

    QHash<QByteArray, Route> m_routes;
    QHash<QByteArray, int> m_answers;
    QHash<QByteArray, QStringList> m_exchanges;
    qint64 m_bodyBytesSent = 0;
};
