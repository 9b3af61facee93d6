#include "imaging/DeclaredSize.h"

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

namespace {

using Code = ImagingResult::Code;

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qint64 kPngChunkLimit = 0x7FFFFFFF; // the format's own limit on a chunk's length
// Deflate codes at most 258 bytes in two bits; the rest is headers.
constexpr quint64 kDeflateExpansion = 1032;

quint32 bigEndian32(const char* p) {
    return qFromBigEndian<quint32>(p);
}

ImagingResult damaged(const char* why) {
    return ImagingResult::failure(Code::DecodeFailed, QString::fromLatin1(why));
}

// Every chunk must lie within the file: a decoder allocates a chunk's declared length before
// it reads a byte of it.
ImagingResult checkPng(QIODevice& file) {
    const qint64 size = file.size();
    qint64 at = 8;
    while (at + 8 <= size) {
        if (!file.seek(at)) {
            return damaged("unreadable chunk");
        }
        const QByteArray head = file.read(8);
        if (head.size() != 8) {
            return damaged("unreadable chunk");
        }
        const qint64 length = bigEndian32(head.constData());
        if (length > kPngChunkLimit || length > size - at - 12) {
            return damaged("a chunk is longer than the file");
        }
        if (head.endsWith("IEND")) {
            break;
        }
        at += 12 + length;
    }
    return ImagingResult::success();
}

quint32 littleEndian32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}
quint16 littleEndian16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}

// An uncompressed bitmap stores every row; the rows it declares must all be there.
ImagingResult checkBmp(QIODevice& file) {
    file.seek(0);
    const QByteArray h = file.read(34);
    if (h.size() < 26) {
        return damaged("short bitmap header");
    }
    const qint64 pixelsAt = littleEndian32(h.constData() + 10);
    const quint32 infoSize = littleEndian32(h.constData() + 14);
    quint64 width = 0;
    quint64 height = 0;
    quint32 bits = 0;
    quint32 compression = 0;
    if (infoSize == 12) {
        width = littleEndian16(h.constData() + 18);
        height = littleEndian16(h.constData() + 20);
        bits = littleEndian16(h.constData() + 24);
    } else if (infoSize >= 40 && h.size() >= 34) {
        width = qAbs(qint64(qint32(littleEndian32(h.constData() + 18))));
        height = qAbs(qint64(qint32(littleEndian32(h.constData() + 22))));
        bits = littleEndian16(h.constData() + 28);
        compression = littleEndian32(h.constData() + 30);
    } else {
        return ImagingResult::success(); // a header the decoder judges itself
    }
    // 0: plain rows; 3 and 6: plain rows with bit masks. Run-length and embedded JPEG or
    // PNG data are weighed after the header has been read.
    if (compression != 0 && compression != 3 && compression != 6) {
        return ImagingResult::success();
    }
    const quint64 rowBytes = (width * bits + 31) / 32 * 4;
    // A missing last row is forgiven, as decoders do.
    const quint64 present = quint64(qMax<qint64>(0, file.size() - pixelsAt));
    if (bits == 0 || bits > 64 || pixelsAt < 14 || rowBytes * (height - 1) > present) {
        return damaged("the declared rows are not in the file");
    }
    return ImagingResult::success();
}

// The most decoded bytes one byte of the file can become.
quint64 expansion(PictureFormat format) {
    switch (format) {
    case PictureFormat::Png:
        return kDeflateExpansion;
    case PictureFormat::Jpeg:
        // Huffman coding spends at least one bit on a block's DC; arithmetic coding less.
        return 4096;
    case PictureFormat::Gif:
    case PictureFormat::Tiff:
        // A full 12-bit LZW table repeats strings of close to 4,000 pixels, four bytes each.
        return 16384;
    case PictureFormat::Bmp:
    case PictureFormat::Pnm:
        return 1024; // run-length coding at most; PNM stores samples as they are
    default:
        return 65536;
    }
}

// libvips makes a WebP's whole canvas when it reads the header, so the size the file
// declares is weighed here, before any decoder sees it.
ImagingResult checkWebp(QIODevice& file) {
    file.seek(0);
    const QByteArray h = file.read(30);
    if (h.size() < 30) {
        return ImagingResult::success(); // too short to be read at all; the decoder says so
    }
    const char* d = h.constData();
    const QByteArray chunk = h.mid(12, 4);
    quint64 width = 0;
    quint64 height = 0;
    if (chunk == "VP8 ") {
        width = littleEndian16(d + 26) & 0x3FFF;
        height = littleEndian16(d + 28) & 0x3FFF;
    } else if (chunk == "VP8L") {
        const quint32 bits = littleEndian32(d + 21);
        width = (bits & 0x3FFF) + 1;
        height = ((bits >> 14) & 0x3FFF) + 1;
    } else if (chunk == "VP8X") {
        width = (littleEndian32(d + 24) & 0xFFFFFF) + 1;
        height = (littleEndian32(d + 27) & 0xFFFFFF) + 1;
    } else {
        return ImagingResult::success();
    }
    if (!DeclaredSize::justified(PictureFormat::WebP, width * height * 4, file.size())) {
        return damaged("the declared size cannot come out of the file");
    }
    return ImagingResult::success();
}

} // namespace

namespace DeclaredSize {

ImagingResult checkStructure(QIODevice& file) {
    if (!file.seek(0)) {
        return ImagingResult::success();
    }
    const QByteArray signature = file.read(8);
    if (signature == QByteArray(kPngSignature, 8)) {
        return checkPng(file);
    }
    if (signature.startsWith("BM")) {
        return checkBmp(file);
    }
    if (signature.startsWith("RIFF")) {
        file.seek(8);
        if (file.read(4) == "WEBP") {
            return checkWebp(file);
        }
    }
    return ImagingResult::success();
}

bool justified(PictureFormat format, quint64 decodedBytes, qint64 fileSize) {
    if (decodedBytes <= kFreeBytes) {
        return true;
    }
    const quint64 length = fileSize > 0 ? quint64(fileSize) : 0;
    return decodedBytes <= length * expansion(format);
}

} // namespace DeclaredSize
