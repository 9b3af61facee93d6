#include "imaging/Qv1Encoder.h"

#include "imaging/GifWriter.h"
#include "imaging/IndexedImage.h"

namespace {
constexpr int kQv1Bits = 8;
}

ImagingResult Qv1Encoder::encode(const Picture& picture, Encoding& out) {
    if (picture.isNull()) {
        return ImagingResult::failure(ImagingResult::Code::NoPicture);
    }
    IndexedImage indexed;
    if (ImagingResult r = IndexedImage::fromPicture(picture, kQv1Bits, indexed); !r.ok()) {
        return r;
    }
    Encoding encoding;
    if (ImagingResult r = GifWriter::write(indexed.width(), indexed.height(), indexed.indices(),
                                           indexed.palette(), kQv1Bits, encoding.bytes);
        !r.ok()) {
        return r;
    }
    vips::VImage shown;
    if (ImagingResult r = indexed.toRgb().toImage(shown); !r.ok()) {
        return r;
    }
    encoding.shown = picture.withIndexedPixels(shown, indexed.palette(), kQv1Bits);
    encoding.shown.setLoadedFormat(PictureFormat::Gif, PictureFormats::name(PictureFormat::Gif), kQv1Bits);
    out = std::move(encoding);
    return ImagingResult::success();
}

ImagingResult Qv1Encoder::encodedSize(const Picture& picture, qint64& bytes) {
    Encoding encoding;
    if (ImagingResult r = encode(picture, encoding); !r.ok()) {
        return r;
    }
    bytes = encoding.bytes.size();
    return ImagingResult::success();
}
