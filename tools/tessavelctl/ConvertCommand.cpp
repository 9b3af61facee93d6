#include "tools/tessavelctl/ConvertCommand.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "imaging/FitToProjector.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureSaver.h"
#include "imaging/SendableImage.h"
#include "workspace/ProjectorPictureSave.h"

#include <QFileInfo>

namespace {

constexpr int kSendable = 0;
constexpr int kNotSendable = 1;
constexpr int kUsage = 2;

QString describe(const ImagingResult& r) {
    const QString text = CatalogText(r.messageId());
    return r.detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, r.detail);
}

QString reasonText(int reason, const Picture& shown, const QString& path) {
    switch (reason) {
    case SendableImage::CannotOpen:
        return CatalogText(msg::ConvertFileUnreadable);
    case SendableImage::BadFileSize:
        return CatalogText(msg::ConvertFileSizeInvalid, {CatalogNumber::format(QFileInfo(path).size())});
    case SendableImage::NotQv1:
        return CatalogText(msg::ConvertNotQv1File);
    default:
        return CatalogText(msg::ConvertPictureSizeInvalid,
                           {QString::number(shown.width()), QString::number(shown.height())});
    }
}

int usage(QTextStream& err) {
    err << CatalogText(msg::ConvertUsage) << Qt::endl;
    return kUsage;
}

} // namespace

int RunConvertCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (!IsCatalogLoaded()) {
        LoadCatalog(); // without one every text reads "No Message Catalog", as everywhere
    }
    bool fit = false;
    QStringList files;
    for (const QString& arg : args) {
        if (arg == u"--fit") {
            fit = true;
        } else if (arg.startsWith(u"--")) {
            return usage(err);
        } else {
            files << arg;
        }
    }
    if (files.size() != 2) {
        return usage(err);
    }
    const QString& input = files[0];
    const QString& target = files[1];
    if (!ProjectorPictureSave::hasQv1Extension(target)) {
        err << CatalogText(msg::ConvertNeedsQv1) << Qt::endl;
        return usage(err);
    }

    Picture picture;
    // A fit never needs more than the projector's frame, so the decoder may shrink early.
    const ImagingResult loaded =
        fit ? PictureLoader::loadToFit(input, static_cast<int>(SendableImage::kMaxWidth),
                                       static_cast<int>(SendableImage::kMaxHeight), picture)
            : PictureLoader::load(input, picture);
    if (!loaded.ok()) {
        err << CatalogText(msg::ConvertReadFailed, {input, describe(loaded)}) << Qt::endl;
        return kUsage;
    }

    Picture shown;
    qint64 bytes = 0;
    if (fit) {
        const FitToProjector::Result r = FitToProjector::fit(picture);
        const ImagingResult written = r.result.ok() ? PictureSaver::writeFile(target, r.bytes) : r.result;
        if (!written.ok()) {
            err << CatalogText(msg::ConvertWriteFailed, {target, describe(written)}) << Qt::endl;
            return kNotSendable;
        }
        shown = r.shown;
        bytes = r.bytes.size();
        out << CatalogText(msg::ConvertFitted, {QString::number(shown.width()),
                                                QString::number(shown.height()), QString::number(r.colours),
                                                QString::number(r.dither), QString::number(r.psnr, 'f', 2)})
            << Qt::endl;
    } else {
        const ProjectorPictureSave::Outcome o = ProjectorPictureSave::save(picture, target);
        if (!o.result.ok()) {
            err << CatalogText(msg::ConvertWriteFailed, {target, describe(o.result)}) << Qt::endl;
            return kNotSendable;
        }
        shown = o.shown;
        bytes = o.bytes;
    }
    out << CatalogText(msg::ConvertWrote, {target, QString::number(shown.width()),
                                           QString::number(shown.height()), CatalogNumber::format(bytes)})
        << Qt::endl;

    int reason = 0;
    if (!IsSendableImage(target, static_cast<quint32>(shown.width()), static_cast<quint32>(shown.height()),
                         reason)) {
        err << CatalogText(msg::ConvertNotSendable, {reasonText(reason, shown, target)}) << Qt::endl;
        if (!fit) {
            err << CatalogText(msg::ConvertTryFit) << Qt::endl;
        }
        return kNotSendable;
    }
    return kSendable;
}
