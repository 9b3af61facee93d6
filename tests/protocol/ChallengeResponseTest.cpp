#include "protocol/ChallengeResponse.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

using namespace ChallengeResponse;

namespace {
QByteArray md5Upper(const QByteArray& in) {
    return QCryptographicHash::hash(in, QCryptographicHash::Md5).toHex().toUpper();
}
} // namespace

// RFC 1321's own test suite, through the prefix: challenge bytes followed by the password
// are exactly the digest input when the challenge has no zero byte.
TEST(ChallengeResponse, DigestMatchesRfc1321Vectors) {
    EXPECT_EQ(prefixFor("abcdefgh", ""), md5Upper("abcdefgh"));
    EXPECT_EQ(prefixFor("message ", "digest"), "F96B697D7CB7938D525A2F31AAF161D0"); // "message digest"
    EXPECT_EQ(prefixFor("abcdefgh", "ijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
    EXPECT_EQ(
        prefixFor("12345678", "901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST(ChallengeResponse, PrefixIsThirtyTwoUpperCaseHexDigits) {
    for (const QByteArray& greeting : {QByteArray("a1b2c3d4"), QByteArray("\xff\xfe\x80zz!!?", 8)}) {
        const QByteArray p = prefixFor(greeting, "pw");
        ASSERT_EQ(p.size(), kPrefixSize);
        for (const char c : p) {
            EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << p.constData();
        }
    }
}

TEST(ChallengeResponse, OnlyTheFirstEightGreetingBytesCount) {
    // A greeting of 20 bytes: bytes 1 to 8 and then the password.
    EXPECT_EQ(digestInput("ABCDEFGH-rest-ignored", "pw"), "ABCDEFGHpw");
    EXPECT_EQ(prefixFor("ABCDEFGH-rest-ignored", "pw"), prefixFor("ABCDEFGH", "pw"));
    EXPECT_EQ(challengeOf("ABCDEFGHIJ"), "ABCDEFGH");
}

TEST(ChallengeResponse, ShortGreetingsAndZeroBytesEndTheInput) {
    // Five bytes: padded with zeros, so the input is the five bytes alone.
    EXPECT_EQ(challengeOf("ABCDE"), QByteArray("ABCDE\0\0\0", 8));
    EXPECT_EQ(digestInput("ABCDE", "pw"), "ABCDE");
    EXPECT_EQ(prefixFor("ABCDE", "pw"), md5Upper("ABCDE"));
    // A zero inside the challenge ends it there and leaves the password out.
    EXPECT_EQ(digestInput(QByteArray("AB\0DEFGH", 8), "pw"), "AB");
    // An empty password: the eight challenge bytes alone.
    EXPECT_EQ(digestInput("ABCDEFGH", ""), "ABCDEFGH");
}

TEST(ChallengeResponse, LongPasswordsAreUsedWhole) {
    const QByteArray pw(255, 'k');
    EXPECT_EQ(digestInput("ABCDEFGH", pw).size(), 8 + 255);
    EXPECT_EQ(prefixFor("ABCDEFGH", pw), md5Upper("ABCDEFGH" + pw));
    // The 65th character changes the answer: nothing is cut at 64.
    QByteArray other = pw;
    other[200] = 'x';
    EXPECT_NE(prefixFor("ABCDEFGH", pw), prefixFor("ABCDEFGH", other));
}
