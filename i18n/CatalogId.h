#pragma once

#include <QtGlobal>

// A catalog text is named by a group and a number within it.
struct CatalogId final {
    quint32 group = 0;
    quint32 number = 0;

    friend constexpr bool operator==(CatalogId, CatalogId) = default;
};
