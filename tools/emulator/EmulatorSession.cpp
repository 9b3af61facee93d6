#include "EmulatorSession.h"

#include <QCryptographicHash>
#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 20;
constexpr qsizetype kMaxHeader = 1024;

QByteArray wordOf(const QByteArray& command) {
    const qsizetype space = command.indexOf(' ');
    return space < 0 ? command : command.left(space);
}

// The projector's own check of the prefix, written apart from the client's code on purpose.
QByteArray expectedPrefix(const QByteArray& challenge, const QByteArray& password) {
    QByteArray input = challenge + password;
    const qsizetype zero = input.indexOf('\0');
    if (zero >= 0) {
        input.truncate(zero);
    }
    return QCryptographicHash::hash(input, QCryptographicHash::Md5).toHex().toUpper();
}

bool parseStore(const QByteArray& text, int& store) {
    bool ok = false;
    store = text.toInt(&ok);
    return ok && EmulatorStores::valid(store);
}

} // namespace

EmulatorSession::EmulatorSession(int fd, const EmulatorConfig& config, EmulatorStores& stores,
                                 const std::atomic<bool>& stopping)
    : m_fd(fd), m_config(config), m_stores(stores), m_stopping(stopping) {}

EmulatorSession::~EmulatorSession() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool EmulatorSession::pause(int ms) const {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (m_stopping.load()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin<qint64>(
            kSliceMs,
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count() + 1)));
    }
    return !m_stopping.load();
}

bool EmulatorSession::readMore(QByteArray& buffer, qint64 atLeast) {
    const auto end = Clock::now() + std::chrono::milliseconds(m_config.commandReadTimeoutMs);
    while (buffer.size() < atLeast) {
        if (m_stopping.load() || Clock::now() >= end) {
            return false;
        }
        pollfd p{m_fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, kSliceMs);
        if (rc < 0 && errno != EINTR) {
            return false;
        }
        if (rc <= 0) {
            continue;
        }
        char chunk[65536];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return false;
        }
        buffer.append(chunk, n);
    }
    return true;
}

bool EmulatorSession::sendAll(QByteArrayView data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(m_fd, data.data() + done, static_cast<size_t>(data.size() - done), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

void EmulatorSession::sendReply(const QByteArray& reply) {
    const EmulatorFaults& f = m_config.faults;
    QByteArray out = reply;
    if (!f.replyOverride.isEmpty()) {
        out = f.replyOverride;
    }
    if (f.garbageBytes > 0) {
        out.resize(f.garbageBytes);
        QRandomGenerator* rng = QRandomGenerator::global();
        for (char& c : out) {
            c = static_cast<char>(rng->bounded(256));
        }
    }
    out += f.extraBytes;
    if (f.splitBytes <= 0) {
        sendAll(out);
        return;
    }
    // Each piece its own segment: no coalescing, and a pause the peer's reads fall into.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (qsizetype at = 0; at < out.size(); at += f.splitBytes) {
        if (at > 0 && !pause(f.splitPauseMs)) {
            return;
        }
        if (!sendAll(QByteArrayView(out).sliced(at, qMin<qsizetype>(f.splitBytes, out.size() - at)))) {
            return;
        }
    }
}

void EmulatorSession::holdOpen(int ms) const {
    // Reads and drops whatever comes until the peer closes, the time is up or we stop.
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopping.load() && (ms < 0 || Clock::now() < end)) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) > 0) {
            char sink[4096];
            if (::recv(m_fd, sink, sizeof sink, 0) <= 0) {
                return;
            }
        }
    }
}

void EmulatorSession::closeGracefully() {
    // Our side ends first; what the peer still sends is read away so that the close does
    // not turn into a reset that could overtake the reply.
    ::shutdown(m_fd, SHUT_WR);
    holdOpen(200);
}

QByteArray EmulatorSession::replyTo(const QByteArray& command, EmulatorStores& stores) {
    const QByteArray word = wordOf(command);
    const QByteArray arg = command.mid(word.size() + 1);
    int store = 0;
    if (word == "INFO") {
        if (!parseStore(arg, store) || store > 4 || command.size() != word.size() + 1 + arg.size()) {
            return "INFO 1\r\n";
        }
        const auto img = stores.image(store);
        if (!img) {
            return "INFO 0\r\nFile-Name:EMPTY\r\nFile-Length:0\r\n";
        }
        return "INFO 0\r\nFile-Name:" + img->name +
               "\r\nFile-Length:" + QByteArray::number(img->data.size()) + "\r\n";
    }
    if (word == "STAT") {
        if (!parseStore(arg, store)) {
            return "STAT 1\r\n";
        }
        return "STAT 0\r\nSave-ID:" + QByteArray::number(store) +
               "\r\nStatus:" + QByteArray::number(stores.state(store)) + "\r\n";
    }
    if (word == "CANCEL") {
        if (!parseStore(arg, store)) {
            return "CANCEL 1\r\n";
        }
        return stores.cancel(store) ? "CANCEL 0\r\n" : "CANCEL 2\r\n";
    }
    return "ERROR 1\r\n";
}

QByteArray EmulatorSession::handlePut(const QByteArray& commandLine, QByteArray& block, qsizetype bodyStart) {
    // The header: "PUT name", "File-Length:n", "Save-ID:s", then an empty line.
    const qsizetype headerEnd = block.indexOf("\r\n\r\n", bodyStart);
    const QByteArray header = block.mid(bodyStart, headerEnd - bodyStart);
    const QList<QByteArray> lines = header.split('\n');
    QByteArray lengthText;
    QByteArray saveText;
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.startsWith("File-Length:")) {
            lengthText = line.mid(12);
        } else if (line.startsWith("Save-ID:")) {
            saveText = line.mid(8);
        }
    }
    const QByteArray name = commandLine.mid(4);
    bool lengthOk = false;
    const qint64 length = lengthText.toLongLong(&lengthOk);
    int store = 0;
    if (name.isEmpty() || !lengthOk || length <= 0 || length > m_config.maxFileSize ||
        !parseStore(saveText, store)) {
        return "PUT 1\r\n";
    }
    if (!m_stores.begin(store)) {
        return "PUT 3\r\n";
    }
    const qsizetype fileStart = headerEnd + 4;
    if (!readMore(block, fileStart + length)) {
        m_stores.fail(store);
        return {};
    }
    if (m_config.faults.dropUploads) {
        // Claims success; the store keeps what it held.
        m_stores.setState(store, EmulatorStores::Completed);
        return "PUT 0\r\n";
    }
    m_stores.setState(store, EmulatorStores::Writing);
    const int storeDelay = m_config.faults.storeDelayMs;
    const auto end = Clock::now() + std::chrono::milliseconds(storeDelay);
    while (Clock::now() < end && !m_stores.cancelRequested(store)) {
        if (!pause(kSliceMs)) {
            m_stores.fail(store);
            return {};
        }
    }
    const bool cancelled = m_stores.finish(store, name, block.mid(fileStart, length));
    return cancelled ? "PUT 2\r\n" : "PUT 0\r\n";
}

EmulatorRequest EmulatorSession::serve() {
    const EmulatorFaults& f = m_config.faults;
    if (f.closeEarly == EmulatorFaults::Close::BeforeGreeting) {
        return m_request;
    }
    if (f.neverRead) {
        // The peer's sends fill the buffers and then block, as with a projector that hangs.
        while (pause(kSliceMs)) {
        }
        return m_request;
    }
    QByteArray challenge;
    if (m_config.authenticate) {
        if (f.neverGreet) {
            holdOpen(-1);
            return m_request;
        }
        if (!pause(f.greetingDelayMs)) {
            return m_request;
        }
        QRandomGenerator* rng = QRandomGenerator::global();
        for (int i = 0; i < 8; ++i) {
            challenge.append(static_cast<char>(rng->bounded('!', '~' + 1)));
        }
        if (!sendAll(f.greetingOverride.isEmpty() ? challenge : f.greetingOverride)) {
            return m_request;
        }
        if (!f.greetingOverride.isEmpty()) {
            challenge = f.greetingOverride.left(8);
        }
    }
    // The block: the prefix when authenticating, then a command line.
    QByteArray& block = m_request.block;
    const qsizetype prefixSize = m_config.authenticate ? 32 : 0;
    qsizetype lineEnd = -1;
    while ((lineEnd = block.indexOf('\n', prefixSize)) < 0) {
        if (block.size() > kMaxHeader || !readMore(block, block.size() + 1)) {
            break;
        }
    }
    QByteArray reply;
    if (lineEnd < 0) {
        if (block.size() <= kMaxHeader) {
            return m_request; // the client gave up half way: nothing to answer
        }
        reply = "ERROR 1\r\n";
    } else {
        QByteArray command = block.mid(prefixSize, lineEnd - prefixSize);
        if (command.endsWith('\r')) {
            command.chop(1);
        }
        m_request.command = command;
        if (m_config.authenticate) {
            m_request.prefixOk = block.left(32) == expectedPrefix(challenge, m_config.password);
        }
        const QByteArray word = wordOf(command);
        if (!m_request.prefixOk) {
            reply = (word == "PUT" || word == "INFO" || word == "STAT" || word == "CANCEL" ? word : "ERROR") +
                    QByteArray(" 9\r\n");
        } else if (word == "PUT") {
            while (block.indexOf("\r\n\r\n", prefixSize) < 0) {
                if (block.size() > kMaxHeader + prefixSize || !readMore(block, block.size() + 1)) {
                    return m_request;
                }
            }
            reply = handlePut(command, block, prefixSize);
            if (reply.isEmpty()) {
                return m_request;
            }
        } else {
            reply = replyTo(command, m_stores);
        }
    }
    m_request.reply = reply;
    const bool info = wordOf(m_request.command) == "INFO";
    if (info && !f.infoReplyOverride.isEmpty()) {
        reply = f.infoReplyOverride;
    }
    if (info && !pause(f.infoDelayMs)) {
        return m_request;
    }
    if (f.neverReply) {
        holdOpen(-1);
        return m_request;
    }
    if (!pause(f.verdictDelayMs) || f.closeEarly == EmulatorFaults::Close::BeforeReply) {
        return m_request;
    }
    sendReply(reply);
    if (f.holdAfterReplyMs > 0) {
        holdOpen(f.holdAfterReplyMs);
    }
    closeGracefully();
    return m_request;
}
