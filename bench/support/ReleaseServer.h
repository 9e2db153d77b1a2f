#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The project's sample release server (nginx through tools/release-server.sh) on a free loopback port,
// serving a tree the test fills: raw/... for the raw-file endpoint, files/V/Client.zip for what
// releases/download/V/Client.zip redirects to.
class ReleaseServer
{
public:
    ReleaseServer();
    ~ReleaseServer();

    // Writes a file below the served tree (parent directories created).
    bool put(const QString &relativePath, const QByteArray &bytes);
    QString pathOf(const QString &relativePath) const { return root() + QLatin1Char('/') + relativePath; }

    bool start();
    QString baseUrl() const;
    QString errorText() const { return m_error; }

private:
    QString root() const { return m_dir.path() + QStringLiteral("/www"); }
    bool runScript(const QStringList &arguments);

    QTemporaryDir m_dir;
    int m_port = 0;
    bool m_started = false;
    QString m_error;
};
