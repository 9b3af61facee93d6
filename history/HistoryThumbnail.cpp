#include "history/HistoryThumbnail.h"

#include "workspace/ImagingGuard.h"
#include "workspace/PictureLoader.h"

QByteArray HistoryThumbnail::make(const QString& path) {
    Picture picture;
    // A projector file is small; the pixel limit keeps a wrong file from costing much.
    if (!PictureLoader::loadToFit(path, kSide, kSide, picture, 4'000'000).ok() || picture.isNull()) {
        return {};
    }
    QByteArray png;
    const ImagingResult r = guardImaging(ImagingResult::Code::EncodeFailed, [&] {
        void* buffer = nullptr;
        size_t size = 0;
        picture.pixels().write_to_buffer(".png", &buffer, &size, nullptr);
        png = QByteArray(static_cast<const char*>(buffer), static_cast<qsizetype>(size));
        g_free(buffer);
        return ImagingResult::success();
    });
    return r.ok() ? png : QByteArray();
}
