#include "app/ManifestCheck.h"

#include "app/FailureBox.h"
#include "app/MainWindow.h"
#include "core/AppState.h"
#include "core/BuildConfig.h"
#include "core/Endpoints.h"
#include "core/ReleaseManifest.h"
#include "core/RichMessage.h"
#include "core/TextFetch.h"
#include "dialogs/LauncherUpdate.h"

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

    const std::optional<ReleaseManifest> manifest = ReleaseManifest::parse(
        fetchText(manager, loop, Endpoints::raw() + QLatin1String("main/launcher/version.txt")));
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

    if (manifest->launcherVersion.toInt() > BuildConfig::kLauncherVersion) {
        qDebug() << "New Launcher Version Found";
        const QString changeLog =
            fetchText(manager, loop, Endpoints::raw() + QLatin1String("main/launcher/changelog.txt"));
        auto *launcherUpdate = new LauncherUpdate(nullptr);
        launcherUpdate->ui->textBrowser->setText(changeLog);
    } else {
        button->setEnabled(true);
    }

    if (g_gameInstalled) {
        if (manifest->gameVersion.toInt() > g_installedVersion.toInt()) {
            qDebug() << "New Game Version Found";
            button->setText(QStringLiteral("Update"));
        } else {
            button->setText(QStringLiteral("Play"));
        }
    }

    g_latestVersion = manifest->gameVersion;
    manager->deleteLater();
}
