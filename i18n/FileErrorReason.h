#pragma once

#include "i18n/CatalogId.h"

#include <QString>

class QFileDevice;

// Why a file operation failed, in the catalog's language: the common causes (no permission,
// a full disk, a missing file or folder, a read-only file system) have texts of their own,
// and any other reason keeps the system's words inside a text that says they are the system's.
class FileErrorReason final {
public:
    // For a QFile or QSaveFile whose last operation failed.
    static QString of(const QFileDevice& file);
    // For an errno value.
    static QString ofErrno(int code);
    // For a reason the system already gave as text (QFileDevice::errorString(), strerror()),
    // such as the detail of a failed IoResult.
    static QString ofSystemText(const QString& systemText);

    // The text for an errno value, or FileReasonOther when it has none of its own.
    static CatalogId idForErrno(int code);
};
