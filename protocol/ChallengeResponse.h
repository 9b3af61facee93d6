#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The answer to a projector's challenge: MD5 over the challenge and the password, written
// as 32 upper-case hexadecimal digits that stand before the command text.
namespace ChallengeResponse {

inline constexpr int kChallengeSize = 8;
inline constexpr int kPrefixSize = 32;

// The first 8 bytes of the greeting, zero bytes where fewer arrived.
QByteArray challengeOf(QByteArrayView greeting);

// The challenge followed by the password, ended at its first zero byte as the projector
// reads it: a zero inside the challenge leaves the rest and the password out.
QByteArray digestInput(QByteArrayView greeting, QByteArrayView password);

QByteArray prefixFor(QByteArrayView greeting, QByteArrayView password);

} // namespace ChallengeResponse
