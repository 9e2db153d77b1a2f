#include "app/ReleaseManifest.h"

#include "app/AppState.h"
#include "app/BuildConfig.h"
#include "app/Endpoints.h"
#include "app/FailureBox.h"
#include "app/MainWindow.h"
#include "app/NetworkRequest.h"
#include "app/TransferWatchdog.h"
#include "dialogs/LauncherUpdate.h"

#include <QDebug>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPushButton>
#include <QStringList>
#include <QTextBrowser>

namespace {

// The manifest is five short fields and the change log a page of text; a larger body is not one of them
// and must not fill the memory.
constexpr qint64 kMaxTextBodyBytes = 1 << 20;

// GET that waits in the given event loop until the reply has finished, then returns its whole body
// decoded as UTF-8 up to the first NUL. Failed requests yield what the server sent (or nothing); a
// transfer that stalls or outgrows kMaxTextBodyBytes yields nothing.
QString fetchText(QNetworkAccessManager *manager, QEventLoop &loop, const QString &address)
{
    QNetworkReply *reply = manager->get(redirectFollowingRequest(address));
    const auto *watchdog = new TransferWatchdog(reply, kMaxTextBodyBytes);
    QObject::connect(reply, SIGNAL(finished()), &loop, SLOT(quit()));
    if (!reply->isFinished())
        loop.exec();
    const QByteArray body = watchdog->tripped() ? QByteArray() : reply->readAll();
    reply->deleteLater();
    // A QByteArray's data is NUL-terminated, so the C-string overload stops at the first NUL.
    return QString::fromUtf8(body.constData());
}

} // namespace

void checkReleaseManifest()
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    auto *manager = new QNetworkAccessManager;
    QEventLoop loop;
    QPushButton *button = g_mainWindow->ui->pushButton;

    const QStringList fields =
        fetchText(manager, loop, Endpoints::raw() + QLatin1String("main/launcher/version.txt"))
            .split(QLatin1Char(';'));
    if (fields.size() != 5) {
        showFailureBox(QStringLiteral("Launcher"),
                       centredMessage(QStringLiteral("Failed to get game info!\nPlease try again later.")));
        if (g_gameInstalled)
            button->setEnabled(true);
        manager->deleteLater();
        return;
    }

    g_packageSizeGb = fields.at(2);
    g_installedSizeGb = fields.at(3);
    g_packageHash = fields.at(4);

    if (fields.at(0).toInt() > BuildConfig::kLauncherVersion) {
        qDebug() << "New Launcher Version Found";
        const QString changeLog =
            fetchText(manager, loop, Endpoints::raw() + QLatin1String("main/launcher/changelog.txt"));
        auto *launcherUpdate = new LauncherUpdate(nullptr);
        launcherUpdate->ui->textBrowser->setText(changeLog);
    } else {
        button->setEnabled(true);
    }

    if (g_gameInstalled) {
        if (fields.at(1).toInt() > g_installedVersion.toInt()) {
            qDebug() << "New Game Version Found";
            button->setText(QStringLiteral("Update"));
        } else {
            button->setText(QStringLiteral("Play"));
        }
    }

    g_latestVersion = fields.at(1);
    manager->deleteLater();
}
