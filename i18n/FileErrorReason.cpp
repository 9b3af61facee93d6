#include "i18n/FileErrorReason.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QFileDevice>

#include <array>
#include <cerrno>

namespace {

// The errno values that have a text of their own. Qt reports a failed file operation as
// qt_error_string(errno), so that is also how each one is recognised in a text.
constexpr std::array kKnown{EACCES, EPERM, ENOSPC, ENOENT, ENOTDIR, EROFS,
#ifdef EDQUOT
                            EDQUOT
#endif
};

} // namespace

CatalogId FileErrorReason::idForErrno(int code) {
    switch (code) {
    case EACCES:
    case EPERM:
        return msg::FileReasonAccess;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return msg::FileReasonDiskFull;
    case ENOENT:
    case ENOTDIR:
        return msg::FileReasonMissing;
    case EROFS:
        return msg::FileReasonReadOnly;
    default:
        return msg::FileReasonOther;
    }
}

QString FileErrorReason::ofErrno(int code) {
    const CatalogId id = idForErrno(code);
    return id == msg::FileReasonOther ? CatalogText(id, {qt_error_string(code)}) : CatalogText(id);
}

QString FileErrorReason::ofSystemText(const QString& systemText) {
    for (const int code : kKnown) {
        if (systemText == qt_error_string(code)) {
            return CatalogText(idForErrno(code));
        }
    }
    return CatalogText(msg::FileReasonOther, {systemText});
}

QString FileErrorReason::of(const QFileDevice& file) {
    return ofSystemText(file.errorString());
}
