#include "core/ReleaseSignature.h"

#include "core/BuildConfig.h"

#include <QRegularExpression>

#include <optional>
#include <sodium.h>

namespace {

constexpr int kSignedLines = 4;

std::optional<QList<QByteArray>> overriddenKeys;

QByteArray signedPart(const QByteArray &expires, const QByteArray &gameSha256,
                      const QByteArray &launcherSha256)
{
    return "velmora-release-signature 1\nexpires " + expires + "\ngame-sha256 " + gameSha256 +
           "\nlauncher-sha256 " + launcherSha256 + '\n';
}

bool isSha256(const QByteArray &digest)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(QString::fromLatin1(digest)).hasMatch();
}

} // namespace

ReleaseSignature ReleaseSignature::verify(const QByteArray &file, const QByteArray &manifest,
                                          const QList<QByteArray> &publicKeys, const QDateTime &now)
{
    ReleaseSignature result;
    if (file.isEmpty())
        return result;
    result.verdict = Verdict::Malformed;
    // Exactly five lines, the last one ended or not; nothing may stand between or around them.
    QList<QByteArray> lines = file.split('\n');
    if (lines.size() == kSignedLines + 2 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != kSignedLines + 1 || sodium_init() < 0)
        return result;
    const auto field = [&lines](int index, const char *name) {
        const QByteArray prefix = QByteArray(name) + ' ';
        return lines.at(index).startsWith(prefix) ? lines.at(index).mid(prefix.size()) : QByteArray();
    };
    const QByteArray expires = field(1, "expires"), game = field(2, "game-sha256"),
                     launcher = field(3, "launcher-sha256");
    const QByteArray signature =
        QByteArray::fromBase64(field(4, "ed25519"), QByteArray::AbortOnBase64DecodingErrors);
    const QDateTime expiry = QDateTime::fromString(QString::fromLatin1(expires), Qt::ISODate);
    const QByteArray part = signedPart(expires, game, launcher);
    if (lines.first() != "velmora-release-signature 1" || !expiry.isValid() || !isSha256(game) ||
        !isSha256(launcher) || signature.size() != crypto_sign_BYTES || !file.startsWith(part))
        return result;
    const QByteArray message = part + manifest;
    result.verdict = Verdict::UnknownKey;
    for (const QByteArray &key : publicKeys) {
        if (key.size() == crypto_sign_PUBLICKEYBYTES &&
            crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                        reinterpret_cast<const unsigned char *>(message.constData()),
                                        quint64(message.size()),
                                        reinterpret_cast<const unsigned char *>(key.constData())) == 0) {
            result.expires = expiry;
            result.verdict = expiry > now ? Verdict::Valid : Verdict::Expired;
            if (result.verdict == Verdict::Valid) {
                result.gameSha256 = game;
                result.launcherSha256 = launcher;
            }
            break;
        }
    }
    return result;
}

QByteArray ReleaseSignature::sign(const QByteArray &manifest, const QByteArray &gameSha256,
                                  const QByteArray &launcherSha256, const QDateTime &expires,
                                  const QByteArray &secretKey)
{
    if (secretKey.size() != crypto_sign_SECRETKEYBYTES || sodium_init() < 0)
        return QByteArray();
    const QByteArray part =
        signedPart(expires.toUTC().toString(Qt::ISODate).toLatin1(), gameSha256, launcherSha256);
    const QByteArray message = part + manifest;
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(message.constData()),
                         quint64(message.size()),
                         reinterpret_cast<const unsigned char *>(secretKey.constData()));
    return part + "ed25519 " + signature.toBase64() + '\n';
}

QString ReleaseSignature::describe(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Valid:
        return QStringLiteral("valid");
    case Verdict::Missing:
        return QStringLiteral("missing");
    case Verdict::Malformed:
        return QStringLiteral("malformed");
    case Verdict::UnknownKey:
        return QStringLiteral("not made by a known key over this manifest");
    case Verdict::Expired:
        return QStringLiteral("expired");
    }
    return QString();
}

QList<QByteArray> trustedReleaseKeys()
{
    if (overriddenKeys)
        return *overriddenKeys;
    QList<QByteArray> keys;
    for (const QByteArray &text : QByteArray(BuildConfig::kReleaseKeys).split(';'))
        if (!text.trimmed().isEmpty())
            keys << QByteArray::fromBase64(text.trimmed());
    return keys;
}

void overrideTrustedReleaseKeysForTesting(const QList<QByteArray> &keys)
{
    overriddenKeys = keys;
}
