#include "alerts/Alert.h"

QString Alert::kindName(Kind kind) {
    switch (kind) {
    case Kind::Offline:
        return QStringLiteral("offline");
    case Kind::UploadFailed:
        return QStringLiteral("upload-failed");
    case Kind::StoreChanged:
        return QStringLiteral("store-changed");
    }
    return {};
}
