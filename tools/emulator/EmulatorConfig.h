#pragma once

#include "registry/DiscoveryDatagram.h"

#include <QByteArray>
#include <QString>

// Misbehaviour an emulated projector can be told to show, for tests and demonstrations.
struct EmulatorFaults final {
    enum class Close { Never, BeforeGreeting, BeforeReply };

    int greetingDelayMs = 0; // before the challenge goes out
    int verdictDelayMs = 0;  // before any reply goes out
    int storeDelayMs = 0;    // PUT: time spent storing the file before the verdict
    Close closeEarly = Close::Never;
    bool neverGreet = false;      // authenticating, but no challenge ever comes
    bool neverReply = false;      // the command is read, the connection stays open, no reply
    bool neverRead = false;       // the connection is accepted and held; nothing is ever read
    int splitBytes = 0;           // > 0: the reply goes out in pieces of this many bytes
    int splitPauseMs = 30;        // pause between two pieces
    QByteArray extraBytes;        // sent directly behind the reply, in the same piece
    int garbageBytes = 0;         // > 0: this many bytes of garbage instead of the reply
    QByteArray replyOverride;     // sent instead of the reply the command earns
    QByteArray greetingOverride;  // sent instead of the eight-character challenge
    int holdAfterReplyMs = 0;     // the connection stays open this long after the reply
    bool dropUploads = false;     // PUT: the file is read and "PUT 0" answered, but nothing is kept
    QByteArray infoReplyOverride; // INFO: sent instead of what the store holds
    int infoDelayMs = 0;          // INFO: before its reply goes out, on top of verdictDelayMs
    int recordDelayMs = 0;        // the session's record is kept this long after its end

    // Discovery answers.
    bool answerTaggedWL = false; // "WL" behind the record in the same datagram
    int answerCopies = 1;        // the same answer this many times
    bool answerSplit = false;    // the record split over two datagrams
    QByteArray answerLeading;    // bytes before the start mark
};

struct EmulatorConfig final {
    quint32 address = 0x7F000002u; // 127.0.0.2
    quint16 port = 9716;
    bool authenticate = false;
    QByteArray password;
    QString storeDir; // empty: the stores live in memory
    QByteArray name = "Emulated Projector";
    DiscoveryDatagram::Mac mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

    bool discovery = false;
    quint32 discoveryInterface = 0x7F000001u; // the interface the group is joined on
    quint16 requestPort = DiscoveryDatagram::kRequestPort;
    quint16 answerPort = DiscoveryDatagram::kAnswerPort;

    int commandReadTimeoutMs = 5000; // a client that stops half way through its block
    qint64 maxFileSize = 16 << 20;
    EmulatorFaults faults;
};
