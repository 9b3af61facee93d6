#include "workspace/CPictureImage.h"

#include "imaging/PictureOps.h"
#include "imaging/RgbBuffer.h"

#include <algorithm>
#include <cstring>

QImage CPictureImage::toQImage(const Picture& picture) {
    if (picture.isNull()) {
        return {};
    }
    RgbBuffer rgb;
    if (!RgbBuffer::fromPicture(picture, rgb).ok() || rgb.isEmpty()) {
        return {};
    }
    QImage image(rgb.width(), rgb.height(), QImage::Format_RGB888);
    if (image.isNull()) {
        return {};
    }
    const size_t row = static_cast<size_t>(rgb.width()) * 3;
    for (int y = 0; y < rgb.height(); ++y) {
        std::memcpy(image.scanLine(y), rgb.pixel(0, y), row);
    }
    return image;
}

Picture CPictureImage::thumbnail(const Picture& picture, int maxWidth, int maxHeight) {
    if (picture.isNull() || (picture.width() <= maxWidth && picture.height() <= maxHeight)) {
        return picture;
    }
    const double scale = std::min(double(maxWidth) / picture.width(), double(maxHeight) / picture.height());
    Picture small = picture;
    const int w = std::max(1, int(picture.width() * scale));
    const int h = std::max(1, int(picture.height() * scale));
    if (!PictureOps::resize(small, w, h, PictureOps::kResizeBilinear).ok()) {
        return picture;
    }
    return small;
}
