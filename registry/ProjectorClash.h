#pragma once

#include "registry/ProjectorRecord.h"

#include <QString>

#include <optional>

// Another record of the list that shares an address or a MAC address with a candidate, and
// the words that say so, the same in the projector form and in the CSV import.
struct ProjectorClash final {
    enum class Field { Address, Mac };

    Field field = Field::Address;
    qsizetype index = -1; // the other record's place in the list
    QString otherName;
    QString value; // the shared address as dotted decimal, or the shared MAC text

    [[nodiscard]] QString text() const;
};

// The first record of list, other than the one at skip, with the candidate's address; failing
// that, the first with its MAC address (an empty or all-zero MAC clashes with nothing; case and
// '-' or ':' joins do not matter).
std::optional<ProjectorClash> duplicateOf(const ProjectorList& list, const ProjectorRecord& candidate,
                                          qsizetype skip = -1);
