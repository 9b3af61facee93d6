#include "imaging/PictureLoader.h"

#include "imaging/DeclaredSize.h"
#include "imaging/ImagingGuard.h"
#include "imaging/Resampler.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <QtEndian>

#include <cmath>
#include <functional>

namespace {

using vips::VImage;
using Code = ImagingResult::Code;

constexpr qint64 kHeadBytes = 64;
constexpr qint64 kMaxWholeFile = qint64{1} << 30;

vips::VOption* headerOptions(VipsAccess access) {
    return VImage::option()->set("access", access)->set("fail_on", VIPS_FAIL_ON_ERROR);
}

QString fieldString(const VImage& image, const char* field) {
    if (image.get_typeof(field) == 0) {
        return {};
    }
    try {
        return QString::fromUtf8(image.get_string(field));
    } catch (const vips::VError&) {
        vips_error_clear();
        return {};
    }
}

int fieldInt(const VImage& image, const char* field, int fallback) {
    if (image.get_typeof(field) != G_TYPE_INT) {
        return fallback;
    }
    return image.get_int(field);
}

int bitsOfBandFormat(VipsBandFormat f) {
    switch (f) {
    case VIPS_FORMAT_UCHAR:
    case VIPS_FORMAT_CHAR:
        return 8;
    case VIPS_FORMAT_USHORT:
    case VIPS_FORMAT_SHORT:
        return 16;
    case VIPS_FORMAT_DOUBLE:
    case VIPS_FORMAT_DPCOMPLEX:
        return 64;
    default:
        return 32;
    }
}

// The bit depth as the file states it; libvips widens small depths on loading.
int fileBitDepth(PictureFormat format, const QByteArray& head, const VImage& header) {
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    if (format == PictureFormat::Png && head.size() >= 26 && head.startsWith("\x89PNG")) {
        const int depth = h[24];
        switch (h[25]) {
        case 0:
        case 3:
            return depth;
        case 2:
            return depth * 3;
        case 4:
            return depth * 2;
        case 6:
            return depth * 4;
        default:
            break;
        }
    }
    if (format == PictureFormat::Gif) {
        if (head.size() >= 11 && (h[10] & 0x80) != 0) {
            return (h[10] & 7) + 1;
        }
        return fieldInt(header, "palette-bit-depth", 8);
    }
    if (format == PictureFormat::Bmp && head.size() >= 30 && head.startsWith("BM")) {
        const quint32 infoSize = qFromLittleEndian<quint32>(h + 14);
        return infoSize == 12 ? qFromLittleEndian<quint16>(h + 24) : qFromLittleEndian<quint16>(h + 28);
    }
    return header.bands() * bitsOfBandFormat(header.format());
}

// ImageMagick's drawing and scripting formats can read other files on the machine; a
// picture file never needs them.
bool looksLikeMagickScript(const QByteArray& head) {
    const QByteArray t = head.trimmed().toLower();
    return t.startsWith("push") || t.startsWith("viewbox") || t.startsWith("<?xml") || t.startsWith("<msl") ||
           t.startsWith("%!") || t.startsWith("graphic-context");
}

bool rotatesByTag(PictureFormat f) {
    // Camera formats. ImageMagick's loaders report origins (a TGA says bottom-left) for
    // pixels they have already put upright.
    return f == PictureFormat::Jpeg || f == PictureFormat::Heif || f == PictureFormat::Tiff ||
           f == PictureFormat::WebP || f == PictureFormat::JpegXl;
}

// Whatever libvips decoded, as uchar sRGB with three bands, or four with alpha.
VImage toSrgb8(VImage image) {
    if (image.coding() == VIPS_CODING_LABQ) {
        image = image.LabQ2Lab();
    } else if (image.coding() == VIPS_CODING_RAD) {
        image = image.rad2float();
    }
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0 && image.interpretation() != VIPS_INTERPRETATION_CMYK) {
        // Wide-gamut photos would look washed out if their numbers were taken as sRGB.
        try {
            image = image.icc_transform("srgb", VImage::option()->set("embedded", true));
        } catch (const vips::VError&) {
            vips_error_clear(); // a broken profile: take the numbers as they are
        }
        // The numbers are sRGB now whatever profile the file had; saving must not claim it.
        image = image.copy();
        image.remove(VIPS_META_ICC_NAME);
    }
    if (vips_colourspace_issupported(image.get_image()) != 0) {
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    }
    if (image.format() != VIPS_FORMAT_UCHAR) {
        image = image.cast(VIPS_FORMAT_UCHAR,
                           VImage::option()->set("shift", image.format() == VIPS_FORMAT_USHORT));
    }
    switch (image.bands()) {
    case 1:
        image = vips::VImage::bandjoin(std::vector<vips::VImage>{image, image, image});
        break;
    case 2: {
        const VImage grey = image.extract_band(0);
        image = vips::VImage::bandjoin(std::vector<vips::VImage>{grey, grey, grey, image.extract_band(1)});
        break;
    }
    case 3:
    case 4:
        break;
    default:
        image = image.extract_band(0, VImage::option()->set("n", 3));
        break;
    }
    return image.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

int dpi(double pixelsPerMm) {
    // libvips reports 1 pixel per mm when the file gave no resolution.
    if (!(pixelsPerMm > 1.0) || pixelsPerMm > 100000.0) {
        return 96;
    }
    return static_cast<int>(std::lround(pixelsPerMm * 25.4));
}

struct Source {
    Source() = default;
    Source(const Source&) = delete; // memory may point at owned
    Source& operator=(const Source&) = delete;

    QByteArray head;
    QByteArray vipsName; // files: the absolute path, with an empty option list so no "[...]" in it is parsed
    const QByteArray* memory = nullptr;
    QByteArray owned; // a file read whole, see openSource
    qint64 length = 0;

    // shrinkOption, when given, asks the loader to decode smaller ("shrink" or "scale").
    [[nodiscard]] VImage open(VipsAccess access, const char* shrinkOption = nullptr,
                              double shrink = 1) const {
        vips::VOption* options = headerOptions(access);
        if (shrinkOption != nullptr) {
            if (qstrcmp(shrinkOption, "shrink") == 0) {
                options->set(shrinkOption, static_cast<int>(shrink));
            } else {
                options->set(shrinkOption, shrink);
            }
        }
        if (memory != nullptr) {
            return VImage::new_from_buffer(memory->constData(), static_cast<size_t>(memory->size()), "",
                                           options);
        }
        return VImage::new_from_file(vipsName.constData(), options);
    }
};

ImagingResult openSource(const QString& path, Source& source) {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        return ImagingResult::failure(Code::CannotOpen, QStringLiteral("no such file"));
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return ImagingResult::failure(Code::CannotOpen, file.errorString());
    }
    if (file.size() == 0) {
        return ImagingResult::failure(Code::EmptyFile);
    }
    source.length = file.size();
    if (ImagingResult r = DeclaredSize::checkStructure(file); !r.ok()) {
        return r;
    }
    file.seek(0);
    if (info.fileName().endsWith(u']')) {
        // libvips parses "[...]" at the end of a file name as load options, in more than one
        // place; such a file is read whole and decoded from memory instead.
        if (file.size() > kMaxWholeFile) {
            return ImagingResult::failure(Code::CannotOpen, QStringLiteral("too large to read whole"));
        }
        source.owned = file.readAll();
        source.memory = &source.owned;
        source.head = source.owned.left(kHeadBytes);
        return ImagingResult::success();
    }
    source.head = file.read(kHeadBytes);
    // ImageMagick takes "name:" at the start of a path as a coder prefix; an absolute path
    // starts with the separator instead. The empty option list keeps libvips from reading
    // a "[...]" inside the name as options.
    source.vipsName = QFile::encodeName(info.absoluteFilePath()) + "[]";
    return ImagingResult::success();
}

// Checks the header, then decodes. fitBox, when set, asks for a picture that fits it.
ImagingResult decode(const Source& source, quint64 maxPixels, const QSize* fitBox, Picture& out) {
    return guardImaging(Code::DecodeFailed, [&] {
        const char* loader = source.memory != nullptr
                                 ? vips_foreign_find_load_buffer(source.memory->constData(),
                                                                 static_cast<size_t>(source.memory->size()))
                                 : vips_foreign_find_load(source.vipsName.constData());
        if (loader == nullptr) {
            return ImagingResult::failure(Code::UnknownFormat, VipsRuntime::takeError());
        }
        if (QByteArray(loader).contains("Magick") && looksLikeMagickScript(source.head)) {
            return ImagingResult::failure(Code::UnknownFormat,
                                          QStringLiteral("script formats are not pictures"));
        }
        VImage header = source.open(VIPS_ACCESS_SEQUENTIAL);
        const quint64 pixels = quint64(header.width()) * quint64(header.height());
        if (pixels > maxPixels) {
            return ImagingResult::failure(
                Code::TooManyPixels,
                QStringLiteral("%1 x %2 pixels").arg(header.width()).arg(header.height()));
        }
        const PictureFormat format = PictureFormats::fromLoader(fieldString(header, "vips-loader"),
                                                                fieldString(header, "magick-format"));
        const quint64 decodedBytes =
            pixels * quint64(header.bands()) * quint64(bitsOfBandFormat(header.format()) / 8);
        if (!DeclaredSize::justified(format, decodedBytes, source.length)) {
            return ImagingResult::failure(Code::DecodeFailed,
                                          QStringLiteral("%1 x %2 pixels cannot come out of %3 bytes")
                                              .arg(header.width())
                                              .arg(header.height())
                                              .arg(source.length));
        }
        const int bitDepth = fileBitDepth(format, source.head, header);
        const QString formatName = format == PictureFormat::Other ? fieldString(header, "magick-format")
                                                                  : PictureFormats::name(format);
        const int orientation = fieldInt(header, VIPS_META_ORIENTATION, 1);
        const bool rotate = rotatesByTag(format) && orientation > 1 && orientation <= 8;

        const int xDpi = dpi(header.xres());
        const int yDpi = dpi(header.yres());
        // Upright size, and the size to decode to when a fit was asked for.
        const bool swaps = rotate && orientation >= 5;
        const int uprightWidth = swaps ? header.height() : header.width();
        const int uprightHeight = swaps ? header.width() : header.height();
        const QSize target = fitBox != nullptr ? Resampler::fittedSize(uprightWidth, uprightHeight,
                                                                       fitBox->width(), fitBox->height())
                                               : QSize(uprightWidth, uprightHeight);
        const bool shrinking = target != QSize(uprightWidth, uprightHeight);
        // JPEG and WebP can decode smaller; they are asked for twice the target at most, and
        // a full Lanczos kernel does the rest, so detail stays as sharp as a full decode gives
        // while a large photo never exists in memory at full size.
        const double factor = static_cast<double>(target.width()) / uprightWidth;
        const char* shrinkOption = nullptr;
        double shrink = 1;
        if (shrinking && format == PictureFormat::Jpeg) {
            for (int s = 8; s >= 2; s /= 2) {
                if (factor * s <= 0.5) {
                    shrinkOption = "shrink";
                    shrink = s;
                    break;
                }
            }
        } else if (shrinking && format == PictureFormat::WebP && factor < 0.5) {
            shrinkOption = "scale";
            shrink = factor * 2;
        }
        VImage image;
        if (rotate) {
            // Turning a picture upright needs random access to its rows.
            header = VImage();
            image = source.open(VIPS_ACCESS_RANDOM, shrinkOption, shrink).autorot();
        } else if (shrinkOption != nullptr) {
            header = VImage();
            image = source.open(VIPS_ACCESS_SEQUENTIAL, shrinkOption, shrink);
        } else {
            image = header; // ImageMagick has decoded everything already; do not do it twice
        }
        image = toSrgb8(image);
        if (shrinking) {
            image = Resampler::resample(image, target.width(), target.height(), VIPS_KERNEL_LANCZOS3);
        }
        image = image.copy_memory();

        Picture picture(image);
        picture.setResolution(xDpi, yDpi);
        picture.setLoadedFormat(format, formatName, bitDepth);
        out = picture;
        return ImagingResult::success();
    });
}

} // namespace

namespace {
// libvips quotes the name it was given, empty option list and all.
ImagingResult plainNames(ImagingResult r) {
    r.detail.replace(QStringLiteral("[]\""), QStringLiteral("\""));
    return r;
}
} // namespace

ImagingResult PictureLoader::load(const QString& path, Picture& out, quint64 maxPixels) {
    Source source;
    if (ImagingResult r = openSource(path, source); !r.ok()) {
        return r;
    }
    return plainNames(decode(source, maxPixels, nullptr, out));
}

ImagingResult PictureLoader::loadFromMemory(const QByteArray& data, Picture& out, quint64 maxPixels) {
    if (data.isEmpty()) {
        return ImagingResult::failure(Code::EmptyFile);
    }
    Source source;
    source.head = data.left(kHeadBytes);
    source.memory = &data;
    source.length = data.size();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    if (ImagingResult r = DeclaredSize::checkStructure(buffer); !r.ok()) {
        return r;
    }
    return decode(source, maxPixels, nullptr, out);
}

ImagingResult PictureLoader::loadToFit(const QString& path, int boxWidth, int boxHeight, Picture& out,
                                       quint64 maxPixels) {
    if (boxWidth < 1 || boxHeight < 1) {
        return ImagingResult::failure(Code::BadArgument, QStringLiteral("empty box"));
    }
    Source source;
    if (ImagingResult r = openSource(path, source); !r.ok()) {
        return r;
    }
    const QSize box(boxWidth, boxHeight);
    return plainNames(decode(source, maxPixels, &box, out));
}
