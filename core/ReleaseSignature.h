#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The publisher's signature over one release, the file version.txt.sig beside the manifest:
//
//   velmora-release-signature 1
//   expires 2027-06-30T00:00:00Z
//   game-sha256 <64 lowercase hex digits: the game package, Client.zip>
//   launcher-sha256 <64 lowercase hex digits: the launcher package, Launcher.zip>
//   ed25519 <the signature, base64>
//
// The Ed25519 signature covers the four lines above it, each ended by a line feed, followed by the exact
// bytes of version.txt. A release signed this way cannot be changed, nor replayed after it expires.
struct ReleaseSignature
{
    enum class Verdict {
        Valid,
        Missing,    // no file, or an empty one
        Malformed,  // not the form above
        UnknownKey, // no known key made this signature over these bytes (a changed manifest too)
        Expired,
    };

    Verdict verdict = Verdict::Missing;
    QByteArray gameSha256;
    QByteArray launcherSha256;
    QDateTime expires;

    // Checks file against the manifest's bytes, the build's public keys (32 bytes each) and the time now.
    [[nodiscard]] static ReleaseSignature verify(const QByteArray &file, const QByteArray &manifest,
                                                 const QList<QByteArray> &publicKeys, const QDateTime &now);
    // The file that signs manifest and the two digests until expires, with a 64-byte Ed25519 secret key;
    // empty if the key is not one.
    [[nodiscard]] static QByteArray sign(const QByteArray &manifest, const QByteArray &gameSha256,
                                         const QByteArray &launcherSha256, const QDateTime &expires,
                                         const QByteArray &secretKey);
    // What the debug log says of a verdict.
    [[nodiscard]] static QString describe(Verdict verdict);
};

// The Ed25519 public keys this build trusts (VELMORA_RELEASE_KEYS, base64, ";" between them). With none,
// releases are not signed and the launcher fetches no signature.
[[nodiscard]] QList<QByteArray> trustedReleaseKeys();
void overrideTrustedReleaseKeysForTesting(const QList<QByteArray> &keys);
