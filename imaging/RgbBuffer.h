#pragma once

#include "imaging/ImagingResult.h"

#include <QtGlobal>

#include <vector>

#include <vips/vips8>

class Picture;

// Plain interleaved 8-bit RGB, the form the quantiser, the dithering and the encoders read.
class RgbBuffer final {
public:
    RgbBuffer() = default;
    RgbBuffer(int width, int height); // black

    // Transparent areas are flattened onto white, as a projector has no transparency.
    static ImagingResult fromPicture(const Picture& picture, RgbBuffer& out);
    static ImagingResult fromImage(const vips::VImage& image, RgbBuffer& out);
    // A materialised three-band sRGB image of these pixels.
    ImagingResult toImage(vips::VImage& out) const;

    [[nodiscard]] int width() const { return m_width; }
    [[nodiscard]] int height() const { return m_height; }
    [[nodiscard]] bool isEmpty() const { return m_width == 0 || m_height == 0; }
    [[nodiscard]] quint8* data() { return m_data.data(); }
    [[nodiscard]] const quint8* data() const { return m_data.data(); }
    [[nodiscard]] size_t byteSize() const { return m_data.size(); }
    [[nodiscard]] const quint8* pixel(int x, int y) const {
        return m_data.data() +
               (static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)) * 3;
    }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<quint8> m_data;
};
