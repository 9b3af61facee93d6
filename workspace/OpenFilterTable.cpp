#include "workspace/OpenFilterTable.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "imaging/ImagingGuard.h"
#include "imaging/PictureLoader.h"
#include "imaging/VipsRuntime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <vector>

#include <vips/vips8>

namespace {

constexpr int kSampleWidth = 8;
constexpr int kSampleHeight = 6;

// A colour gradient: a sample of one colour would hide a decoder that drops channels.
vips::VImage samplePixels() {
    QByteArray rgb(kSampleWidth * kSampleHeight * 3, '\0');
    for (int y = 0; y < kSampleHeight; ++y) {
        for (int x = 0; x < kSampleWidth; ++x) {
            const int at = (y * kSampleWidth + x) * 3;
            rgb[at] = static_cast<char>(x * 30);
            rgb[at + 1] = static_cast<char>(y * 40);
            rgb[at + 2] = static_cast<char>(200 - x * 10);
        }
    }
    // Copied into the image's own memory before rgb goes.
    return vips::VImage::new_from_memory(rgb.data(), static_cast<size_t>(rgb.size()), kSampleWidth,
                                         kSampleHeight, 3, VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

// Vector formats are written by hand: no saver on the machine makes them.
QByteArray svgSample() {
    return QByteArrayLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"6\">"
                             "<rect width=\"8\" height=\"6\" fill=\"#3060c0\"/></svg>\n");
}

QByteArray pdfSample() {
    // One 8 x 6 point page holding a filled rectangle; the cross-reference table needs the
    // offset of every object.
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 8 6] /Contents 4 0 R >>",
        "<< /Length 27 >>\nstream\n0.2 0.4 0.8 rg 0 0 8 6 re f\nendstream",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets) {
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// A sample counts as read when it comes back at its size and, unless the format holds only
// black and white, in its colours: a loader that decodes to black or swaps channels fails.
bool readsBack(const OpenFilterTable::Candidate& candidate, const QString& suffix, const Picture& picture) {
    if (picture.width() != kSampleWidth || picture.height() != kSampleHeight) {
        return false;
    }
    if (candidate.description == msg::FilterXbm || suffix == u"pbm" || suffix == u"pgm") {
        return true; // black and white, or grey: the sample's colours cannot survive
    }
    const bool vector = candidate.description == msg::FilterSvg || candidate.description == msg::FilterPdf;
    struct Probe {
        int x;
        int y;
        std::array<double, 3> rgb;
    };
    const std::array<Probe, 2> probes =
        vector ? std::array<Probe, 2>{Probe{0, 0, {48, 96, 192}}, Probe{7, 5, {48, 96, 192}}}
               : std::array<Probe, 2>{Probe{0, 0, {0, 0, 200}}, Probe{7, 5, {210, 200, 130}}};
    constexpr double kLossy = 60; // an 8 x 6 JPEG smears its corners this far at most
    return guardImaging(ImagingResult::Code::DecodeFailed,
                        [&] {
                            for (const Probe& p : probes) {
                                const std::vector<double> got = picture.pixels().getpoint(p.x, p.y);
                                for (size_t band = 0; band < 3; ++band) {
                                    if (got.size() < 3 || std::abs(got[band] - p.rgb[band]) > kLossy) {
                                        return ImagingResult::failure(ImagingResult::Code::DecodeFailed);
                                    }
                                }
                            }
                            return ImagingResult::success();
                        })
        .ok();
}

bool loaderPresent(const char* nickname) {
    return vips_type_find("VipsForeignLoad", nickname) != 0;
}

} // namespace

const QList<OpenFilterTable::Candidate>& OpenFilterTable::candidates() {
    // The .qv1 row leads: it is what this program makes and sends.
    static const QList<Candidate> table = {
        {msg::FilterQv1, "gifload", nullptr, {QStringLiteral("qv1")}},
        {msg::FilterJpeg, "jpegload", nullptr, {}},
        {msg::FilterPng, "pngload", nullptr, {}},
        {msg::FilterGif, "gifload", nullptr, {}},
        {msg::FilterTiff, "tiffload", nullptr, {}},
        {msg::FilterWebP, "webpload", nullptr, {}},
        {msg::FilterHeif, "heifload", nullptr, {}},
        {msg::FilterJpeg2000, "jp2kload", nullptr, {}},
        {msg::FilterJpegXl, "jxlload", nullptr, {}},
        {msg::FilterBmp, "magickload", "BMP", {QStringLiteral("bmp"), QStringLiteral("dib")}},
        {msg::FilterNetpbm, "ppmload", nullptr, {}},
        {msg::FilterTga, "magickload", "TGA", {QStringLiteral("tga")}},
        {msg::FilterPcx, "magickload", "PCX", {QStringLiteral("pcx")}},
        {msg::FilterPsd, "magickload", "PSD", {QStringLiteral("psd")}},
        {msg::FilterIco, "magickload", "ICO", {QStringLiteral("ico")}},
        {msg::FilterSgi, "magickload", "SGI", {QStringLiteral("sgi")}},
        {msg::FilterSunRaster, "magickload", "SUN", {QStringLiteral("ras"), QStringLiteral("sun")}},
        {msg::FilterXbm, "magickload", "XBM", {QStringLiteral("xbm")}},
        {msg::FilterXpm, "magickload", "XPM", {QStringLiteral("xpm")}},
        {msg::FilterSvg, "svgload", nullptr, {QStringLiteral("svg")}},
        {msg::FilterPdf, "pdfload", nullptr, {QStringLiteral("pdf")}},
        {msg::FilterRadiance, "radload", nullptr, {}},
        {msg::FilterFits, "fitsload", nullptr, {}},
    };
    return table;
}

QStringList OpenFilterTable::suffixesOf(const Candidate& candidate) {
    if (!VipsRuntime::ensure() || !loaderPresent(candidate.loader)) {
        return {};
    }
    if (!candidate.suffixes.isEmpty()) {
        return candidate.suffixes;
    }
    QStringList suffixes;
    auto* foreign = reinterpret_cast<VipsForeignClass*>(
        g_type_class_ref(vips_type_find("VipsForeignLoad", candidate.loader)));
    for (const char* const* s = foreign != nullptr ? foreign->suffs : nullptr; s != nullptr && *s != nullptr;
         ++s) {
        QString suffix = QString::fromLatin1(*s).toLower();
        if (suffix.startsWith(u'.')) {
            suffix.remove(0, 1);
        }
        if (!suffix.isEmpty() && !suffix.contains(u'.') && !suffixes.contains(suffix)) {
            suffixes << suffix; // "svg.gz" and the like cannot be told from their last part
        }
    }
    if (foreign != nullptr) {
        g_type_class_unref(foreign);
    }
    return suffixes;
}

bool OpenFilterTable::writeSample(const Candidate& candidate, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (candidate.description == msg::FilterSvg) {
        return suffix == u"svg" && writeBytes(path, svgSample());
    }
    if (candidate.description == msg::FilterPdf) {
        return writeBytes(path, pdfSample());
    }
    const ImagingResult written = guardImaging(ImagingResult::Code::EncodeFailed, [&] {
        vips::VImage pixels = samplePixels();
        const QByteArray name = QFile::encodeName(path);
        if (candidate.magick != nullptr) {
            pixels.magicksave(name.constData(), vips::VImage::option()->set("format", candidate.magick));
        } else if (candidate.description == msg::FilterQv1) {
            // A projector picture is a GIF under its own suffix.
            QByteArray gif = name + ".gif";
            pixels.write_to_file(gif.constData());
            QFile::remove(path);
            if (!QFile::rename(QFile::decodeName(gif), path)) {
                return ImagingResult::failure(ImagingResult::Code::EncodeFailed);
            }
        } else if (candidate.description == msg::FilterRadiance) {
            (pixels.cast(VIPS_FORMAT_FLOAT) / 255.0).write_to_file(name.constData());
        } else {
            pixels.write_to_file(name.constData());
        }
        return ImagingResult::success();
    });
    return written.ok() && QFileInfo(path).size() > 0;
}

const QList<OpenFilterTable::Row>& OpenFilterTable::readableRows() {
    static const QList<Row> rows = [] {
        QList<Row> found;
        QTemporaryDir dir;
        if (!dir.isValid()) {
            return found;
        }
        for (const Candidate& c : candidates()) {
            Row row{c.description, {}};
            for (const QString& suffix : suffixesOf(c)) {
                const QString path = dir.filePath(QStringLiteral("sample.") + suffix);
                Picture picture;
                if (writeSample(c, path) && PictureLoader::load(path, picture).ok() &&
                    readsBack(c, suffix, picture)) {
                    row.suffixes << suffix;
                }
                QFile::remove(path);
            }
            if (!row.suffixes.isEmpty()) {
                found << row;
            }
        }
        return found;
    }();
    return rows;
}

QString OpenFilterTable::forFileDialog() {
    auto patterns = [](const QStringList& suffixes) {
        QStringList p;
        for (const QString& s : suffixes) {
            p << QStringLiteral("*.") + s;
        }
        return p.join(u' ');
    };
    QStringList every;
    QStringList filters;
    for (const Row& r : readableRows()) {
        for (const QString& s : r.suffixes) {
            if (!every.contains(s)) {
                every << s;
            }
        }
        filters << QStringLiteral("%1 (%2)").arg(CatalogText(r.description), patterns(r.suffixes));
    }
    if (!every.isEmpty()) {
        filters.prepend(QStringLiteral("%1 (%2)").arg(CatalogText(msg::FilterAllPictures), patterns(every)));
    }
    filters << QStringLiteral("%1 (*)").arg(CatalogText(msg::FilterAllFiles));
    return filters.join(QStringLiteral(";;"));
}
