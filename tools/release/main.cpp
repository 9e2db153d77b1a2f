// The publisher's release tool: makes a signing key, and makes a whole release tree as the endpoints serve
// it, its packages written by the launcher's own archive worker and signed with the publisher's key.
//
//   velmora-release keygen KEYFILE
//       writes a new secret key to KEYFILE (its owner alone may read it) and prints the public key, the
//       value for VELMORA_RELEASE_KEYS
//   velmora-release make OUT --game DIR --game-version N [--launcher DIR --launcher-version L]
//                         [--changelog FILE] [--key KEYFILE] [--days 30] [--stored]
//       OUT/files/N/Client.zip                    the content of the game folder (Unix modes kept)
//       OUT/raw/main/launcher/version.txt         "L;N;PACKAGE_GB;INSTALLED_GB;MD5", no line end
//       OUT/raw/main/launcher/changelog.txt
//       OUT/raw/main/launcher/OSRELWIN/Launcher.zip  the content of the launcher folder (with --launcher)
//       OUT/raw/main/launcher/version.txt.sig     with --key: valid for --days days
#include "archive/Q7Zip.h"
#include "core/FileChecksum.h"
#include "core/ReleaseSignature.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>
#include <sodium.h>

namespace {

int fail(const QString &why)
{
    std::fprintf(stderr, "velmora-release: %s\n", qPrintable(why));
    return 1;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Everything below dir, directories too, and the bytes of its files.
QStringList entriesBelow(const QString &dir, qint64 &bytes)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        entries << it.next();
        bytes += it.fileInfo().isFile() ? it.fileInfo().size() : 0;
    }
    entries.sort();
    return entries;
}

// Packs the content of dir (not dir itself) into archive; returns the bytes it holds unpacked, or -1.
qint64 pack(const QString &dir, const QString &archive, bool stored)
{
    qint64 bytes = 0;
    const QStringList entries = entriesBelow(QDir(dir).absolutePath(), bytes);
    QDir().mkpath(QFileInfo(archive).absolutePath());
    QFile::remove(archive);
    return Q7Zip::getInstance()->compress(archive, entries, QDir(dir).absolutePath() + '/',
                                          stored ? 0 : -1) == 0
               ? bytes
               : -1;
}

// Decimal gigabytes with two decimals, never shown as nothing.
QString gigabytes(qint64 bytes)
{
    return QString::number(std::max(double(bytes) / 1e9, 0.01), 'f', 2);
}

int keygen(const QString &keyFile)
{
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0'), secretKey(crypto_sign_SECRETKEYBYTES, '\0');
    if (sodium_init() < 0 || crypto_sign_keypair(reinterpret_cast<unsigned char *>(publicKey.data()),
                                                 reinterpret_cast<unsigned char *>(secretKey.data())) != 0)
        return fail("cannot make a key");
    // The secret key's first half is its seed, all a key file holds.
    QSaveFile file(keyFile);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(secretKey.left(crypto_sign_SEEDBYTES).toBase64() + '\n') < 0 || !file.commit())
        return fail("cannot write " + keyFile);
    std::printf("%s\n", publicKey.toBase64().constData());
    return 0;
}

QByteArray secretKeyFrom(const QString &keyFile)
{
    QFile file(keyFile);
    const QByteArray seed =
        file.open(QIODevice::ReadOnly) ? QByteArray::fromBase64(file.readAll().trimmed()) : "";
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0'), secretKey(crypto_sign_SECRETKEYBYTES, '\0');
    if (seed.size() != crypto_sign_SEEDBYTES || sodium_init() < 0 ||
        crypto_sign_seed_keypair(reinterpret_cast<unsigned char *>(publicKey.data()),
                                 reinterpret_cast<unsigned char *>(secretKey.data()),
                                 reinterpret_cast<const unsigned char *>(seed.constData())) != 0)
        return QByteArray();
    return secretKey;
}

int make(const QCommandLineParser &options, const QString &out)
{
    const QString raw = out + "/raw/main/launcher/", version = options.value("game-version");
    const QString package = out + "/files/" + version + "/Client.zip",
                  launcherPackage = raw + "OSRELWIN/Launcher.zip";
    const qint64 installed = pack(options.value("game"), package, options.isSet("stored"));
    if (version.isEmpty() || installed < 0)
        return fail("cannot pack the game folder " + options.value("game"));
    if (options.isSet("launcher") && pack(options.value("launcher"), launcherPackage, false) < 0)
        return fail("cannot pack the launcher folder " + options.value("launcher"));
    // Both digests in one read; the hash field exactly as the launcher's hash mode writes it.
    const QStringList digests = fileChecksums(package, {QCryptographicHash::Md5, QCryptographicHash::Sha256});
    const QByteArray manifest =
        QStringList{options.value("launcher-version"), version, gigabytes(QFileInfo(package).size()),
                    gigabytes(installed), digests.at(0)}
            .join(';')
            .toUtf8();
    QFile changelog(options.value("changelog"));
    const bool hasChangelog = options.isSet("changelog") && changelog.open(QIODevice::ReadOnly);
    if (!writeFile(raw + "version.txt", manifest) ||
        !writeFile(raw + "changelog.txt", hasChangelog ? changelog.readAll() : QByteArray()))
        return fail("cannot write below " + raw);
    if (!options.isSet("key"))
        return 0;
    const QByteArray secretKey = secretKeyFrom(options.value("key"));
    const QByteArray signature = ReleaseSignature::sign(
        manifest, digests.at(1).toLatin1(),
        QFile::exists(launcherPackage) ? fileChecksum(launcherPackage, QCryptographicHash::Sha256).toLatin1()
                                       : QByteArray(64, '0'),
        QDateTime::currentDateTimeUtc().addDays(options.value("days").toInt()), secretKey);
    if (signature.isEmpty())
        return fail("not a key file: " + options.value("key"));
    return writeFile(raw + "version.txt.sig", signature) ? 0 : fail("cannot write the signature");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCommandLineParser options;
    options.addPositionalArgument("command", "keygen KEYFILE, or make OUT");
    options.addOptions(
        {{"game", "the game folder", "DIR"},
         {"game-version", "the release's game version", "N"},
         {"launcher", "the launcher folder (VelmoraGameLauncher.exe and what it needs)", "DIR"},
         {"launcher-version", "the release's launcher version", "L", "3"},
         {"changelog", "the change log", "FILE"},
         {"key", "the secret key file that signs the release", "KEYFILE"},
         {"days", "how long the signature is valid", "DAYS", "30"},
         {"stored", "store the game package's files uncompressed"}});
    options.addHelpOption();
    options.process(application);
    const QStringList arguments = options.positionalArguments();
    if (arguments.size() == 2 && arguments.first() == "keygen")
        return keygen(arguments.last());
    if (arguments.size() == 2 && arguments.first() == "make")
        return make(options, QDir(arguments.last()).absolutePath());
    options.showHelp(2);
}
