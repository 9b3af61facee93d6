#include "EmulatorOptions.h"

#include "registry/Ipv4.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

bool toInt(const QString& s, int& out) {
    bool ok = false;
    out = s.toInt(&ok);
    return ok && out >= 0;
}

bool parseMac(const QString& s, DiscoveryDatagram::Mac& mac) {
    const QStringList parts = s.split(QRegularExpression(QStringLiteral("[-:]")));
    if (parts.size() != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const uint v = parts[i].toUInt(&ok, 16);
        if (!ok || v > 0xFF) {
            return false;
        }
        mac[i] = static_cast<quint8>(v);
    }
    return true;
}

} // namespace

QByteArray EmulatorOptions::unescape(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 >= in.size()) {
            out.append(in[i]);
            continue;
        }
        const char c = in[++i];
        if (c == 'r') {
            out.append('\r');
        } else if (c == 'n') {
            out.append('\n');
        } else if (c == '0') {
            out.append('\0');
        } else if (c == 'x' && i + 2 < in.size()) {
            out.append(static_cast<char>(in.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

QString EmulatorOptions::usage() {
    return QStringLiteral(
        "Usage: tessavel-emulator [options]\n"
        "  --address A        listen on A, port 9716 (default 127.0.0.2)\n"
        "  --count N          N projectors on A and the addresses after it\n"
        "  --port P           another command port (tests of other tools)\n"
        "  --password-file F  demand authentication with the password on the first line of F\n"
        "  --password -       the same, the password read from standard input\n"
        "  --password P       the same with P itself (every user can read it in the process list)\n"
        "  --store-dir DIR    keep the stores in DIR/<address>/ instead of memory\n"
        "  --name NAME, --mac 00-1A-2B-3C-4D-5E   what discovery answers\n"
        "  --discovery IFADDR answer searches on the interface with address IFADDR\n"
        "Faults:\n"
        "  --greeting-delay MS  --verdict-delay MS  --store-delay MS\n"
        "  --close-early greeting|reply  --never-greet  --never-reply  --never-read\n"
        "  --split BYTES [--split-pause MS]  --extra TEXT  --garbage BYTES  --reply TEXT\n"
        "  --hold MS  --wl  --answer-copies N  --answer-split\n"
        "  --drop-uploads (PUT 0, nothing kept)  --info-reply TEXT (INFO answers TEXT)  --info-delay MS\n"
        "TEXT may hold \\r, \\n, \\0 and \\xHH.\n"
        "  --help | --version  this text or the version, alone\n");
}

bool EmulatorOptions::readPassword(const QString& source, QByteArray& password, QString& error) {
    QFile file;
    const bool standardInput = source == u"-";
    const bool opened = standardInput ? file.open(stdin, QIODevice::ReadOnly) : [&] {
        file.setFileName(source);
        return file.open(QIODevice::ReadOnly);
    }();
    const QString name = standardInput ? QStringLiteral("standard input") : source;
    if (!opened) {
        error = QStringLiteral("cannot read the password from %1: %2").arg(name, file.errorString());
        return false;
    }
    QByteArray line = file.readLine(64 * 1024);
    if (line.isEmpty()) {
        error = QStringLiteral("no password in %1").arg(name);
        return false;
    }
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    password = line;
    return true;
}

EmulatorOptions EmulatorOptions::parse(const QStringList& args) {
    EmulatorOptions o;
    EmulatorConfig base;
    QList<quint32> addresses;
    int count = 1;
    auto fail = [&o](const QString& why) {
        o.error = why;
        o.projectors.clear();
        return o;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        QString v;
        int n = 0;
        EmulatorFaults& f = base.faults;
        if (a == u"--never-greet") {
            f.neverGreet = true;
        } else if (a == u"--never-reply") {
            f.neverReply = true;
        } else if (a == u"--never-read") {
            f.neverRead = true;
        } else if (a == u"--wl") {
            f.answerTaggedWL = true;
        } else if (a == u"--answer-split") {
            f.answerSplit = true;
        } else if (a == u"--drop-uploads") {
            f.dropUploads = true;
        } else if (!value(v)) {
            return fail(QStringLiteral("%1 needs a value or is unknown").arg(a));
        } else if (a == u"--address" || a == u"--discovery") {
            Ipv4::Octets octets{};
            if (ParseDottedAddress(v, octets) != 0) {
                return fail(QStringLiteral("bad address %1").arg(v));
            }
            if (a == u"--address") {
                addresses << Ipv4::toHost(octets);
            } else {
                base.discovery = true;
                base.discoveryInterface = Ipv4::toHost(octets);
            }
        } else if (a == u"--password" && v != u"-") {
            base.authenticate = true;
            base.password = v.toUtf8();
            o.warnings << QStringLiteral(
                "warning: a password given as --password P can be read by every user of "
                "this computer; use --password-file FILE or --password -");
        } else if (a == u"--password" || a == u"--password-file") {
            QString why;
            if (!readPassword(v, base.password, why)) {
                return fail(why);
            }
            base.authenticate = true;
        } else if (a == u"--store-dir") {
            base.storeDir = v;
        } else if (a == u"--name") {
            base.name = v.toUtf8();
        } else if (a == u"--mac") {
            if (!parseMac(v, base.mac)) {
                return fail(QStringLiteral("bad MAC address %1").arg(v));
            }
        } else if (a == u"--close-early") {
            if (v == u"greeting") {
                f.closeEarly = EmulatorFaults::Close::BeforeGreeting;
            } else if (v == u"reply") {
                f.closeEarly = EmulatorFaults::Close::BeforeReply;
            } else {
                return fail(QStringLiteral("--close-early takes greeting or reply"));
            }
        } else if (a == u"--extra") {
            f.extraBytes = unescape(v);
        } else if (a == u"--reply") {
            f.replyOverride = unescape(v);
        } else if (a == u"--info-reply") {
            f.infoReplyOverride = unescape(v);
        } else if (!toInt(v, n)) {
            return fail(QStringLiteral("%1 takes a number").arg(a));
        } else if (a == u"--count") {
            count = n;
        } else if (a == u"--port") {
            base.port = static_cast<quint16>(n);
        } else if (a == u"--greeting-delay") {
            f.greetingDelayMs = n;
        } else if (a == u"--verdict-delay") {
            f.verdictDelayMs = n;
        } else if (a == u"--store-delay") {
            f.storeDelayMs = n;
        } else if (a == u"--info-delay") {
            f.infoDelayMs = n;
        } else if (a == u"--split") {
            f.splitBytes = n;
        } else if (a == u"--split-pause") {
            f.splitPauseMs = n;
        } else if (a == u"--garbage") {
            f.garbageBytes = n;
        } else if (a == u"--hold") {
            f.holdAfterReplyMs = n;
        } else if (a == u"--answer-copies") {
            f.answerCopies = n;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (addresses.isEmpty()) {
        addresses << base.address;
    }
    if (count < 1 || count > 250) {
        return fail(QStringLiteral("--count takes 1 to 250"));
    }
    for (const quint32 first : addresses) {
        for (int k = 0; k < count; ++k) {
            EmulatorConfig c = base;
            c.address = first + static_cast<quint32>(k);
            if (!base.storeDir.isEmpty()) {
                c.storeDir = QDir(base.storeDir).filePath(Ipv4::toText(c.address));
            }
            // Each projector of a batch has a MAC of its own.
            c.mac[5] = static_cast<quint8>(base.mac[5] + k);
            o.projectors << c;
        }
    }
    return o;
}
