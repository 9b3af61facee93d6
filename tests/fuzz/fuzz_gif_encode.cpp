// Builds an indexed frame from the input (size, palette, indices, a lossy tolerance and way) and
// checks the GIF path end to end: the size model agrees with giflib to the byte, and the file
// decodes to exactly the palette colours of the indices.
#include "imaging/GifWriter.h"
#include "imaging/LossyLzw.h"
#include "imaging/PictureLoader.h"
#include "imaging/RgbBuffer.h"
#include "imaging/VipsRuntime.h"

#include <QtGlobal>

#include <vips/vips.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One small frame per run: libvips worker threads would cost more than the decode.
    qputenv("VIPS_CONCURRENCY", "1");
    // Without the operation cache every run frees what it allocated, so libFuzzer's leak
    // check stays quiet unless something really leaks; with it, kept operations make every
    // run look leaky and trigger a full scan of the heap each time.
    if (VipsRuntime::ensure()) {
        vips_cache_set_max(0);
    }
    return 0;
}

namespace {

class Reader final {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    quint8 next() { return m_pos < m_size ? m_data[m_pos++] : quint8(m_pos++ * 31); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    const int width = 1 + in.next() % 96;
    const int height = 1 + in.next() % 96;
    const int colours = 1 + in.next();
    const int toleranceByte = in.next();
    const int tolerance = toleranceByte % 40;
    const auto strategy =
        toleranceByte >= 128 ? LossyLzw::Strategy::LongestMatch : LossyLzw::Strategy::NearestPath;
    std::vector<PaletteColour> entries;
    for (int i = 0; i < colours; ++i) {
        entries.push_back({in.next(), in.next(), in.next()});
    }
    const Palette palette(entries);
    RgbBuffer reference(width, height);
    std::vector<quint8> indices(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<quint8>(in.next() % colours);
        const PaletteColour c = palette.at(indices[i]);
        reference.data()[i * 3] = static_cast<quint8>(c.r ^ (in.next() & 15));
        reference.data()[i * 3 + 1] = c.g;
        reference.data()[i * 3 + 2] = c.b;
    }
    const LossyLzw::Outcome model = LossyLzw::run(reference, palette, indices, tolerance, 0, strategy);
    QByteArray gif;
    if (!GifWriter::write(width, height, indices, palette, 8, gif).ok() || model.fileBytes != gif.size()) {
        std::abort();
    }
    Picture decoded;
    if (!PictureLoader::loadFromMemory(gif, decoded).ok()) {
        std::abort();
    }
    RgbBuffer rgb;
    if (!RgbBuffer::fromPicture(decoded, rgb).ok() || rgb.width() != width || rgb.height() != height) {
        std::abort();
    }
    for (size_t i = 0; i < indices.size(); ++i) {
        const PaletteColour c = palette.at(indices[i]);
        const quint8* p = rgb.data() + i * 3;
        if (p[0] != c.r || p[1] != c.g || p[2] != c.b) {
            std::abort();
        }
    }
    return 0;
}
