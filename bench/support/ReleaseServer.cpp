#include "bench/support/ReleaseServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>

namespace {
int freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
} // namespace

ReleaseServer::ReleaseServer()
{
    // nginx's workers run unprivileged: the tree must be passable and readable by others.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup);
    QDir().mkpath(root());
}

ReleaseServer::~ReleaseServer()
{
    if (m_started)
        runScript({QStringLiteral("stop"), root()});
}

bool ReleaseServer::put(const QString &relativePath, const QByteArray &bytes)
{
    const QString path = pathOf(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool ReleaseServer::start()
{
    m_port = freeLoopbackPort();
    m_started = runScript({QStringLiteral("start"), root(), QString::number(m_port)});
    return m_started;
}

QString ReleaseServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

bool ReleaseServer::runScript(const QStringList &arguments)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(VELMORA_SOURCE_DIR "/tools/release-server.sh"), arguments);
    const bool ok = script.waitForFinished(30000) && script.exitStatus() == QProcess::NormalExit &&
                    script.exitCode() == 0;
    if (!ok)
        m_error = QString::fromLocal8Bit(script.readAll());
    return ok;
}
