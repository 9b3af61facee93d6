#pragma once

#include "common/TextRules.h"
#include "registry/Ipv4.h"

#include <QList>
#include <QString>

// One projector of the list.
struct ProjectorRecord final {
    static constexpr int kMaxName = 64;
    static constexpr int kMaxMac = 31;
    static constexpr int kMaxPassword = 255;

    QString name;
    QString mac; // "00-1a-2b-3c-4d-5e", either case, or empty
    Ipv4::Octets address{};
    QString authMark; // "1" demands authentication; "0" or empty does not
    QString password;

    [[nodiscard]] quint32 hostAddress() const { return Ipv4::toHost(address); }
    [[nodiscard]] int authenticate() const { return TextRules::toInt(authMark) != 0 ? 1 : 0; }

    friend bool operator==(const ProjectorRecord&, const ProjectorRecord&) = default;
};

using ProjectorList = QList<ProjectorRecord>;

inline constexpr int kMaxProjectors = 256;
