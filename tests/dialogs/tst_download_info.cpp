// The download-information dialog as the main button opens it, under the offscreen platform.
#include "app/MainWindow.h"
#include "core/AppState.h"
#include "dialogs/DownloadInfo.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

#include <algorithm>

#include <memory>

namespace {

const QByteArray kPackagePath = "/releases/download/12/Client.zip";

QString expectedSizeText(const QString &package, const QString &unpack, const QString &installed)
{
    return QStringLiteral("\n\nDownload Package Size: %1 GB\n\nNeed Space For Unpack: %2 GB\n\n"
                          "Game Size After Install: %3 GB")
        .arg(package, unpack, installed);
}

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

} // namespace

class DownloadInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowForm();
    void sizeText_data();
    void sizeText();
    void cancelLeavesGameDirAlone();
    void closingActsLikeCancel_data();
    void closingActsLikeCancel();
    void downloadWipesGameDirThenStartsPipeline();
    void secondOpeningActsOnSecondWindow();

private:
    QDialog *openDialog();
    QPushButton *mainButton() { return m_window->ui->pushButton; }

    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void DownloadInfoTest::initTestCase()
{
    LauncherUnderTest::clearInstallTree();
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;00");
    m_window->show();
    m_server.setRoute(kPackagePath, FakeHttpServer::complete("gone", 404));
}

void DownloadInfoTest::init()
{
    g_gameInstalled = false;
    g_packageSizeGb = QStringLiteral("1.5");
    g_installedSizeGb = QStringLiteral("3.2");
    mainButton()->setEnabled(true);
    m_messageBoxes.clear();
}

void DownloadInfoTest::cleanup()
{
    // However a case ends, a window answered or closed goes, and its dialog with it.
    if (g_downloadInfoWindow)
        g_downloadInfoWindow->close();
    const auto remains = [] {
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        return std::any_of(windows.cbegin(), windows.cend(), [](QWidget *widget) {
            return qobject_cast<DownloadInfo *>(widget) ||
                   widget->objectName() == QLatin1String("DownloadInfo");
        });
    };
    QTRY_VERIFY(!remains() && !g_downloadInfoWindow);
    LauncherUnderTest::clearInstallTree();
}

QDialog *DownloadInfoTest::openDialog()
{
    mainButton()->click();
    return g_downloadInfoWindow;
}

void DownloadInfoTest::windowForm()
{
    QDialog *window = openDialog();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QVERIFY(!mainButton()->isEnabled());
    QCOMPARE(window->windowTitle(), QStringLiteral("Download Package Info"));
    QCOMPARE(window->size(), QSize(400, 300));

    const auto *label = window->findChild<QLabel *>(QStringLiteral("label"));
    const auto *text = window->findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
    const auto *cancel = window->findChild<QPushButton *>(QStringLiteral("Cancel"));
    const auto *download = window->findChild<QPushButton *>(QStringLiteral("Download"));
    QVERIFY(label && text && cancel && download);
    QCOMPARE(label->text(), QStringLiteral("Download Info"));
    QCOMPARE(label->geometry(), QRect(0, 0, 401, 31));
    QCOMPARE(label->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    QCOMPARE(text->geometry(), QRect(10, 40, 381, 201));
    QCOMPARE(text->font().pointSize(), 12);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(cancel->geometry(), QRect(10, 250, 181, 41));
    QCOMPARE(download->text(), QStringLiteral("Download"));
    QCOMPARE(download->geometry(), QRect(210, 250, 181, 41));
}

void DownloadInfoTest::sizeText_data()
{
    QTest::addColumn<QString>("packageSize");
    QTest::addColumn<QString>("installedSize");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1.5 + 3.2") << "1.5"
                               << "3.2" << expectedSizeText("1.5", "4.7", "3.2");
    QTest::newRow("empty sizes") << ""
                                 << "" << expectedSizeText("", "0", "");
    QTest::newRow("one million") << "500000"
                                 << "500000" << expectedSizeText("500000", "1e+06", "500000");
}

void DownloadInfoTest::sizeText()
{
    QFETCH(QString, packageSize);
    QFETCH(QString, installedSize);
    QFETCH(QString, expected);
    g_packageSizeGb = packageSize;
    g_installedSizeGb = installedSize;

    QDialog *window = openDialog();
    QCOMPARE(window->findChild<QTextBrowser *>()->toPlainText(), expected);
}

void DownloadInfoTest::cancelLeavesGameDirAlone()
{
    const QString game = LauncherUnderTest::path("/GameDir/Velmora.exe");
    touch(game);
    QDialog *window = openDialog();

    window->findChild<QPushButton *>(QStringLiteral("Cancel"))->click();

    QVERIFY(window->isHidden());
    QVERIFY(mainButton()->isEnabled());
    QVERIFY(QFile::exists(game));
    // A download shows its first step as it starts; none did.
    QVERIFY(m_window->ui->label->isHidden());
}

void DownloadInfoTest::closingActsLikeCancel_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("title bar") << false;
    QTest::newRow("Escape") << true;
}

void DownloadInfoTest::closingActsLikeCancel()
{
    QFETCH(bool, escape);
    QDialog *window = openDialog();
    QVERIFY(!mainButton()->isEnabled());

    if (escape)
        QTest::keyClick(window, Qt::Key_Escape);
    else
        window->close();

    QVERIFY(window->isHidden());
    QVERIFY(mainButton()->isEnabled());
    QVERIFY(m_window->ui->label->isHidden());
}

void DownloadInfoTest::downloadWipesGameDirThenStartsPipeline()
{
    touch(LauncherUnderTest::path("/GameDir/Velmora.exe"));
    touch(LauncherUnderTest::path("/GameDir/data/level1.pak"));
    const int requestsBefore = m_server.requestCount(kPackagePath);
    QDialog *window = openDialog();

    window->findChild<QPushButton *>(QStringLiteral("Download"))->click();

    QVERIFY(window->isHidden());
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/GameDir/Velmora.exe")));
    QVERIFY(!QDir(LauncherUnderTest::path("/GameDir/data")).exists());
    QVERIFY(!mainButton()->isEnabled());
    QCOMPARE(m_window->ui->label->text(), QStringLiteral("Preparing..."));
    QVERIFY(m_window->ui->label->isVisible());

    // The pipeline asks for the package (here refused) and ends at the idle state.
    QTRY_VERIFY_WITH_TIMEOUT(mainButton()->isEnabled(), 10000);
    QCOMPARE(m_server.requestCount(kPackagePath), requestsBefore + 1);
    QCOMPARE(m_messageBoxes.seen().size(), 1);
}

void DownloadInfoTest::secondOpeningActsOnSecondWindow()
{
    QDialog *first = openDialog();
    first->findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
    g_packageSizeGb = QStringLiteral("2");
    QDialog *second = openDialog();

    QVERIFY(second != first);
    QVERIFY(second->isVisible());
    QVERIFY(first->isHidden());
    QCOMPARE(second->findChild<QTextBrowser *>()->toPlainText(), expectedSizeText("2", "5.2", "3.2"));

    second->findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
    QVERIFY(second->isHidden());
    QVERIFY(mainButton()->isEnabled());
}

QTEST_MAIN(DownloadInfoTest)
#include "tst_download_info.moc"
