#include "support/TestImages.h"

#include "imaging/VipsRuntime.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

namespace TestImages {

using vips::VImage;

namespace {

VImage asSrgb(VImage image) {
    return image.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data) {
        crc ^= static_cast<quint8>(ch);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray chunk(const char* type, const QByteArray& body) {
    const QByteArray typed = QByteArray(type, 4) + body;
    return be32(static_cast<quint32>(body.size())) + typed + be32(crc32(typed));
}

} // namespace

VImage gradient(int width, int height) {
    EXPECT_TRUE(VipsRuntime::ensure());
    const VImage xy = VImage::xyz(width, height);
    const VImage r = xy.extract_band(0) * (255.0 / std::max(1, width - 1));
    const VImage g = xy.extract_band(1) * (255.0 / std::max(1, height - 1));
    const VImage b = r.new_from_image(128.0);
    return asSrgb(vips::VImage::bandjoin(std::vector<vips::VImage>{r, g, b})).copy_memory();
}

VImage photo(int width, int height, int seed, double noise) {
    EXPECT_TRUE(VipsRuntime::ensure());
    // Blobs of colour: coarse noise blown up smoothly.
    auto blobs = [&](int s) {
        return VImage::gaussnoise((width + 23) / 24 + 1, (height + 23) / 24 + 1,
                                  VImage::option()->set("sigma", 60.0)->set("mean", 128.0)->set("seed", s))
            .resize(24.0, VImage::option()->set("kernel", VIPS_KERNEL_CUBIC))
            .crop(0, 0, width, height);
    };
    VImage colour =
        vips::VImage::bandjoin(std::vector<vips::VImage>{blobs(seed), blobs(seed + 1), blobs(seed + 2)});
    // Hard edges: a bright disc.
    const VImage xy = VImage::xyz(width, height);
    const VImage dx = xy.extract_band(0) - width / 2.0;
    const VImage dy = xy.extract_band(1) - height / 2.0;
    const VImage inside = (dx * dx + dy * dy) < (width * height / 16.0);
    colour = inside.ifthenelse(std::vector<double>{230.0, 210.0, 60.0}, colour);
    // Sensor noise.
    const VImage grain = VImage::gaussnoise(
        width, height, VImage::option()->set("sigma", noise)->set("mean", 0.0)->set("seed", seed + 3));
    return asSrgb(colour + grain).copy_memory();
}

VImage solid(int width, int height, double r, double g, double b) {
    EXPECT_TRUE(VipsRuntime::ensure());
    return asSrgb(VImage::black(width, height).new_from_image(std::vector<double>{r, g, b})).copy_memory();
}

Picture picture(const VImage& image) {
    return Picture(asSrgb(image).copy_memory());
}

QByteArray encode(const VImage& image, const char* suffix) {
    void* buffer = nullptr;
    size_t size = 0;
    image.write_to_buffer(suffix, &buffer, &size);
    QByteArray bytes(static_cast<const char*>(buffer), static_cast<qsizetype>(size));
    g_free(buffer);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray ihdr = be32(width) + be32(height);
    ihdr.append(char(8)); // bit depth
    ihdr.append(char(2)); // RGB
    ihdr.append(3, '\0'); // compression, filter, interlace
    // A zlib stream of a few zero bytes, far too little for the picture claimed.
    const QByteArray idat = QByteArray::fromHex("789c63000000010001");
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", idat) + chunk("IEND", {});
}

QByteArray gifWithBrokenLzw() {
    QByteArray gif = encode(gradient(64, 48), ".gif");
    const GifLayout layout = parseGif(gif);
    EXPECT_TRUE(layout.valid);
    // Find the first image descriptor and its data sub-blocks.
    const auto* b = reinterpret_cast<const quint8*>(gif.constData());
    qsizetype i = 13 + (layout.globalTable ? 3 * layout.globalTableEntries : 0);
    while (i < gif.size() && b[i] == 0x21) { // extensions
        i += 2;
        while (i < gif.size() && b[i] != 0) {
            i += b[i] + 1;
        }
        ++i;
    }
    EXPECT_EQ(b[i], 0x2C);
    i += 10;
    if (b[i - 1] & 0x80) {
        i += 3 * (1 << ((b[i - 1] & 7) + 1));
    }
    ++i; // minimum code size
    while (i < gif.size() && b[i] != 0) {
        const int len = b[i];
        for (int k = 1; k <= len; ++k) {
            gif[i + k] = char(0xFF); // codes far beyond the dictionary
        }
        i += len + 1;
    }
    return gif;
}

GifLayout parseGif(const QByteArray& bytes) {
    GifLayout g;
    const auto* b = reinterpret_cast<const quint8*>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n < 13 || !(bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))) {
        return g;
    }
    g.signature = bytes.left(6);
    g.width = qFromLittleEndian<quint16>(b + 6);
    g.height = qFromLittleEndian<quint16>(b + 8);
    g.globalTable = (b[10] & 0x80) != 0;
    g.globalTableEntries = g.globalTable ? 1 << ((b[10] & 7) + 1) : 0;
    qsizetype i = 13 + 3 * g.globalTableEntries;
    while (i < n) {
        if (b[i] == 0x3B) {
            g.trailer = true;
            break;
        }
        if (b[i] == 0x21) {
            i += 2;
            while (i < n && b[i] != 0) {
                i += b[i] + 1;
            }
            ++i;
            continue;
        }
        if (b[i] != 0x2C || i + 11 > n) {
            return g;
        }
        const quint8 packed = b[i + 9];
        const bool local = (packed & 0x80) != 0;
        const int localEntries = local ? 1 << ((packed & 7) + 1) : 0;
        i += 10 + 3 * localEntries;
        if (i >= n) {
            return g;
        }
        if (g.frames == 0) {
            g.localTable = local;
            g.localTableEntries = localEntries;
            g.lzwMinimumCodeSize = b[i];
        }
        ++g.frames;
        ++i;
        while (i < n && b[i] != 0) {
            i += b[i] + 1;
        }
        ++i;
    }
    g.valid = g.trailer && g.frames > 0;
    return g;
}

} // namespace TestImages
