#pragma once

#include "imaging/Picture.h"

#include <QImage>

// Pictures as the interface paints them.
namespace CPictureImage {

// A null image when the picture is null or cannot be read.
QImage toQImage(const Picture& picture);

// A copy small enough for a preview box (aspect kept, never enlarged); the picture itself
// when it already fits.
Picture thumbnail(const Picture& picture, int maxWidth, int maxHeight);

} // namespace CPictureImage
