// The release signature from the web, checked against the manifest beside it. Input: the signature file,
// a NUL, the manifest. Any bytes are valid only when the publisher's key signed exactly their four lines and
// that manifest, and only until they expire.
#include "core/ReleaseSignature.h"

#include <cstdint>
#include <cstdlib>
#include <sodium.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray secret = [] { // the publisher's key, made from a seed of 1
        unsigned char seed[crypto_sign_SEEDBYTES] = {1}, publicKey[crypto_sign_PUBLICKEYBYTES];
        QByteArray key(crypto_sign_SECRETKEYBYTES, '\0');
        return crypto_sign_seed_keypair(publicKey, reinterpret_cast<unsigned char *>(key.data()), seed) == 0
                   ? key
                   : QByteArray();
    }();
    static const QList<QByteArray> keys = {secret.right(crypto_sign_PUBLICKEYBYTES)};
    static const QDateTime now = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const int nul = input.indexOf('\0');
    const QByteArray file = input.left(nul), manifest = nul < 0 ? QByteArray() : input.mid(nul + 1);

    const ReleaseSignature found = ReleaseSignature::verify(file, manifest, keys, now);
    if (found.verdict == ReleaseSignature::Verdict::Valid) {
        // Ed25519 signs deterministically: signing the same bytes again gives the signature the file holds.
        const QList<QByteArray> lines = file.split('\n');
        const QByteArray message = lines.mid(0, 4).join('\n') + '\n' + manifest;
        QByteArray again(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char *>(again.data()), nullptr,
                             reinterpret_cast<const unsigned char *>(message.constData()),
                             quint64(message.size()),
                             reinterpret_cast<const unsigned char *>(secret.constData()));
        if (!lines.value(4).startsWith("ed25519 ") ||
            QByteArray::fromBase64(lines.value(4).mid(8)) != again || found.expires <= now)
            std::abort();
    }

    return 0;
}
