// Parses arbitrary bytes as a catalog and looks texts up with arbitrary inserts.
#include "i18n/Catalog.h"
#include "i18n/CatalogLookup.h"
#include "i18n/MessageFormat.h"
#include "i18n/Placeholder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Catalog catalog = Catalog::fromData(bytes);
    const QString asText = QString::fromUtf8(bytes);
    const QStringList inserts = {asText.left(8), QStringLiteral("%1%2"), QString()};
    CatalogEnvironment env;
    for (quint32 lang : {Catalog::kEnglish, Catalog::kSimplifiedChinese}) {
        env.systemLanguage = lang;
        for (quint32 n = 0; n < 64; ++n) {
            const QString t = LookUpText(&catalog, env, 9, n, inserts, 64);
            if (t.size() > 63) {
                __builtin_trap();
            }
        }
    }
    (void)MessageFormat::format(asText, inserts);
    (void)Placeholder::number(asText);
    return 0;
}
