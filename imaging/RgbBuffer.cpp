#include "imaging/RgbBuffer.h"

#include "imaging/ImagingGuard.h"
#include "imaging/Picture.h"

#include <cstring>

RgbBuffer::RgbBuffer(int width, int height)
    : m_width(width), m_height(height),
      m_data(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0) {}

ImagingResult RgbBuffer::fromPicture(const Picture& picture, RgbBuffer& out) {
    if (picture.isNull()) {
        return ImagingResult::failure(ImagingResult::Code::NoPicture);
    }
    return fromImage(picture.pixels(), out);
}

ImagingResult RgbBuffer::fromImage(const vips::VImage& image, RgbBuffer& out) {
    return guardImaging(ImagingResult::Code::EncodeFailed, [&] {
        vips::VImage rgb = image;
        if ((rgb.bands() == 4 || rgb.bands() == 2) && rgb.format() == VIPS_FORMAT_UCHAR) {
            // Onto white, rounded: libvips's own flatten truncates, leaving every part-covered
            // pixel up to a level darker than the mix it stands for.
            const vips::VImage colour =
                rgb.extract_band(0, vips::VImage::option()->set("n", rgb.bands() - 1));
            const vips::VImage alpha = rgb[rgb.bands() - 1];
            rgb = ((colour * alpha + (255 - alpha) * 255) / 255.0).rint().cast(VIPS_FORMAT_UCHAR);
        } else if (rgb.bands() == 4 || rgb.bands() == 2) {
            rgb = rgb.flatten(vips::VImage::option()->set("background", std::vector<double>{255.0}));
        }
        if (rgb.bands() == 1) {
            rgb = vips::VImage::bandjoin(std::vector<vips::VImage>{rgb, rgb, rgb});
        }
        if (rgb.bands() != 3) {
            rgb = rgb.extract_band(0, vips::VImage::option()->set("n", 3));
        }
        if (rgb.format() != VIPS_FORMAT_UCHAR) {
            rgb = rgb.cast(VIPS_FORMAT_UCHAR);
        }
        size_t size = 0;
        void* mem = rgb.write_to_memory(&size);
        RgbBuffer buffer(rgb.width(), rgb.height());
        if (size != buffer.byteSize()) {
            g_free(mem);
            return ImagingResult::failure(ImagingResult::Code::EncodeFailed,
                                          QStringLiteral("unexpected pixel layout"));
        }
        std::memcpy(buffer.data(), mem, size);
        g_free(mem);
        out = std::move(buffer);
        return ImagingResult::success();
    });
}

ImagingResult RgbBuffer::toImage(vips::VImage& out) const {
    return guardImaging(ImagingResult::Code::EncodeFailed, [&] {
        if (isEmpty()) {
            return ImagingResult::failure(ImagingResult::Code::NoPicture);
        }
        VipsImage* raw = vips_image_new_from_memory_copy(m_data.data(), m_data.size(), m_width, m_height, 3,
                                                         VIPS_FORMAT_UCHAR);
        if (raw == nullptr) {
            throw vips::VError();
        }
        vips::VImage image(raw);
        out = image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        return ImagingResult::success();
    });
}
