#include "imaging/IndexedImage.h"

#include "imaging/ColourQuantiser.h"
#include "imaging/PaletteMapper.h"
#include "imaging/Picture.h"

#include <unordered_map>

IndexedImage::IndexedImage(int width, int height, Palette palette, std::vector<quint8> indices)
    : m_width(width), m_height(height), m_palette(std::move(palette)), m_indices(std::move(indices)) {}

ImagingResult IndexedImage::fromPicture(const Picture& picture, int bits, IndexedImage& out) {
    if (picture.isNull()) {
        return ImagingResult::failure(ImagingResult::Code::NoPicture);
    }
    if (bits < 1 || bits > 8) {
        return ImagingResult::failure(ImagingResult::Code::BadArgument, QStringLiteral("%1 bits").arg(bits));
    }
    RgbBuffer rgb;
    if (ImagingResult r = RgbBuffer::fromPicture(picture, rgb); !r.ok()) {
        return r;
    }
    const Palette& own = picture.palette();
    if (own.isEmpty() || own.size() > (1 << bits)) {
        return fromRgb(rgb, bits, out);
    }
    std::unordered_map<quint32, quint8> lookup;
    for (int i = own.size() - 1; i >= 0; --i) {
        const PaletteColour c = own.at(i);
        lookup[(quint32{c.r} << 16) | (quint32{c.g} << 8) | c.b] = static_cast<quint8>(i);
    }
    std::vector<quint8> indices(static_cast<size_t>(rgb.width()) * static_cast<size_t>(rgb.height()));
    const PaletteMapper fallback(own);
    const quint8* p = rgb.data();
    for (quint8& index : indices) {
        const auto hit = lookup.find((quint32{p[0]} << 16) | (quint32{p[1]} << 8) | p[2]);
        // Every colour should be in the table; a stray one still gets its nearest entry.
        index = hit != lookup.end() ? hit->second : static_cast<quint8>(fallback.nearest(p[0], p[1], p[2]));
        p += 3;
    }
    out = IndexedImage(rgb.width(), rgb.height(), own, std::move(indices));
    return ImagingResult::success();
}

ImagingResult IndexedImage::fromRgb(const RgbBuffer& rgb, int bits, IndexedImage& out) {
    if (bits < 1 || bits > 8) {
        return ImagingResult::failure(ImagingResult::Code::BadArgument, QStringLiteral("%1 bits").arg(bits));
    }
    Palette palette;
    std::vector<quint8> indices;
    if (ImagingResult r = ColourQuantiser::quantiseOnce(rgb, 1 << bits, 1.0f, palette, indices); !r.ok()) {
        return r;
    }
    out = IndexedImage(rgb.width(), rgb.height(), std::move(palette), std::move(indices));
    return ImagingResult::success();
}

RgbBuffer IndexedImage::toRgb() const {
    RgbBuffer rgb(m_width, m_height);
    quint8* p = rgb.data();
    for (const quint8 index : m_indices) {
        const PaletteColour c = index < m_palette.size() ? m_palette.at(index) : PaletteColour{};
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p += 3;
    }
    return rgb;
}
