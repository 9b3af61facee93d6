#include "registry/ProjectorClash.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/MacText.h"

namespace {

// The MAC as a comparable key; empty when the text names no MAC at all.
QString macKey(const QString& mac) {
    const std::optional<QString> n = MacText::normalised(mac.trimmed());
    if (!n || n->isEmpty() || MacText::isZero(MacText::fromText(*n))) {
        return {};
    }
    return n->toUpper();
}

} // namespace

QString ProjectorClash::text() const {
    return CatalogText(field == Field::Address ? msg::DuplicateAddress : msg::DuplicateMac,
                       {otherName, value});
}

std::optional<ProjectorClash> duplicateOf(const ProjectorList& list, const ProjectorRecord& candidate,
                                          qsizetype skip) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i != skip && list[i].address == candidate.address) {
            return ProjectorClash{ProjectorClash::Field::Address, i, list[i].name,
                                  Ipv4::toText(candidate.address)};
        }
    }
    const QString mac = macKey(candidate.mac);
    if (mac.isEmpty()) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i != skip && macKey(list[i].mac) == mac) {
            return ProjectorClash{ProjectorClash::Field::Mac, i, list[i].name, mac};
        }
    }
    return std::nullopt;
}
