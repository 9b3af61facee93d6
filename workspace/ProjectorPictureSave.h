#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"

#include <QString>

// Save As and Convert to a .qv1 file. The picture is encoded once, in memory, and written
// atomically; what the caller shows afterwards is the colour-reduced picture that was
// written. A name without the .qv1 extension writes nothing.
class ProjectorPictureSave final {
public:
    struct Outcome {
        ImagingResult result;
        Picture shown;    // set when result is ok
        qint64 bytes = 0; // length of the file written
    };

    // The extension of the file name (not of a folder), compared in any letter case.
    static bool hasQv1Extension(const QString& path);
    static Outcome save(const Picture& picture, const QString& path);
};
