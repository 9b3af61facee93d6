#include "imaging/BmpEncoder.h"

#include "imaging/IndexedImage.h"
#include "imaging/Picture.h"
#include "imaging/RgbBuffer.h"

#include <QtEndian>

#include <cmath>

namespace {

void put16(QByteArray& b, quint16 v) {
    char raw[2];
    qToLittleEndian(v, raw);
    b.append(raw, 2);
}

void put32(QByteArray& b, quint32 v) {
    char raw[4];
    qToLittleEndian(v, raw);
    b.append(raw, 4);
}

quint32 pixelsPerMetre(int dpi) {
    return static_cast<quint32>(std::lround(dpi / 0.0254));
}

} // namespace

ImagingResult BmpEncoder::encode(const Picture& picture, int bits, QByteArray& out) {
    if (picture.isNull()) {
        return ImagingResult::failure(ImagingResult::Code::NoPicture);
    }
    if (!supportsBits(bits)) {
        return ImagingResult::failure(ImagingResult::Code::UnsupportedFormat,
                                      QStringLiteral("BMP at %1 bits").arg(bits));
    }
    const int w = picture.width();
    const int h = picture.height();
    const quint64 rowBytes = ((static_cast<quint64>(w) * static_cast<quint64>(bits) + 31) / 32) * 4;
    const int tableEntries = bits <= 8 ? (1 << bits) : 0;
    const quint64 offset = 14 + 40 + static_cast<quint64>(tableEntries) * 4;
    const quint64 total = offset + rowBytes * static_cast<quint64>(h);
    if (total > 0x7FFFFFFFu) {
        return ImagingResult::failure(ImagingResult::Code::UnsupportedFormat,
                                      QStringLiteral("too large for BMP"));
    }

    IndexedImage indexed;
    RgbBuffer rgb;
    if (bits <= 8) {
        if (ImagingResult r = IndexedImage::fromPicture(picture, bits, indexed); !r.ok()) {
            return r;
        }
    } else if (ImagingResult r = RgbBuffer::fromPicture(picture, rgb); !r.ok()) {
        return r;
    }

    QByteArray b;
    b.reserve(static_cast<qsizetype>(total));
    b.append("BM", 2);
    put32(b, static_cast<quint32>(total));
    put32(b, 0);
    put32(b, static_cast<quint32>(offset));
    put32(b, 40);
    put32(b, static_cast<quint32>(w));
    put32(b, static_cast<quint32>(h)); // positive: rows run bottom-up
    put16(b, 1);
    put16(b, static_cast<quint16>(bits));
    put32(b, 0); // no compression
    put32(b, static_cast<quint32>(rowBytes * static_cast<quint64>(h)));
    put32(b, pixelsPerMetre(picture.xResolution()));
    put32(b, pixelsPerMetre(picture.yResolution()));
    put32(b, static_cast<quint32>(tableEntries));
    put32(b, 0);
    for (int i = 0; i < tableEntries; ++i) {
        const PaletteColour c = i < indexed.palette().size() ? indexed.palette().at(i) : PaletteColour{};
        const char entry[4] = {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r), 0};
        b.append(entry, 4);
    }
    QByteArray row(static_cast<qsizetype>(rowBytes), '\0');
    for (int y = h - 1; y >= 0; --y) {
        row.fill('\0');
        auto* r = reinterpret_cast<quint8*>(row.data());
        if (bits == 24) {
            for (int x = 0; x < w; ++x) {
                const quint8* p = rgb.pixel(x, y);
                r[x * 3] = p[2];
                r[x * 3 + 1] = p[1];
                r[x * 3 + 2] = p[0];
            }
        } else {
            const quint8* idx = indexed.indices().data() + static_cast<size_t>(y) * static_cast<size_t>(w);
            const int perByte = 8 / bits;
            for (int x = 0; x < w; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                r[x / perByte] = static_cast<quint8>(r[x / perByte] | (idx[x] << shift));
            }
        }
        b.append(row);
    }
    out = std::move(b);
    return ImagingResult::success();
}
