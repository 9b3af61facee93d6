#include "imaging/GifWriter.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>

namespace {

struct Output {
    QByteArray bytes;
    qint64 limit = 0;
    bool overLimit = false;
};

int appendOutput(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Output*>(gif->UserData);
    if (out->limit > 0 && out->bytes.size() + length > out->limit) {
        out->overLimit = true;
        return 0; // giflib gives up on a short write
    }
    out->bytes.append(reinterpret_cast<const char*>(data), length);
    return length;
}

ImagingResult gifFailure(const Output& output, int error) {
    if (output.overLimit) {
        return ImagingResult::failure(ImagingResult::Code::DoesNotFit,
                                      QStringLiteral("more than %1 bytes").arg(output.limit));
    }
    const char* text = GifErrorString(error);
    return ImagingResult::failure(
        ImagingResult::Code::EncodeFailed,
        QStringLiteral("giflib: %1").arg(QString::fromLatin1(text ? text : "unknown error")));
}

} // namespace

ImagingResult GifWriter::write(int width, int height, const std::vector<quint8>& indices,
                               const Palette& palette, int bits, QByteArray& out, qint64 maxBytes) {
    // GIF stores sizes in 16 bits.
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || bits < 1 || bits > 8 ||
        indices.size() != static_cast<size_t>(width) * static_cast<size_t>(height) || palette.isEmpty() ||
        palette.size() > (1 << bits)) {
        return ImagingResult::failure(ImagingResult::Code::BadArgument,
                                      QStringLiteral("GIF frame does not add up"));
    }
    const int tableSize = 1 << bits;
    if (std::any_of(indices.begin(), indices.end(), [&](quint8 i) { return i >= palette.size(); })) {
        return ImagingResult::failure(ImagingResult::Code::BadArgument,
                                      QStringLiteral("index outside the palette"));
    }
    std::vector<GifColorType> colours(static_cast<size_t>(tableSize), GifColorType{0, 0, 0});
    for (int i = 0; i < palette.size(); ++i) {
        colours[static_cast<size_t>(i)] = GifColorType{palette.at(i).r, palette.at(i).g, palette.at(i).b};
    }
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
        GifMakeMapObject(tableSize, colours.data()), GifFreeMapObject);
    if (!map) {
        return ImagingResult::failure(ImagingResult::Code::OutOfMemory);
    }

    Output output;
    output.limit = maxBytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&output, appendOutput, &error);
    if (gif == nullptr) {
        return gifFailure(output, error);
    }
    // Closes the file on every way out; EGifCloseFile frees it even when it fails.
    auto close = [&gif]() -> int {
        int closeError = 0;
        if (gif != nullptr && EGifCloseFile(gif, &closeError) != GIF_OK) {
            gif = nullptr;
            return closeError == 0 ? E_GIF_ERR_CLOSE_FAILED : closeError;
        }
        gif = nullptr;
        return 0;
    };
    if (EGifPutScreenDesc(gif, width, height, bits, 0, map.get()) != GIF_OK ||
        EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_OK) {
        const int e = gif->Error;
        close();
        return gifFailure(output, e);
    }
    // giflib masks the line it is given in place, so each row goes through a copy.
    std::vector<GifPixelType> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const auto begin = indices.begin() + static_cast<std::ptrdiff_t>(y) * width;
        std::copy(begin, begin + width, row.begin());
        if (EGifPutLine(gif, row.data(), width) != GIF_OK) {
            const int e = gif->Error;
            close();
            return gifFailure(output, e);
        }
    }
    if (const int e = close(); e != 0) {
        return gifFailure(output, e);
    }
    if (output.overLimit) {
        // giflib does not check the write of the trailer byte.
        return gifFailure(output, E_GIF_ERR_WRITE_FAILED);
    }
    out = std::move(output.bytes);
    return ImagingResult::success();
}
