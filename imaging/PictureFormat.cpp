#include "imaging/PictureFormat.h"

#include <QFileInfo>

namespace PictureFormats {

PictureFormat fromLoader(const QString& loader, const QString& magickFormat) {
    struct Entry {
        const char* prefix;
        PictureFormat format;
    };
    static const Entry kLoaders[] = {
        {"gifload", PictureFormat::Gif},       {"pngload", PictureFormat::Png},
        {"jpegload", PictureFormat::Jpeg},     {"tiffload", PictureFormat::Tiff},
        {"webpload", PictureFormat::WebP},     {"heifload", PictureFormat::Heif},
        {"jp2kload", PictureFormat::Jpeg2000}, {"jxlload", PictureFormat::JpegXl},
        {"ppmload", PictureFormat::Pnm},
    };
    for (const Entry& e : kLoaders) {
        if (loader.startsWith(QLatin1String(e.prefix))) {
            return e.format;
        }
    }
    if (loader.startsWith(u"magickload")) {
        const QString f = magickFormat.toUpper();
        if (f.startsWith(u"BMP")) {
            return PictureFormat::Bmp;
        }
        return PictureFormat::Other;
    }
    return loader.isEmpty() ? PictureFormat::Unknown : PictureFormat::Other;
}

PictureFormat fromFileName(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"gif" || ext == u"qv1") {
        return PictureFormat::Gif;
    }
    if (ext == u"bmp") {
        return PictureFormat::Bmp;
    }
    if (ext == u"png") {
        return PictureFormat::Png;
    }
    if (ext == u"jpg" || ext == u"jpeg" || ext == u"jpe" || ext == u"jfif") {
        return PictureFormat::Jpeg;
    }
    if (ext == u"tif" || ext == u"tiff") {
        return PictureFormat::Tiff;
    }
    if (ext == u"webp") {
        return PictureFormat::WebP;
    }
    if (ext == u"heic" || ext == u"heif" || ext == u"avif") {
        return PictureFormat::Heif;
    }
    if (ext == u"jp2" || ext == u"j2k") {
        return PictureFormat::Jpeg2000;
    }
    if (ext == u"jxl") {
        return PictureFormat::JpegXl;
    }
    if (ext == u"ppm" || ext == u"pgm" || ext == u"pbm" || ext == u"pnm") {
        return PictureFormat::Pnm;
    }
    return PictureFormat::Unknown;
}

QString name(PictureFormat format) {
    switch (format) {
    case PictureFormat::Unknown:
        return QStringLiteral("unknown");
    case PictureFormat::Gif:
        return QStringLiteral("GIF");
    case PictureFormat::Bmp:
        return QStringLiteral("BMP");
    case PictureFormat::Png:
        return QStringLiteral("PNG");
    case PictureFormat::Jpeg:
        return QStringLiteral("JPEG");
    case PictureFormat::Tiff:
        return QStringLiteral("TIFF");
    case PictureFormat::WebP:
        return QStringLiteral("WebP");
    case PictureFormat::Heif:
        return QStringLiteral("HEIF");
    case PictureFormat::Jpeg2000:
        return QStringLiteral("JPEG 2000");
    case PictureFormat::JpegXl:
        return QStringLiteral("JPEG XL");
    case PictureFormat::Pnm:
        return QStringLiteral("PNM");
    case PictureFormat::Other:
        return QStringLiteral("other");
    }
    return {};
}

} // namespace PictureFormats
