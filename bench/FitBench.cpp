// Fits each picture named on the command line to the projector and reports what it got.
//   FitBench [--out DIR] [--full-decode] FILE...
//   FitBench --srgb IN OUT.png     writes IN decoded to sRGB (colour profile applied) as PNG,
//                                  so a tool that ignores profiles sees the same colours
//   FitBench --qv1 IN OUT.qv1      rewrites IN, a picture of at most 256 colours, exactly in the
//                                  projector's format (256-entry table, LZW code size 8) and
//                                  prints its length: what another tool's GIF with a smaller
//                                  table or code size really costs on the projector
// With --out, DIR receives NAME.qv1 (the result) and NAME.ref.png (the true-colour picture at
// the same size), so other tools can measure both. One line per file on stdout:
//   file width height bytes colours dither tolerance scale psnr milliseconds candidates fit-milliseconds
// where milliseconds counts decoding and fitting, fit-milliseconds the fit alone.
#include "imaging/ColourQuantiser.h"
#include "imaging/FitToProjector.h"
#include "imaging/GifWriter.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureSaver.h"
#include "imaging/RgbBuffer.h"
#include "imaging/SendableImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString outDir;
    bool fullDecode = false;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--out" && i + 1 < args.size()) {
            outDir = args[++i];
        } else if (args[i] == u"--full-decode") {
            fullDecode = true;
        } else {
            files << args[i];
        }
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() == 3 && args[0] == u"--srgb") {
        Picture picture;
        const ImagingResult r = PictureLoader::load(args[1], picture);
        const ImagingResult w = r.ok() ? PictureSaver::save(picture, args[2], PictureFormat::Png, 24) : r;
        if (!w.ok()) {
            err << args[1] << ": " << ImagingResult::codeName(w.code) << " " << w.detail << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() == 3 && args[0] == u"--qv1") {
        Picture picture;
        RgbBuffer rgb;
        Palette palette;
        std::vector<quint8> indices;
        QByteArray gif;
        ImagingResult r = PictureLoader::load(args[1], picture);
        if (r.ok()) {
            r = RgbBuffer::fromPicture(picture, rgb);
        }
        if (r.ok() && !ColourQuantiser::exactColours(rgb, Palette::kMaxColours, palette, indices)) {
            r = ImagingResult::failure(ImagingResult::Code::BadArgument,
                                       QStringLiteral("more than 256 colours"));
        }
        if (r.ok()) {
            r = GifWriter::write(rgb.width(), rgb.height(), indices, palette, 8, gif);
        }
        if (r.ok()) {
            r = PictureSaver::writeFile(args[2], gif);
        }
        if (!r.ok()) {
            err << args[1] << ": " << ImagingResult::codeName(r.code) << " " << r.detail << "\n";
            return 1;
        }
        out << gif.size() << Qt::endl;
        return 0;
    }
    int failures = 0;
    for (const QString& file : files) {
        QElapsedTimer timer;
        timer.start();
        Picture picture;
        const ImagingResult loaded =
            fullDecode ? PictureLoader::load(file, picture)
                       : PictureLoader::loadToFit(file, static_cast<int>(SendableImage::kMaxWidth),
                                                  static_cast<int>(SendableImage::kMaxHeight), picture);
        if (!loaded.ok()) {
            err << file << ": " << ImagingResult::codeName(loaded.code) << " " << loaded.detail << "\n";
            ++failures;
            continue;
        }
        const qint64 loadMs = timer.elapsed();
        const FitToProjector::Result fit = FitToProjector::fit(picture);
        const qint64 ms = timer.elapsed();
        if (!fit.result.ok()) {
            err << file << ": " << ImagingResult::codeName(fit.result.code) << " " << fit.result.detail
                << "\n";
            ++failures;
            continue;
        }
        const QString name = QFileInfo(file).completeBaseName();
        if (!outDir.isEmpty()) {
            QDir().mkpath(outDir);
            const ImagingResult w1 =
                PictureSaver::writeFile(QDir(outDir).filePath(name + QStringLiteral(".qv1")), fit.bytes);
            const ImagingResult w2 =
                PictureSaver::save(fit.reference, QDir(outDir).filePath(name + QStringLiteral(".ref.png")),
                                   PictureFormat::Png, 24);
            if (!w1.ok() || !w2.ok()) {
                err << file << ": cannot write results\n";
                ++failures;
            }
        }
        out << name << ' ' << fit.shown.width() << ' ' << fit.shown.height() << ' ' << fit.bytes.size() << ' '
            << fit.colours << ' ' << fit.dither << ' ' << fit.runTolerance << ' ' << fit.scale << ' '
            << QString::number(fit.psnr, 'f', 3) << ' ' << ms << ' ' << fit.candidates << ' ' << ms - loadMs
            << Qt::endl;
    }
    return failures == 0 ? 0 : 1;
}
