// Feeds arbitrary bytes to the picture loader and whatever loads to the projector encoder.
// A load may fail with a code; it must not crash, hang or allocate without bound, and what
// the encoder writes must read back.
#include "imaging/BmpEncoder.h"
#include "imaging/PictureLoader.h"
#include "imaging/Qv1Encoder.h"
#include "imaging/VipsRuntime.h"

#include <QtGlobal>

#include <vips/vips.h>

#include <cstdint>
#include <cstdlib>

namespace {
// 256 by 256: past every decoder's tile and strip sizes, so their loops run more than once,
// yet an input that claims a big picture costs milliseconds, not the tenth of a second a
// megapixel takes through colour reduction under the sanitizers. Larger claims exercise the
// loader's refusal instead.
constexpr quint64 kFuzzPixels = 1 << 16;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The pictures are tiny: handing them between libvips worker threads costs more than
    // decoding them. The result is the same with any number of threads.
    qputenv("VIPS_CONCURRENCY", "1");
    // Without the operation cache every run frees what it allocated, so libFuzzer's leak
    // check stays quiet unless something really leaks; with it, kept operations make every
    // run look leaky and trigger a full scan of the heap each time.
    if (VipsRuntime::ensure()) {
        vips_cache_set_max(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Picture picture;
    const ImagingResult loaded = PictureLoader::loadFromMemory(bytes, picture, kFuzzPixels);
    if (!loaded.ok()) {
        if (!picture.isNull()) {
            std::abort(); // a failure must not hand out a picture
        }
        return 0;
    }
    if (picture.isNull() || quint64(picture.width()) * quint64(picture.height()) > kFuzzPixels) {
        std::abort();
    }
    Qv1Encoder::Encoding encoding;
    if (!Qv1Encoder::encode(picture, encoding).ok()) {
        std::abort(); // any picture that loaded can be encoded
    }
    Picture back;
    if (!PictureLoader::loadFromMemory(encoding.bytes, back, kFuzzPixels).ok() ||
        back.width() != picture.width() || back.height() != picture.height()) {
        std::abort();
    }
    QByteArray bmp;
    if (!BmpEncoder::encode(picture, 8, bmp).ok()) {
        std::abort();
    }
    return 0;
}
