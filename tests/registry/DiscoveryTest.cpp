#include "i18n/CatalogIds.h"
#include "registry/AnswerCollector.h"
#include "registry/AnswerScanner.h"
#include "registry/DiscoveredDeviceTable.h"
#include "registry/DiscoveryAnswers.h"
#include "registry/DiscoveryDatagram.h"
#include "registry/DiscoverySearch.h"
#include "registry/LocalAddresses.h"
#include "support/Emulators.h"
#include "support/HostileStrings.h"

#include <QNetworkInterface>
#include <QSet>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using DiscoveryDatagram::Mac;

QByteArray record(const QByteArray& name, Mac mac = {1, 2, 3, 4, 5, 6}, quint32 address = 0xC0A8000Au) {
    return DiscoveryDatagram::answer(address, mac, name);
}

QList<QByteArray> scan(const QList<QByteArray>& datagrams) {
    AnswerScanner scanner;
    QList<QByteArray> records;
    for (const QByteArray& d : datagrams) {
        scanner.feed(d, [&](QByteArrayView r) { records << r.toByteArray(); });
    }
    return records;
}

} // namespace

TEST(DiscoveryDatagrams, RequestAndAnswerLayout) {
    const QByteArray req = DiscoveryDatagram::request(0xC0A80105u);
    EXPECT_EQ(req, QByteArray("\x01\x00"
                              "DeviceSearch\xC0\xA8\x01\x05",
                              18));
    EXPECT_EQ(DiscoveryDatagram::parseRequest(req), 0xC0A80105u);
    EXPECT_FALSE(DiscoveryDatagram::parseRequest(req.left(17)));
    EXPECT_FALSE(DiscoveryDatagram::parseRequest(QByteArray(req).replace(2, 1, "X")));

    const QByteArray a = record("Hall", {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03}, 0x0A000102u);
    ASSERT_EQ(a.size(), 88);
    EXPECT_EQ(a.mid(2, 12), "DeviceAnswer");
    EXPECT_EQ(a.mid(14, 4), QByteArray("\x0A\x00\x01\x02", 4));
    EXPECT_EQ(a.mid(18, 6), QByteArray("\xAA\xBB\xCC\x01\x02\x03", 6));
    EXPECT_EQ(a.mid(24, 5), QByteArray("Hall\0", 5));
    EXPECT_EQ(DiscoveryDatagram::kGroup, 0xE0000580u);
}

TEST(AnswerScannerTest, StartMarksSplitsAndSeveralRecords) {
    const QByteArray a = record("A");
    const QByteArray b = record("B");
    // Leading bytes before the start mark are skipped.
    EXPECT_EQ(scan({"\x7f\x00zz" + a}), QList<QByteArray>{a});
    // One datagram holding two records.
    EXPECT_EQ(scan({a + b}), (QList<QByteArray>{a, b}));
    // One record split over three datagrams.
    EXPECT_EQ(scan({a.left(10), a.mid(10, 50), a.mid(60)}), QList<QByteArray>{a});
    // Nothing without a start mark; an incomplete record stays pending.
    AnswerScanner s;
    int seen = 0;
    s.feed("no mark here", [&](QByteArrayView) { ++seen; });
    EXPECT_EQ(s.pending(), 0);
    s.feed(a.left(40), [&](QByteArrayView) { ++seen; });
    EXPECT_EQ(s.pending(), 40);
    EXPECT_EQ(seen, 0);
}

TEST(AnswerScannerTest, WlTagDropsTheRecordWithinItsDatagram) {
    const QByteArray a = record("A");
    const QByteArray b = record("B");
    EXPECT_TRUE(scan({a + "WL"}).isEmpty());
    // The tag and its record go, the next record in the datagram still counts.
    EXPECT_EQ(scan({a + "WL" + b}), QList<QByteArray>{b});
    // Only "W" behind the record, or another pair: not a tag.
    EXPECT_EQ(scan({a + "W"}), QList<QByteArray>{a});
    EXPECT_EQ(scan({a + "WX"}), QList<QByteArray>{a});
    // A record completed in a datagram shorter than a record carries no tag.
    EXPECT_EQ(scan({a.left(80), a.mid(80) + "WL"}), QList<QByteArray>{a});
    // The tag must stand in the same datagram.
    EXPECT_EQ(scan({a, "WL"}), QList<QByteArray>{a});
}

TEST(AnswerCollectorTest, InterleavedSendersKeepTheirOwnRecords) {
    const QByteArray a = record("A", {0, 1, 2, 3, 4, 5});
    const QByteArray b = "\x7f\x7f" + record("B", {0, 1, 2, 3, 4, 6});
    const quint64 fromA = AnswerCollector::senderKey(0x7F000002u, 2363);
    const quint64 fromB = AnswerCollector::senderKey(0x7F000003u, 2363);
    AnswerCollector c;
    QList<QByteArray> records;
    const auto sink = [&](QByteArrayView r) { records << r.toByteArray(); };
    // B's first half, all of A, then B's second half: the order two projectors answering at
    // once can produce. One scanner for everybody spliced B's half onto A and lost A.
    c.feed(fromB, b.left(45), sink);
    c.feed(fromA, a, sink);
    c.feed(fromB, b.mid(45), sink);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0], a);
    EXPECT_EQ(records[1], b.mid(2));
    EXPECT_EQ(c.senders(), 2);

    // One sender's record still continues across its own datagrams.
    records.clear();
    c.feed(fromA, a.left(10), sink);
    c.feed(fromA, a.mid(10), sink);
    EXPECT_EQ(records, QList<QByteArray>{a});
}

TEST(AnswerCollectorTest, ManySendersStayBounded) {
    AnswerCollector c;
    const QByteArray a = record("A");
    int seen = 0;
    for (quint32 i = 0; i < 3 * AnswerCollector::kMaxSenders; ++i) {
        // Every sender leaves half a record behind.
        c.feed(AnswerCollector::senderKey(0x0A000000u + i, 4001), a.left(30),
               [&](QByteArrayView) { ++seen; });
        ASSERT_LE(c.senders(), AnswerCollector::kMaxSenders);
    }
    EXPECT_EQ(seen, 0);
    // A sender still being collected when the table was full finishes its record.
    const quint64 last = AnswerCollector::senderKey(0x0A000000u + 3 * AnswerCollector::kMaxSenders - 1, 4001);
    c.feed(last, a.mid(30), [&](QByteArrayView) { ++seen; });
    EXPECT_EQ(seen, 1);
}

TEST(DeviceTable, DuplicateRuleNamesAndCap) {
    DiscoveredDeviceTable t;
    EXPECT_TRUE(t.add(record("Hall", {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, 0x0A000001u)));
    ASSERT_EQ(t.count(), 1);
    EXPECT_EQ(t.devices()[0].mac, u"00-1A-2B-3C-4D-5E");
    EXPECT_EQ(t.devices()[0].name(), u"Hall");
    EXPECT_EQ(t.devices()[0].address, (Ipv4::Octets{10, 0, 0, 1}));
    // Same name and MAC text, even from another address: one row.
    EXPECT_FALSE(t.add(record("Hall", {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, 0x0A000009u)));
    // Same name, other MAC; same MAC, other name: rows of their own.
    EXPECT_TRUE(t.add(record("Hall", {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5f})));
    EXPECT_TRUE(t.add(record("hall", {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e})));
    EXPECT_EQ(t.count(), 3);
    // Not an answer.
    QByteArray wrong = record("X");
    wrong[2] = 'd';
    EXPECT_FALSE(t.add(wrong));
    EXPECT_FALSE(t.add(record("X").left(87)));
    // A name filling all 64 bytes is those 64 characters.
    const QByteArray full(64, 'N');
    EXPECT_TRUE(t.add(record(full)));
    EXPECT_EQ(t.devices().last().nameBytes, full);

    DiscoveredDeviceTable big;
    for (int i = 0; i < 300; ++i) {
        big.add(record("P" + QByteArray::number(i)));
    }
    EXPECT_EQ(big.count(), DiscoveredDeviceTable::kMaxDevices);
    EXPECT_EQ(big.devices().last().name(), u"P255");
}

TEST(DiscoveryAnswersTest, AFloodOfAHundredThousandDatagramsFromFiveThousandSendersStaysBounded) {
    DiscoveredDeviceTable found;
    DiscoveryAnswers answers(found);
    int rows = 0;
    const auto onRow = [&rows](const QByteArray&) { ++rows; };
    constexpr quint32 kSenders = 5000;
    auto sender = [](quint32 i) { return AnswerCollector::senderKey(0x0A000000u + i % kSenders, 4001); };
    // Half records, start marks in noise and names that hide text, from every sender in turn.
    QByteArray noise(4096, '\x01');
    for (int k = 0; k < noise.size(); k += 3) {
        noise[k] = static_cast<char>(k);
    }
    const std::vector<HostileString>& hostile = HostileStrings();
    for (quint32 i = 0; i < 50000; ++i) {
        const HostileString& h = hostile[i % hostile.size()];
        const QByteArray half = record(h.text.toUtf8(), {0, 0, 0, 0, 0, 1}, 0x0A000000u + i).left(40);
        answers.feed(sender(i), i % 3 == 0 ? QByteArrayView(noise) : QByteArrayView(half), onRow);
        ASSERT_LE(answers.senders(), AnswerCollector::kMaxSenders) << i;
    }
    EXPECT_LE(rows, found.count());
    // Then whole answers, each a projector of its own.
    for (quint32 i = 0; i < 50000; ++i) {
        const Mac mac{
            0, 0x11, static_cast<quint8>(i >> 16), static_cast<quint8>(i >> 8), static_cast<quint8>(i), 2};
        answers.feed(sender(i), record("P" + QByteArray::number(i), mac, 0x0A000000u + i), onRow);
        ASSERT_LE(answers.senders(), AnswerCollector::kMaxSenders) << i;
        ASSERT_LE(found.count(), DiscoveredDeviceTable::kMaxDevices) << i;
    }
    EXPECT_TRUE(answers.full());
    EXPECT_EQ(found.count(), DiscoveredDeviceTable::kMaxDevices);
    EXPECT_EQ(rows, DiscoveredDeviceTable::kMaxDevices) << "each row is reported once";
    // A full table takes nothing more, not even a new projector in a clean datagram.
    answers.feed(AnswerCollector::senderKey(0x0B000001u, 4001), record("Late", {9, 9, 9, 9, 9, 9}), onRow);
    EXPECT_EQ(rows, DiscoveredDeviceTable::kMaxDevices);
}

TEST(DiscoveryAnswersTest, ADatagramCountsUpToItsFirstKilobyte) {
    QByteArray twelve;
    for (int i = 0; i < 12; ++i) {
        twelve += record("R" + QByteArray::number(i), {0, 0, 0, 0, 0, static_cast<quint8>(i)});
    }
    ASSERT_GT(twelve.size(), DiscoveryAnswers::kMaxDatagram);
    DiscoveredDeviceTable found;
    DiscoveryAnswers answers(found);
    QList<QByteArray> rows;
    answers.feed(1, twelve, [&rows](const QByteArray& r) { rows << r; });
    EXPECT_EQ(rows.size(), DiscoveryAnswers::kMaxDatagram / DiscoveryDatagram::kAnswerSize);
    EXPECT_EQ(found.count(), rows.size());
    EXPECT_EQ(found.devices().last().name(), u"R10");
}

TEST(LocalAddressList, LoopbackCapAndFallback) {
    using namespace LocalAddresses;
    const quint32 lo = 0x7F000001u;
    const quint32 a = 0x0A000001u;
    EXPECT_EQ(choose({lo, a, a, 0}, false), QList<quint32>{a});
    EXPECT_EQ(choose({lo, a}, true), (QList<quint32>{lo, a}));
    EXPECT_EQ(choose({lo}, false), QList<quint32>{kFallback});
    EXPECT_EQ(choose({}, false), QList<quint32>{kFallback});
    QList<quint32> many;
    for (quint32 i = 1; i <= 40; ++i) {
        many << (0x0A000000u | i);
    }
    const QList<quint32> capped = choose(many, false);
    ASSERT_EQ(capped.size(), kMaxAddresses);
    EXPECT_EQ(capped.first(), many.first());
    EXPECT_EQ(capped.last(), many[31]);
}

TEST(DiscoveryTexts, StatusesHaveTheirTexts) {
    EXPECT_EQ(DiscoverySearch::textFor(DiscoverySearch::Status::JoinFailed), msg::DiscoveryJoinFailed);
    EXPECT_EQ(DiscoverySearch::textFor(DiscoverySearch::Status::TtlFailed), msg::DiscoveryTtlFailed);
    EXPECT_EQ(DiscoverySearch::textFor(DiscoverySearch::Status::SendFailed), msg::DiscoverySendFailed);
    EXPECT_EQ(DiscoverySearch::textFor(DiscoverySearch::Status::BindFailed), msg::DiscoveryBindFailed);
    EXPECT_EQ(DiscoverySearch::textFor(DiscoverySearch::Status::SocketFailed), msg::DiscoverySocketFailed);
    DiscoverySearch unopened;
    DiscoveredDeviceTable t;
    EXPECT_EQ(unopened.search(0x7F000001u, t), DiscoverySearch::Status::NotOpen);
    const DiscoverySearch::Options o;
    EXPECT_EQ(o.waitMs, 1000);
    EXPECT_EQ(o.timeouts, 5);
    EXPECT_EQ(o.ttl, 10);
    EXPECT_EQ(o.requestPort, 2363);
    EXPECT_EQ(o.answerPort, 4001);
}

// Multicast only inside the private network namespace that tests/scripts/discovery_netns.sh
// makes; anywhere else these cases skip, so no datagram reaches a real network.
namespace {

bool insidePrivateNamespace() {
    if (qgetenv("TESSAVEL_NETNS") != "1") {
        return false;
    }
    const auto interfaces = QNetworkInterface::allInterfaces();
    return interfaces.size() == 1 && interfaces.first().name() == u"lo";
}

class DiscoveryNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!insidePrivateNamespace()) {
            GTEST_SKIP() << "only inside the test's own network namespace";
        }
        // The described one-second waits: an emulator slowed by a loaded machine still answers
        // inside them.
        m_options.waitMs = 1000;
    }
    ProjectorEmulator* projector(const QByteArray& name, Mac mac, EmulatorFaults faults = {}) {
        EmulatorConfig c;
        c.discovery = true;
        c.discoveryInterface = 0x7F000001u;
        c.name = name;
        c.mac = mac;
        c.faults = faults;
        return m_emus.add(c);
    }
    QList<DiscoveredDevice> search() {
        DiscoverySearch s(m_options);
        EXPECT_EQ(s.open(), DiscoverySearch::Status::Ok);
        DiscoveredDeviceTable found;
        EXPECT_EQ(s.search(0x7F000001u, found), DiscoverySearch::Status::Ok);
        return found.devices();
    }

    Emulators m_emus;
    DiscoverySearch::Options m_options;
};

} // namespace

TEST_F(DiscoveryNetns, FindsEveryProjectorOnce) {
    ProjectorEmulator* a = projector("Hall", {0, 1, 2, 3, 4, 5});
    EmulatorFaults twice;
    twice.answerCopies = 2;
    twice.answerSplit = true;
    twice.answerLeading = "\x7f\x7f";
    ProjectorEmulator* b = projector("Hall", {0, 1, 2, 3, 4, 6}, twice);
    ASSERT_TRUE(a && b);
    const QList<DiscoveredDevice> found = search();
    ASSERT_EQ(found.size(), 2);
    QList<QString> macs{found[0].mac, found[1].mac};
    EXPECT_TRUE(macs.contains(u"00-01-02-03-04-05"_qs));
    EXPECT_TRUE(macs.contains(u"00-01-02-03-04-06"_qs));
    for (const DiscoveredDevice& d : found) {
        EXPECT_EQ(d.name(), u"Hall");
        const quint32 expected = d.mac.endsWith(u"05") ? a->address() : b->address();
        EXPECT_EQ(Ipv4::toHost(d.address), expected);
    }
    EXPECT_EQ(a->searchesAnswered(), 1);
}

// Answers are told apart by their sender, so each emulator must answer from its own address
// as a projector does, not from the one address the route picks for all of them.
TEST_F(DiscoveryNetns, EachEmulatorAnswersFromItsOwnAddress) {
    ProjectorEmulator* a = projector("Left", {0, 1, 2, 3, 4, 5});
    ProjectorEmulator* b = projector("Right", {0, 1, 2, 3, 4, 6});
    ASSERT_TRUE(a && b);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(DiscoveryDatagram::kAnswerPort);
    at.sin_addr.s_addr = htonl(0x7F000001u);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    in_addr via{};
    via.s_addr = htonl(0x7F000001u);
    ASSERT_EQ(::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &via, sizeof via), 0);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(DiscoveryDatagram::kRequestPort);
    group.sin_addr.s_addr = htonl(DiscoveryDatagram::kGroup);
    const QByteArray request = DiscoveryDatagram::request(0x7F000001u);
    ASSERT_GT(::sendto(fd, request.constData(), static_cast<size_t>(request.size()), 0,
                       reinterpret_cast<sockaddr*>(&group), sizeof group),
              0);
    QSet<quint32> senders;
    for (int i = 0; i < 2; ++i) {
        pollfd p{fd, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 20000), 1);
        char datagram[256];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ASSERT_GT(
            ::recvfrom(fd, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 0);
        senders.insert(ntohl(from.sin_addr.s_addr));
    }
    ::close(fd);
    EXPECT_EQ(senders, (QSet<quint32>{a->address(), b->address()}));
}

TEST_F(DiscoveryNetns, AnAnswerArrivingBetweenTheHalvesOfAnotherIsKept) {
    // A responder of our own answers in a fixed order from two sockets: the first half of one
    // record, a whole record from the other sender, then the second half.
    const int listen = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    ::setsockopt(listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(DiscoveryDatagram::kRequestPort);
    ASSERT_EQ(::bind(listen, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ip_mreq join{};
    join.imr_multiaddr.s_addr = htonl(DiscoveryDatagram::kGroup);
    join.imr_interface.s_addr = htonl(0x7F000001u);
    ASSERT_EQ(::setsockopt(listen, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);
    const int senderA = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int senderB = ::socket(AF_INET, SOCK_DGRAM, 0);
    const QByteArray a = record("Left", {0, 1, 2, 3, 4, 5}, 0x7F000002u);
    const QByteArray b = "\x7f\x7f" + record("Right", {0, 1, 2, 3, 4, 6}, 0x7F000003u);
    std::thread responder([&] {
        char request[64];
        if (::recv(listen, request, sizeof request, 0) <= 0) {
            return;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(DiscoveryDatagram::kAnswerPort);
        to.sin_addr.s_addr = htonl(0x7F000001u);
        const auto send = [&](int fd, const QByteArray& d) {
            ::sendto(fd, d.constData(), static_cast<size_t>(d.size()), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
        };
        send(senderB, b.left(45));
        send(senderA, a);
        send(senderB, b.mid(45));
    });
    const QList<DiscoveredDevice> found = search();
    responder.join();
    ::close(listen);
    ::close(senderA);
    ::close(senderB);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].name(), u"Left");
    EXPECT_EQ(found[0].mac, u"00-01-02-03-04-05");
    EXPECT_EQ(found[1].name(), u"Right");
    EXPECT_EQ(Ipv4::toHost(found[1].address), 0x7F000003u);
}

TEST_F(DiscoveryNetns, RowsAreReportedAsTheirAnswersArrive) {
    ProjectorEmulator* a = projector("Early", {0, 1, 2, 3, 4, 7});
    ASSERT_NE(a, nullptr);
    DiscoverySearch s(m_options);
    ASSERT_EQ(s.open(), DiscoverySearch::Status::Ok);
    DiscoveredDeviceTable seen;
    int answersWhenFirstQuiet = -1;
    QList<int> quiet;
    s.setFoundCallback([&](const QByteArray& record) { seen.add(record); });
    s.setWaitCallback([&](int waits) {
        if (quiet.isEmpty()) {
            answersWhenFirstQuiet = seen.count();
        }
        quiet << waits;
    });
    DiscoveredDeviceTable found;
    EXPECT_EQ(s.search(0x7F000001u, found), DiscoverySearch::Status::Ok);
    ASSERT_EQ(seen.count(), 1);
    EXPECT_EQ(seen.devices()[0].mac, u"00-01-02-03-04-07");
    EXPECT_EQ(found.count(), 1);
    EXPECT_EQ(answersWhenFirstQuiet, 1) << "the row came before the search ended";
    EXPECT_EQ(quiet, (QList<int>{1, 2, 3, 4, 5}));
}

TEST_F(DiscoveryNetns, WlTaggedAnswersAndSilenceGiveNoRows) {
    EmulatorFaults wl;
    wl.answerTaggedWL = true;
    ProjectorEmulator* tagged = projector("Tagged", {9, 9, 9, 9, 9, 9}, wl);
    ASSERT_NE(tagged, nullptr);
    EXPECT_TRUE(search().isEmpty());
    EXPECT_EQ(tagged->searchesAnswered(), 1); // it did answer
    m_emus.stopAll();
    // Nobody at all: five empty waits and an empty list.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(search().isEmpty());
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(5 * m_options.waitMs - 20));
}

TEST_F(DiscoveryNetns, AnswersThatNeverStopStillEndTheSearch) {
    // Datagrams arriving faster than a wait keep the count of empty waits at zero.
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(DiscoveryDatagram::kAnswerPort);
        to.sin_addr.s_addr = htonl(0x7F000001u);
        const QByteArray junk = record("Flood");
        while (flooding.load()) {
            ::sendto(fd, junk.constData(), static_cast<size_t>(junk.size()), 0,
                     reinterpret_cast<sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::close(fd);
    });
    m_options.maxDurationMs = 600;
    const auto begin = std::chrono::steady_clock::now();
    const QList<DiscoveredDevice> found = search();
    const auto took = std::chrono::steady_clock::now() - begin;
    flooding.store(false);
    flood.join();
    EXPECT_EQ(found.size(), 1); // the same answer again and again is one row
    EXPECT_GE(took, std::chrono::milliseconds(550));
    EXPECT_LT(took, std::chrono::milliseconds(30000));
}

TEST_F(DiscoveryNetns, SocketBindingFailuresAreReported) {
    // Someone else holds the answer port.
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(DiscoveryDatagram::kAnswerPort);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    DiscoverySearch s(m_options);
    EXPECT_EQ(s.open(), DiscoverySearch::Status::BindFailed);
    EXPECT_FALSE(s.isOpen());
    EXPECT_EQ(s.insertsFor(DiscoverySearch::Status::BindFailed), QStringList{u"4001"_qs});
    ::close(holder);
    EXPECT_EQ(s.open(), DiscoverySearch::Status::Ok);
    // A second search at the same time cannot have the port either.
    DiscoverySearch second(m_options);
    EXPECT_EQ(second.open(), DiscoverySearch::Status::BindFailed);
}

TEST_F(DiscoveryNetns, LocalAddressesOfTheNamespace) {
    EXPECT_EQ(LocalAddresses::ofThisHost(true), QList<quint32>{0x7F000001u});
    EXPECT_EQ(LocalAddresses::ofThisHost(false), QList<quint32>{LocalAddresses::kFallback});
}
