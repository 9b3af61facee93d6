#include "protocol/StoreCheck.h"

bool StoreHoldsFile(const StoreInfo& info, const QByteArray& fileName, qint64 length) {
    return info.result == 2 && info.name.toUtf8() == fileName && info.lengthText == QString::number(length);
}
