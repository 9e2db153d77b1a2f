#include "app/ManifestCheck.h"

#include "app/FailureBox.h"
#include "app/MainWindow.h"
#include "core/AppState.h"
#include "core/BuildConfig.h"
#include "core/Endpoints.h"
#include "core/ReleaseManifest.h"
#include "core/ReleaseSignature.h"
#include "core/RichMessage.h"
#include "core/TextFetch.h"
#include "dialogs/LauncherUpdate.h"

#include <QDateTime>
#include <QDebug>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QPushButton>
#include <QTextBrowser>

void checkReleaseManifest()
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    auto *manager = new QNetworkAccessManager;
    QEventLoop loop;
    QPushButton *button = g_mainWindow->ui->pushButton;

    const QString raw = Endpoints::raw() + QLatin1String("main/launcher/");
    const QByteArray body = fetchBytes(manager, loop, raw + QLatin1String("version.txt"));
    std::optional<ReleaseManifest> manifest = ReleaseManifest::parse(decodedText(body));
    // A build that trusts keys uses no field of a manifest their signature does not cover.
    const QList<QByteArray> keys = trustedReleaseKeys();
    if (manifest && !keys.isEmpty()) {
        const ReleaseSignature signature =
            ReleaseSignature::verify(fetchBytes(manager, loop, raw + QLatin1String("version.txt.sig"), false),
                                     body, keys, QDateTime::currentDateTimeUtc());
        qDebug() << "Release signature:" << ReleaseSignature::describe(signature.verdict);
        if (signature.verdict != ReleaseSignature::Verdict::Valid)
            manifest.reset();
        g_packageSha256 = QString::fromLatin1(signature.gameSha256);
        g_launcherPackageSha256 = QString::fromLatin1(signature.launcherSha256);
    }
    if (!manifest) {
        showFailureBox(QStringLiteral("Launcher"),
                       centredMessage(QStringLiteral("Failed to get game info!\nPlease try again later.")));
        if (g_gameInstalled)
            button->setEnabled(true);
        manager->deleteLater();
        return;
    }

    g_packageSizeGb = manifest->packageSizeGb;
    g_installedSizeGb = manifest->installedSizeGb;
    g_packageHash = manifest->packageHash;
    g_latestLauncherVersion = manifest->launcherVersion;

    if (manifest->offersLauncherUpdate(BuildConfig::kLauncherVersion)) {
        qDebug() << "New Launcher Version Found";
        const QString changeLog =
            decodedText(fetchBytes(manager, loop, raw + QLatin1String("changelog.txt")));
        auto *launcherUpdate = new LauncherUpdate(nullptr);
        launcherUpdate->ui->textBrowser->setText(changeLog);
    } else {
        button->setEnabled(true);
    }

    if (g_gameInstalled) {
        if (manifest->offersGameUpdate(g_installedVersion)) {
            qDebug() << "New Game Version Found";
            button->setText(QStringLiteral("Update"));
        } else {
            button->setText(QStringLiteral("Play"));
        }
    }

    g_latestVersion = manifest->gameVersion;
    manager->deleteLater();
}
