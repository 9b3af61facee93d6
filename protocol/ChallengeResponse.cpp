#include "protocol/ChallengeResponse.h"

#include <QCryptographicHash>

QByteArray ChallengeResponse::challengeOf(QByteArrayView greeting) {
    QByteArray challenge(kChallengeSize, '\0');
    const qsizetype n = qMin<qsizetype>(greeting.size(), kChallengeSize);
    for (qsizetype i = 0; i < n; ++i) {
        challenge[i] = greeting[i];
    }
    return challenge;
}

QByteArray ChallengeResponse::digestInput(QByteArrayView greeting, QByteArrayView password) {
    QByteArray input = challengeOf(greeting) + password.toByteArray();
    const qsizetype zero = input.indexOf('\0');
    if (zero >= 0) {
        input.truncate(zero);
    }
    return input;
}

QByteArray ChallengeResponse::prefixFor(QByteArrayView greeting, QByteArrayView password) {
    // Each connection hashes with a context of its own; nothing is shared between threads.
    const QByteArray digest =
        QCryptographicHash::hash(digestInput(greeting, password), QCryptographicHash::Md5);
    return digest.toHex().toUpper();
}
