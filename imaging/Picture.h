#pragma once

#include "imaging/Palette.h"
#include "imaging/PictureFormat.h"

#include <QString>

#include <vips/vips8>

// A picture as the program holds it: materialised 8-bit sRGB pixels, three bands or four
// with alpha, plus what the file said about itself. vips images are immutable and shared,
// so copying a Picture (the undo level) costs a reference count, and editing one copy
// never changes another.
class Picture final {
public:
    // Refused before decoding: 100 megapixels is beyond any camera in common use and still
    // only 400 MB decoded.
    static constexpr quint64 kMaxPixels = 100'000'000;

    Picture() = default;
    // pixels must be uchar sRGB with 3 or 4 bands; it is taken as true colour.
    explicit Picture(vips::VImage pixels);

    [[nodiscard]] bool isNull() const { return m_pixels.get_image() == nullptr; }
    [[nodiscard]] int width() const { return isNull() ? 0 : m_pixels.width(); }
    [[nodiscard]] int height() const { return isNull() ? 0 : m_pixels.height(); }
    [[nodiscard]] bool hasAlpha() const { return !isNull() && m_pixels.bands() == 4; }
    // 1, 2, 4 or 8 for an indexed picture (see palette), else 24, or 32 with alpha.
    [[nodiscard]] int bitsPerPixel() const { return m_bitsPerPixel; }
    // Dots per inch; 96 when the file gave none.
    [[nodiscard]] int xResolution() const { return m_xDpi; }
    [[nodiscard]] int yResolution() const { return m_yDpi; }
    [[nodiscard]] PictureFormat loadedFormat() const { return m_loadedFormat; }
    // libvips' or ImageMagick's name of the format, used to write an Other format back.
    [[nodiscard]] const QString& loadedFormatName() const { return m_loadedFormatName; }
    [[nodiscard]] int loadedBitDepth() const { return m_loadedBitDepth; }
    // Every pixel's colour is one of these when bitsPerPixel is at most 8; empty otherwise.
    [[nodiscard]] const Palette& palette() const { return m_palette; }
    [[nodiscard]] const vips::VImage& pixels() const { return m_pixels; }

    void setResolution(int xDpi, int yDpi);
    void setLoadedFormat(PictureFormat format, const QString& name, int bitDepth);

    // The same record with new true-colour pixels.
    [[nodiscard]] Picture withPixels(vips::VImage pixels) const;
    // The same record with new pixels whose colours all come from palette.
    [[nodiscard]] Picture withIndexedPixels(vips::VImage pixels, Palette palette, int bits) const;

private:
    vips::VImage m_pixels;
    int m_bitsPerPixel = 0;
    int m_xDpi = 96;
    int m_yDpi = 96;
    PictureFormat m_loadedFormat = PictureFormat::Unknown;
    QString m_loadedFormatName;
    int m_loadedBitDepth = 0;
    Palette m_palette;
};
