#pragma once

#include "protocol/ImageInfoQuery.h"

#include <QByteArray>

// Whether what INFO reported for a store is the file an upload sent there: a file of the
// same name and the same length. An empty store or a failed INFO is never a match.
bool StoreHoldsFile(const StoreInfo& info, const QByteArray& fileName, qint64 length);
