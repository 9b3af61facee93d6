#include "workspace/ProjectorPictureSave.h"

#include "imaging/PictureSaver.h"
#include "imaging/Qv1Encoder.h"

#include <QFileInfo>

bool ProjectorPictureSave::hasQv1Extension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.mid(dot).toLower() == u".qv1";
}

ProjectorPictureSave::Outcome ProjectorPictureSave::save(const Picture& picture, const QString& path) {
    Outcome outcome;
    if (picture.isNull()) {
        outcome.result = ImagingResult::failure(ImagingResult::Code::NoPicture);
        return outcome;
    }
    if (!hasQv1Extension(path)) {
        outcome.result = ImagingResult::failure(ImagingResult::Code::NotQv1Name);
        return outcome;
    }
    Qv1Encoder::Encoding encoding;
    if (ImagingResult r = Qv1Encoder::encode(picture, encoding); !r.ok()) {
        outcome.result = r;
        return outcome;
    }
    if (ImagingResult r = PictureSaver::writeFile(path, encoding.bytes); !r.ok()) {
        outcome.result = r;
        return outcome;
    }
    outcome.shown = encoding.shown;
    outcome.bytes = encoding.bytes.size();
    return outcome;
}
