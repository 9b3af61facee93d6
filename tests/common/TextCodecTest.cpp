#include "common/TextCodec.h"

#include <gtest/gtest.h>

#include <iconv.h>

using Enc = TextCodec::Encoding;

namespace {

QByteArray allBytes() {
    QByteArray b;
    for (int i = 0; i < 256; ++i) {
        b.append(static_cast<char>(i));
    }
    return b;
}

// The platform's own reading of one Windows-1252 byte, when it defines the byte.
std::optional<QString> platform1252(char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    char in[1] = {byte};
    char out[8];
    char* src = in;
    char* dst = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const std::size_t r = iconv(cd, &src, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    return QString::fromUtf8(out, dst - out);
}

} // namespace

TEST(TextCodec, Utf8Validity) {
    EXPECT_TRUE(TextCodec::isValidUtf8(""));
    EXPECT_TRUE(TextCodec::isValidUtf8("plain ASCII [Projector List]"));
    EXPECT_TRUE(TextCodec::isValidUtf8("\xE6\x8A\x95\xE5\xBD\xB1 Caf\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(TextCodec::isValidUtf8("Caf\xE9"));                  // Windows-1252
    EXPECT_FALSE(TextCodec::isValidUtf8("\xCD\xB6\xD3\xB0\xBB\xFA")); // GBK
    // Two GBK characters can be valid UTF-8 by chance; a whole file seldom is.
    EXPECT_TRUE(TextCodec::isValidUtf8("\xCD\xB6\xD3\xB0"));
    EXPECT_FALSE(TextCodec::isValidUtf8("\xC0\x80"));         // overlong
    EXPECT_FALSE(TextCodec::isValidUtf8("\xE0\x80\xAF"));     // overlong
    EXPECT_FALSE(TextCodec::isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(TextCodec::isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(TextCodec::isValidUtf8("\xE6\x8A"));         // cut short
    EXPECT_FALSE(TextCodec::isValidUtf8("\xE6\x8A"
                                        "A"));
    EXPECT_EQ(TextCodec::detect("Caf\xC3\xA9", Enc::Gbk), Enc::Utf8);
    EXPECT_EQ(TextCodec::detect("Caf\xE9", Enc::Windows1252), Enc::Windows1252);
}

TEST(TextCodec, Windows1252RoundTripsEveryByteAndAgreesWithThePlatform) {
    const QByteArray bytes = allBytes();
    const QString text = TextCodec::decode(bytes, Enc::Windows1252);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(TextCodec::encode(text, Enc::Windows1252), bytes);
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0xE9], QChar(0xE9));
    EXPECT_EQ(text[0x81], QChar(0x81)) << "an unassigned byte keeps its number";
    int compared = 0;
    for (int b = 0x80; b < 0x100; ++b) {
        if (const auto expected = platform1252(static_cast<char>(b))) {
            EXPECT_EQ(QString(text[b]), *expected) << b;
            ++compared;
        }
    }
    EXPECT_GE(compared, 123);
    EXPECT_EQ(TextCodec::encode(u"Caf\u00E9 \u20AC \u0153", Enc::Windows1252),
              QByteArray("Caf\xE9 \x80 \x9C"));
    EXPECT_FALSE(TextCodec::encode(u"\u6295", Enc::Windows1252));
    EXPECT_FALSE(TextCodec::encode(u"\uFFFD", Enc::Windows1252));
    EXPECT_FALSE(TextCodec::encode(u"\u0100", Enc::Windows1252));
}

TEST(TextCodec, GbkRoundTripAndUnreadableBytes) {
    const QByteArray gbk("\xCD\xB6\xD3\xB0\xBB\xFA \x80 A");
    const QString text = TextCodec::decode(gbk, Enc::Gbk);
    EXPECT_EQ(text, QStringLiteral(u"投影机 € A"));
    EXPECT_EQ(TextCodec::encode(text, Enc::Gbk), gbk);
    EXPECT_EQ(TextCodec::encode(u"礼堂", Enc::Gbk), QByteArray("\xC0\xF1\xCC\xC3"));

    // Undefined bytes and a lead byte without its partner read as U+FFFD, and what follows
    // them is read afresh.
    EXPECT_EQ(TextCodec::decode("\xFF\xCD\xB6", Enc::Gbk), QStringLiteral(u"\uFFFD投"));
    EXPECT_EQ(TextCodec::decode("a\xCD", Enc::Gbk), QStringLiteral(u"a\uFFFD"));
    EXPECT_EQ(TextCodec::decode("\xCD\n[x]", Enc::Gbk), QStringLiteral(u"\uFFFD\n[x]"));
    EXPECT_EQ(TextCodec::decode(QByteArray(5000, 'a') + "\xCD\xB6", Enc::Gbk).size(), 5001)
        << "longer than one conversion buffer";

    EXPECT_FALSE(TextCodec::encode(u"\uFFFD", Enc::Gbk)) << "unreadable bytes cannot be written back as text";
    EXPECT_FALSE(TextCodec::encode(u"\U0001F600", Enc::Gbk));
    EXPECT_FALSE(TextCodec::encode(u"\u00E5", Enc::Gbk)); // a Western letter GBK does not hold
}

TEST(TextCodec, UnpairedSurrogates) {
    const QString lone = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    EXPECT_FALSE(TextCodec::encode(lone, Enc::Windows1252));
    EXPECT_FALSE(TextCodec::encode(lone, Enc::Gbk));
    EXPECT_EQ(TextCodec::encode(lone, Enc::Utf8), QByteArray("a\xEF\xBF\xBD"
                                                             "b"));
    EXPECT_EQ(TextCodec::encode(u"\U0001F600", Enc::Utf8), QByteArray("\xF0\x9F\x98\x80"));
}
