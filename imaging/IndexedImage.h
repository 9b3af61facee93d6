#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Palette.h"
#include "imaging/RgbBuffer.h"

#include <vector>

#include <vips/vips8>

class Picture;

// A palette and one index per pixel: what GIF and indexed BMP files store.
class IndexedImage final {
public:
    IndexedImage() = default;
    IndexedImage(int width, int height, Palette palette, std::vector<quint8> indices);

    // Uses the picture's own palette when it has one of at most 2^bits entries, so a
    // colour-reduced picture is written exactly as shown; otherwise libimagequant makes an
    // optimised palette of 2^bits colours with full error diffusion.
    static ImagingResult fromPicture(const Picture& picture, int bits, IndexedImage& out);
    static ImagingResult fromRgb(const RgbBuffer& rgb, int bits, IndexedImage& out);

    [[nodiscard]] int width() const { return m_width; }
    [[nodiscard]] int height() const { return m_height; }
    [[nodiscard]] const Palette& palette() const { return m_palette; }
    [[nodiscard]] const std::vector<quint8>& indices() const { return m_indices; }

    // The colours the indices stand for.
    [[nodiscard]] RgbBuffer toRgb() const;

private:
    int m_width = 0;
    int m_height = 0;
    Palette m_palette;
    std::vector<quint8> m_indices;
};
