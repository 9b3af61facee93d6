#include "imaging/LossyLzw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kMaxCode = 4095;  // giflib's LZ_MAX_CODE
constexpr int kClearCode = 256; // of an 8-bit table
constexpr int kFirstCode = 258; // after the clear and end codes
constexpr int kNone = -1;
constexpr int kHashSize = 8192;

int squaredError(const quint8* p, const PaletteColour& c) {
    const int dr = p[0] - c.r;
    const int dg = p[1] - c.g;
    const int db = p[2] - c.b;
    return dr * dr + dg * dg + db * db;
}

// The LZW dictionary: a hash from (code, pixel) to code for the greedy match, and a
// child/sibling tree, each node carrying its pixel's colour, so that every continuation of a
// string can be walked cheaply.
class Dictionary final {
public:
    explicit Dictionary(const Palette& palette) {
        for (int i = 0; i < palette.size(); ++i) {
            const PaletteColour c = palette.at(i);
            m_colours[static_cast<size_t>(i)] = c;
        }
        clear();
    }

    void clear() {
        m_slots.fill(kEmptySlot);
        m_next = kFirstCode;
        for (int i = 0; i < kFirstCode; ++i) {
            m_nodes[static_cast<size_t>(i)].firstChild = kNone;
        }
    }
    [[nodiscard]] int find(int code, int pixel) const {
        const quint32 key = (quint32(code) << 8) | quint32(pixel);
        for (quint32 slot = hash(key);; slot = (slot + 1) & (kHashSize - 1)) {
            const quint32 s = m_slots[slot];
            if (s == kEmptySlot) {
                return kNone;
            }
            if ((s >> 12) == key) {
                return static_cast<int>(s & 0xFFFu);
            }
        }
    }
    [[nodiscard]] int pixel(int code) const { return m_nodes[static_cast<size_t>(code)].pixel; }
    [[nodiscard]] int parent(int code) const { return m_nodes[static_cast<size_t>(code)].parent; }
    [[nodiscard]] int firstChild(int code) const { return m_nodes[static_cast<size_t>(code)].firstChild; }
    [[nodiscard]] int sibling(int code) const { return m_nodes[static_cast<size_t>(code)].sibling; }
    // Squared distance from p to the colour of code's last pixel.
    [[nodiscard]] int error(int code, const quint8* p) const {
        const Node& n = m_nodes[static_cast<size_t>(code)];
        return (p[0] - n.r) * (p[0] - n.r) + (p[1] - n.g) * (p[1] - n.g) + (p[2] - n.b) * (p[2] - n.b);
    }
    [[nodiscard]] int next() const { return m_next; }
    [[nodiscard]] bool full() const { return m_next >= kMaxCode; }

    void add(int code, int pixel) {
        const int n = m_next++;
        const quint32 key = (quint32(code) << 8) | quint32(pixel);
        quint32 slot = hash(key);
        while (m_slots[slot] != kEmptySlot) {
            slot = (slot + 1) & (kHashSize - 1);
        }
        m_slots[slot] = (key << 12) | quint32(n);
        const PaletteColour c = m_colours[static_cast<size_t>(pixel)];
        Node& parent = m_nodes[static_cast<size_t>(code)];
        m_nodes[static_cast<size_t>(n)] = {
            kNone, parent.firstChild, static_cast<int16_t>(code), static_cast<quint8>(pixel), c.r, c.g, c.b};
        parent.firstChild = static_cast<int16_t>(n);
    }

private:
    // A slot holds the 20-bit key (code, pixel) above the 12-bit code it maps to; the table
    // is small enough to clear outright when the dictionary is.
    static constexpr quint32 kEmptySlot = 0xFFFFFFFFu;
    struct Node {
        int16_t firstChild = kNone;
        int16_t sibling = kNone;
        int16_t parent = kNone;
        quint8 pixel = 0;
        quint8 r = 0, g = 0, b = 0;
    };
    static quint32 hash(quint32 key) { return ((key >> 12) ^ key) & (kHashSize - 1); }

    std::array<quint32, kHashSize> m_slots{};
    std::array<Node, kMaxCode + 1> m_nodes{};
    std::array<PaletteColour, 256> m_colours{};
    int m_next = kFirstCode;
};

// Code widths as giflib's coder grows them: a code is sent at the present width, after which
// the width grows once the next free code no longer fits it.
class BitCounter final {
public:
    void reset() {
        m_width = 9;
        m_limit = 512;
    }
    void send(int code, int nextFree) {
        m_bits += static_cast<quint64>(m_width);
        if (nextFree >= m_limit && code <= kMaxCode) {
            m_limit = 1 << ++m_width;
        }
    }
    [[nodiscard]] quint64 bits() const { return m_bits; }

private:
    int m_width = 9;
    int m_limit = 512;
    quint64 m_bits = 0;
};

struct Frame {
    int node;
    int child;  // the next sibling to look at, once the exact continuation was tried
    int length; // pixels after the string's first
    qint64 error;
    bool exactTried;
};

struct Match {
    int node = kNone;
    int length = 0; // pixels after the first
    qint64 error = 0;
};

// Children looked at per string: bounds the time on noisy pictures, where many
// continuations come close, at little cost in length.
constexpr int kMaxExamined = 32;

// The longest string in the dictionary that starts with indices[pos] and whose every later
// pixel is within slack of the error its own index has; between equals, the least error.
// Depth first, the exact continuation before the others, so that the first path tried is the
// one plain LZW would take.
Match longestMatch(const Dictionary& dictionary, const quint8* ref, const std::vector<quint8>& indices,
                   size_t pos, int slack, std::vector<Frame>& stack, const Palette& palette) {
    Match best;
    const size_t n = indices.size();
    stack.clear();
    stack.push_back({indices[pos], kNone, 0, 0, false});
    int examined = 0;
    while (!stack.empty() && examined < kMaxExamined) {
        Frame& f = stack.back();
        const size_t at = pos + 1 + static_cast<size_t>(f.length);
        if (at >= n) {
            stack.pop_back();
            continue;
        }
        const int wanted = indices[at];
        int child = kNone;
        if (!f.exactTried) {
            f.exactTried = true;
            f.child = dictionary.firstChild(f.node);
            child = dictionary.find(f.node, wanted);
            if (child == kNone) {
                continue;
            }
        } else {
            child = f.child;
            if (child == kNone) {
                stack.pop_back();
                continue;
            }
            f.child = dictionary.sibling(child);
            if (dictionary.pixel(child) == wanted) {
                continue; // tried first
            }
        }
        ++examined;
        const quint8* p = ref + at * 3;
        const int e = dictionary.error(child, p);
        if (e > squaredError(p, palette.at(wanted)) + slack) {
            continue;
        }
        const int length = f.length + 1;
        const qint64 error = f.error + e;
        if (length > best.length || (length == best.length && error < best.error)) {
            best = {child, length, error};
        }
        stack.push_back({child, kNone, length, error, false}); // f is not used after this
    }
    return best;
}

// One path only: at each pixel the exact continuation if there is one, else the nearest
// within slack. Loses less per pixel than the longest match, and on pictures with large flat
// areas and sharp edges (screenshots) that can pay more than the length does.
Match nearestPath(const Dictionary& dictionary, const quint8* ref, const std::vector<quint8>& indices,
                  size_t pos, int slack, const Palette& palette) {
    Match best;
    best.node = indices[pos];
    for (size_t at = pos + 1; at < indices.size(); ++at) {
        const quint8* p = ref + at * 3;
        const int wantedError = squaredError(p, palette.at(indices[at]));
        int next = dictionary.find(best.node, indices[at]);
        int e = wantedError;
        if (next == kNone) {
            int limit = wantedError + slack + 1;
            for (int c = dictionary.firstChild(best.node); c != kNone; c = dictionary.sibling(c)) {
                const int ce = dictionary.error(c, p);
                if (ce < limit) {
                    limit = ce;
                    next = c;
                }
            }
            if (next == kNone) {
                break;
            }
            e = limit;
        }
        best.node = next;
        ++best.length;
        best.error += e;
    }
    if (best.length == 0) {
        best.node = kNone;
    }
    return best;
}

} // namespace

qint64 LossyLzw::fileBytesFor(quint64 codeBits) {
    const auto data = static_cast<qint64>((codeBits + 7) / 8);
    const qint64 blocks = (data + 254) / 255;
    // Signature 6, screen 7, table 768, image descriptor 10, code size 1, the data in blocks
    // of up to 255 bytes with a length byte each, the block terminator and the trailer.
    return 6 + 7 + 768 + 10 + 1 + data + blocks + 1 + 1;
}

LossyLzw::Outcome LossyLzw::run(const RgbBuffer& reference, const Palette& palette,
                                std::vector<quint8>& indices, double tolerance, qint64 maxFileBytes,
                                Strategy strategy, double lowerTolerance, qint64 lowerFrom) {
    Outcome outcome;
    // Bits past which the file cannot fit; checked only when a code is sent.
    const quint64 bitLimit = maxFileBytes > 0 ? static_cast<quint64>(maxFileBytes) * 8 : ~quint64{0};
    if (indices.empty() || palette.isEmpty()) {
        return outcome;
    }
    auto slackFor = [](double t) {
        return t > 0 ? static_cast<int>(std::lround(std::min(t, 255.0) * t * 3)) : -1;
    };
    const int upperSlack = slackFor(tolerance);
    const int lowerSlack = lowerTolerance < 0 ? upperSlack : slackFor(lowerTolerance);
    const size_t lowerStart =
        lowerTolerance < 0 ? indices.size() : static_cast<size_t>(std::max<qint64>(0, lowerFrom));
    const quint8* ref = reference.data();
    const size_t n = indices.size();
    auto wantedError = [&](size_t i) { return squaredError(ref + i * 3, palette.at(indices[i])); };
    Dictionary dictionary(palette);
    BitCounter counter;
    counter.send(kClearCode, dictionary.next());
    qint64 error = 0;
    std::vector<Frame> stack;
    for (size_t pos = 0;;) {
        // A string starts at its pixel's own index.
        int node = indices[pos];
        error += wantedError(pos);
        size_t end = pos + 1; // one past the string's last pixel
        const int slack = pos < lowerStart ? upperSlack : lowerSlack;
        if (slack >= 0) {
            const Match m = strategy == Strategy::LongestMatch
                                ? longestMatch(dictionary, ref, indices, pos, slack, stack, palette)
                                : nearestPath(dictionary, ref, indices, pos, slack, palette);
            if (m.length > 0) {
                int k = m.node;
                for (size_t at = pos + static_cast<size_t>(m.length); at > pos; --at) {
                    indices[at] = static_cast<quint8>(dictionary.pixel(k));
                    k = dictionary.parent(k);
                }
                error += m.error;
                node = m.node;
                end = pos + 1 + static_cast<size_t>(m.length);
            }
        }
        // giflib extends a string while the next index continues it; so must the model, or
        // the two would part ways.
        for (int next = 0; end < n && (next = dictionary.find(node, indices[end])) != kNone; ++end) {
            error += wantedError(end);
            node = next;
        }
        counter.send(node, dictionary.next());
        if (end == n) {
            break;
        }
        if (counter.bits() > bitLimit) {
            outcome.fileBytes = fileBytesFor(counter.bits());
            outcome.squaredError = static_cast<double>(error);
            outcome.complete = false;
            outcome.pixelsCoded = static_cast<qint64>(end);
            return outcome;
        }
        if (dictionary.full()) {
            counter.send(kClearCode, dictionary.next());
            dictionary.clear();
            counter.reset();
        } else {
            dictionary.add(node, indices[end]);
        }
        pos = end;
    }
    counter.send(kClearCode + 1, dictionary.next()); // end of information
    outcome.fileBytes = fileBytesFor(counter.bits());
    outcome.squaredError = static_cast<double>(error);
    outcome.pixelsCoded = static_cast<qint64>(n);
    return outcome;
}
