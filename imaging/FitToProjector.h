#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"
#include "imaging/SendableImage.h"

#include <QByteArray>

#include <atomic>

// Turns any picture into the best-looking .qv1 a projector accepts: scaled to fit the
// projector's frame (aspect kept, never enlarged). A picture with no more colours than a
// palette holds whose exact encoding fits is written exactly. Otherwise the palette size, the
// dither strength, the smoothing of noise in flat areas, the tolerance and kind of a lossy
// LZW pass and, only when nothing with enough colours fits, a smaller scale are searched for
// the highest PSNR whose GIF stays within the byte limit; where the limit leaves room, no
// lossy pass is used and the palette is made from every pixel. What the lossy pass's last
// step leaves of the limit goes to coding part of the picture one step finer. A picture with
// transparency goes onto white before it is scaled.
class FitToProjector final {
public:
    struct Options {
        int maxWidth = static_cast<int>(SendableImage::kMaxWidth);
        int maxHeight = static_cast<int>(SendableImage::kMaxHeight);
        qint64 maxBytes = SendableImage::kMaxFileSize;
        // Fewer colours than this look posterised; a smaller picture is tried first.
        int minColours = 16;
        // Set from another thread, the search ends at its next candidate with Stopped.
        const std::atomic<bool>* stop = nullptr;
    };

    struct Result {
        ImagingResult result;
        QByteArray bytes;  // the .qv1 file
        Picture shown;     // what the projector shows
        Picture reference; // the true-colour picture at the same size, for comparison
        int colours = 0;
        float dither = 0;
        int runTolerance = 0; // how far the lossy LZW pass could move a pixel, per channel
        int smoothing = 0;    // flattening threshold for noise in flat areas, 0 = none
        double scale = 1.0;   // below 1 when the fitted size had to shrink further
        double psnr = 0;      // shown against reference, in dB
        int candidates = 0;   // encodings tried
    };

    static Result fit(const Picture& picture);
    static Result fit(const Picture& picture, const Options& options);
};
