#include "imaging/Picture.h"

Picture::Picture(vips::VImage pixels) : m_pixels(std::move(pixels)) {
    m_bitsPerPixel = isNull() ? 0 : (m_pixels.bands() == 4 ? 32 : 24);
    m_loadedBitDepth = m_bitsPerPixel;
}

void Picture::setResolution(int xDpi, int yDpi) {
    m_xDpi = xDpi > 0 ? xDpi : 96;
    m_yDpi = yDpi > 0 ? yDpi : 96;
}

void Picture::setLoadedFormat(PictureFormat format, const QString& name, int bitDepth) {
    m_loadedFormat = format;
    m_loadedFormatName = name;
    m_loadedBitDepth = bitDepth;
}

Picture Picture::withPixels(vips::VImage pixels) const {
    Picture p = *this;
    p.m_pixels = std::move(pixels);
    p.m_bitsPerPixel = p.isNull() ? 0 : (p.m_pixels.bands() == 4 ? 32 : 24);
    p.m_palette = {};
    return p;
}

Picture Picture::withIndexedPixels(vips::VImage pixels, Palette palette, int bits) const {
    Picture p = *this;
    p.m_pixels = std::move(pixels);
    p.m_bitsPerPixel = bits;
    p.m_palette = std::move(palette);
    return p;
}
