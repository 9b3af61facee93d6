#include "imaging/PictureSaver.h"

#include "imaging/BmpEncoder.h"
#include "imaging/GifWriter.h"
#include "imaging/ImagingGuard.h"
#include "imaging/IndexedImage.h"

#include <QSaveFile>

namespace {

using vips::VImage;
using Code = ImagingResult::Code;

bool indexedBits(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

// The pixels a saver is given: RGB, RGBA (with opaque alpha added when there was none) or grey.
VImage prepared(const Picture& picture, int bits) {
    VImage image = picture.pixels();
    if (bits == 32) {
        return image.bands() == 4 ? image : image.bandjoin_const({255.0});
    }
    if (image.bands() == 4) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{255.0}));
        image = image.cast(VIPS_FORMAT_UCHAR);
    }
    if (bits == 8 || bits == 1) {
        image = image.colourspace(VIPS_INTERPRETATION_B_W);
    }
    return image;
}

QByteArray takeBuffer(void* buffer, size_t size) {
    QByteArray bytes(static_cast<const char*>(buffer), static_cast<qsizetype>(size));
    g_free(buffer);
    return bytes;
}

QByteArray viaBuffer(const VImage& image, const char* suffix, vips::VOption* options) {
    void* buffer = nullptr;
    size_t size = 0;
    image.write_to_buffer(suffix, &buffer, &size, options);
    return takeBuffer(buffer, size);
}

QByteArray viaTarget(const VImage& image, const char* suffix) {
    vips::VTarget target = vips::VTarget::new_to_memory();
    image.write_to_target(suffix, target);
    VipsBlob* blob = nullptr;
    g_object_get(target.get_target(), "blob", &blob, nullptr);
    if (blob == nullptr) {
        throw vips::VError("memory target gave no data");
    }
    size_t size = 0;
    const void* data = vips_blob_get(blob, &size);
    QByteArray bytes(static_cast<const char*>(data), static_cast<qsizetype>(size));
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

ImagingResult encodeIndexedGif(const Picture& picture, int bits, QByteArray& out) {
    IndexedImage indexed;
    if (ImagingResult r = IndexedImage::fromPicture(picture, bits, indexed); !r.ok()) {
        return r;
    }
    return GifWriter::write(indexed.width(), indexed.height(), indexed.indices(), indexed.palette(), bits,
                            out);
}

// Indexed PNG: libvips quantises again, but with no dithering and full quality a picture
// that already has at most 2^bits colours keeps exactly those.
ImagingResult encodeIndexedPng(const Picture& picture, int bits, QByteArray& out) {
    IndexedImage indexed;
    if (ImagingResult r = IndexedImage::fromPicture(picture, bits, indexed); !r.ok()) {
        return r;
    }
    VImage exact;
    if (ImagingResult r = indexed.toRgb().toImage(exact); !r.ok()) {
        return r;
    }
    out = viaBuffer(
        exact, ".png",
        VImage::option()->set("palette", true)->set("bitdepth", bits)->set("Q", 100)->set("dither", 0.0));
    return ImagingResult::success();
}

} // namespace

bool PictureSaver::canWrite(PictureFormat format, int bits) {
    switch (format) {
    case PictureFormat::Gif:
        return bits >= 1 && bits <= 8;
    case PictureFormat::Bmp:
        return BmpEncoder::supportsBits(bits);
    case PictureFormat::Png:
        return indexedBits(bits) || bits == 24 || bits == 32;
    case PictureFormat::Jpeg:
        return bits == 8 || bits == 24;
    case PictureFormat::Tiff:
        return bits == 1 || bits == 8 || bits == 24 || bits == 32;
    case PictureFormat::WebP:
    case PictureFormat::Heif:
    case PictureFormat::Jpeg2000:
    case PictureFormat::JpegXl:
        return bits == 24 || bits == 32;
    case PictureFormat::Pnm:
        return bits == 1 || bits == 8 || bits == 24;
    case PictureFormat::Other:
        return bits == 24 || bits == 32;
    case PictureFormat::Unknown:
        return false;
    }
    return false;
}

int PictureSaver::saveBitsFor(PictureFormat format, int loadedBits, bool hasAlpha) {
    const int trueColour = hasAlpha ? 32 : 24;
    switch (format) {
    case PictureFormat::Gif:
        return std::clamp(loadedBits, 1, 8);
    case PictureFormat::Bmp:
        return loadedBits <= 1 ? 1 : loadedBits <= 4 ? 4 : loadedBits <= 8 ? 8 : 24;
    case PictureFormat::Png:
        return indexedBits(loadedBits) ? loadedBits
                                       : (loadedBits == 32 || loadedBits == 64 || hasAlpha ? 32 : 24);
    case PictureFormat::Jpeg:
        return loadedBits == 8 ? 8 : 24;
    case PictureFormat::Tiff:
        // libvips writes no colour-mapped TIFF, so an indexed one comes back as true colour.
        return loadedBits == 1 ? 1 : trueColour;
    case PictureFormat::Pnm:
        return loadedBits == 1 ? 1 : loadedBits == 8 ? 8 : 24;
    case PictureFormat::WebP:
    case PictureFormat::Heif:
    case PictureFormat::Jpeg2000:
    case PictureFormat::JpegXl:
    case PictureFormat::Other:
        return trueColour;
    case PictureFormat::Unknown:
        return 0;
    }
    return 0;
}

ImagingResult PictureSaver::encode(const Picture& picture, PictureFormat format, int bits, QByteArray& out) {
    if (picture.isNull()) {
        return ImagingResult::failure(Code::NoPicture);
    }
    if (!canWrite(format, bits)) {
        return ImagingResult::failure(
            Code::UnsupportedFormat,
            QStringLiteral("%1 at %2 bits").arg(PictureFormats::name(format)).arg(bits));
    }
    if (format == PictureFormat::Gif) {
        return encodeIndexedGif(picture, bits, out);
    }
    if (format == PictureFormat::Bmp) {
        return BmpEncoder::encode(picture, bits, out);
    }
    if (format == PictureFormat::Png && indexedBits(bits)) {
        return encodeIndexedPng(picture, bits, out);
    }
    return guardImaging(Code::EncodeFailed, [&] {
        VImage image = prepared(picture, bits);
        // Resolution travels in pixels per millimetre.
        image = image.copy(VImage::option()
                               ->set("xres", picture.xResolution() / 25.4)
                               ->set("yres", picture.yResolution() / 25.4));
        switch (format) {
        case PictureFormat::Png:
            out = viaBuffer(image, ".png", VImage::option()->set("compression", 6));
            break;
        case PictureFormat::Jpeg:
            out = viaBuffer(image, ".jpg", VImage::option()->set("Q", 90));
            break;
        case PictureFormat::Tiff:
            out = viaBuffer(image, ".tif",
                            VImage::option()
                                ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW)
                                ->set("bitdepth", bits == 1 ? 1 : 8));
            break;
        case PictureFormat::WebP:
            out = viaBuffer(image, ".webp", VImage::option()->set("Q", 90));
            break;
        case PictureFormat::Heif:
            out = viaBuffer(image, ".heic", nullptr);
            break;
        case PictureFormat::Jpeg2000:
            out = viaBuffer(image, ".jp2", nullptr);
            break;
        case PictureFormat::JpegXl:
            out = viaBuffer(image, ".jxl", nullptr);
            break;
        case PictureFormat::Pnm:
            out = viaTarget(image, bits == 1 ? ".pbm" : bits == 8 ? ".pgm" : ".ppm");
            break;
        case PictureFormat::Other: {
            const QByteArray name = picture.loadedFormatName().toLatin1();
            if (name.isEmpty()) {
                return ImagingResult::failure(Code::UnsupportedFormat, QStringLiteral("no format name"));
            }
            VipsBlob* blob = image.magicksave_buffer(VImage::option()->set("format", name.constData()));
            size_t size = 0;
            const void* data = vips_blob_get(blob, &size);
            out = QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size));
            vips_area_unref(VIPS_AREA(blob));
            break;
        }
        default:
            return ImagingResult::failure(Code::UnsupportedFormat);
        }
        if (out.isEmpty()) {
            return ImagingResult::failure(Code::EncodeFailed, QStringLiteral("the encoder wrote nothing"));
        }
        return ImagingResult::success();
    });
}

ImagingResult PictureSaver::writeFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return ImagingResult::failure(Code::WriteFailed, file.errorString());
    }
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return ImagingResult::failure(Code::WriteFailed, why);
    }
    if (!file.commit()) {
        return ImagingResult::failure(Code::WriteFailed, file.errorString());
    }
    return ImagingResult::success();
}

ImagingResult PictureSaver::save(const Picture& picture, const QString& path, PictureFormat format,
                                 int bits) {
    QByteArray bytes;
    if (ImagingResult r = encode(picture, format, bits, bytes); !r.ok()) {
        return r;
    }
    return writeFile(path, bytes);
}

ImagingResult PictureSaver::saveAsLoaded(const Picture& picture, const QString& path) {
    if (picture.isNull()) {
        return ImagingResult::failure(Code::NoPicture);
    }
    const int bits = saveBitsFor(picture.loadedFormat(), picture.loadedBitDepth(), picture.hasAlpha());
    if (bits == 0) {
        return ImagingResult::failure(Code::UnsupportedFormat, PictureFormats::name(picture.loadedFormat()));
    }
    return save(picture, path, picture.loadedFormat(), bits);
}
