#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/PictureFormat.h"

#include <QtGlobal>

class QIODevice;

// What a picture file says about its own size, weighed against its length before a decoder
// allocates for it: a few hundred bytes must never be allowed to ask for gigabytes.
namespace DeclaredSize {

// Decoded bytes any file may ask for without its length having to justify them.
constexpr quint64 kFreeBytes = quint64{32} << 20;

// Structure a decoder trusts before it has seen the pixels: every PNG chunk lies within the
// file, an uncompressed bitmap holds the rows it declares, and a WebP's canvas is one its
// length can code. Other formats pass here; their sizes are weighed by justified() once the
// header has been read. DecodeFailed says why a file cannot be what it claims.
ImagingResult checkStructure(QIODevice& file);

// Whether a file of fileSize bytes in this format can code a picture that decodes to
// decodedBytes. Each format's figure is the most its coding can expand one byte into.
bool justified(PictureFormat format, quint64 decodedBytes, qint64 fileSize);

} // namespace DeclaredSize
