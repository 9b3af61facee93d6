#include "history/HistoryThumbnail.h"

#include "imaging/ImagingGuard.h"
#include "imaging/PictureLoader.h"

namespace {

// A projector file is small; the pixel limit keeps a wrong file from costing much.
constexpr quint64 kMaxPixels = 4'000'000;

QByteArray encode(const Picture& picture) {
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

} // namespace

QByteArray HistoryThumbnail::make(const QString& path) {
    Picture picture;
    if (!PictureLoader::loadToFit(path, kSide, kSide, picture, kMaxPixels).ok() || picture.isNull()) {
        return {};
    }
    return encode(picture);
}

QByteArray HistoryThumbnail::makeFromData(const QByteArray& content) {
    Picture picture;
    if (content.isEmpty() || !PictureLoader::loadFromMemory(content, picture, kMaxPixels).ok() ||
        picture.isNull()) {
        return {};
    }
    if (picture.width() <= kSide && picture.height() <= kSide) {
        return encode(picture);
    }
    Picture small;
    const ImagingResult r = guardImaging(ImagingResult::Code::EncodeFailed, [&] {
        small =
            Picture(picture.pixels().thumbnail_image(kSide, vips::VImage::option()->set("height", kSide)));
        return ImagingResult::success();
    });
    return r.ok() ? encode(small) : QByteArray();
}
