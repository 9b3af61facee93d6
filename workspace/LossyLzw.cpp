#include "workspace/LossyLzw.h"

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
    // The continuation of code whose colour is nearest p, if its error is below limit.
    [[nodiscard]] int nearestChild(int code, const quint8* p, int limit, int& error) const {
        int best = kNone;
        for (int c = m_nodes[static_cast<size_t>(code)].firstChild; c != kNone;) {
            const Node& n = m_nodes[static_cast<size_t>(c)];
            const int dr = p[0] - n.r;
            const int dg = p[1] - n.g;
            const int db = p[2] - n.b;
            const int e = dr * dr + dg * dg + db * db;
            if (e < limit) {
                limit = e;
                best = c;
            }
            c = n.sibling;
        }
        error = limit;
        return best;
    }
    [[nodiscard]] int pixel(int code) const { return m_nodes[static_cast<size_t>(code)].pixel; }
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
        m_nodes[static_cast<size_t>(n)] = {kNone, parent.firstChild, static_cast<quint8>(pixel), c.r, c.g, c.b};
        parent.firstChild = static_cast<int16_t>(n);
    }

private:
    // A slot holds the 20-bit key (code, pixel) above the 12-bit code it maps to; the table
    // is small enough to clear outright when the dictionary is.
    static constexpr quint32 kEmptySlot = 0xFFFFFFFFu;
    struct Node {
        int16_t firstChild = kNone;
        int16_t sibling = kNone;
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

} // namespace

qint64 LossyLzw::fileBytesFor(quint64 codeBits) {
    const auto data = static_cast<qint64>((codeBits + 7) / 8);
    const qint64 blocks = (data + 254) / 255;
    // Signature 6, screen 7, table 768, image descriptor 10, code size 1, the data in blocks
    // of up to 255 bytes with a length byte each, the block terminator and the trailer.
    return 6 + 7 + 768 + 10 + 1 + data + blocks + 1 + 1;
}

LossyLzw::Outcome LossyLzw::run(const RgbBuffer& reference, const Palette& palette, std::vector<quint8>& indices,
                                double tolerance, qint64 maxFileBytes) {
    Outcome outcome;
    // Bits past which the file cannot fit; checked only when a code is sent.
    const quint64 bitLimit = maxFileBytes > 0 ? static_cast<quint64>(maxFileBytes) * 8 : ~quint64{0};
    if (indices.empty() || palette.isEmpty()) {
        return outcome;
    }
    const int slack = tolerance > 0 ? static_cast<int>(std::lround(std::min(tolerance, 255.0) * tolerance * 3)) : -1;
    const quint8* ref = reference.data();
    Dictionary dictionary(palette);
    BitCounter counter;
    counter.send(kClearCode, dictionary.next());
    qint64 error = squaredError(ref, palette.at(indices[0]));
    int current = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const quint8* p = ref + i * 3;
        const int wanted = indices[i];
        const int wantedError = squaredError(p, palette.at(wanted));
        int next = dictionary.find(current, wanted);
        if (next != kNone) {
            error += wantedError;
            current = next;
            continue;
        }
        if (slack >= 0) {
            // Another continuation of the string may be close enough to the true colour.
            int childError = 0;
            next = dictionary.nearestChild(current, p, wantedError + slack + 1, childError);
            if (next != kNone) {
                indices[i] = static_cast<quint8>(dictionary.pixel(next));
                error += childError;
                current = next;
                continue;
            }
        }
        error += wantedError;
        counter.send(current, dictionary.next());
        if (counter.bits() > bitLimit) {
            outcome.fileBytes = fileBytesFor(counter.bits());
            outcome.squaredError = static_cast<double>(error);
            outcome.complete = false;
            outcome.pixelsCoded = static_cast<qint64>(i);
            return outcome;
        }
        if (dictionary.full()) {
            counter.send(kClearCode, dictionary.next());
            dictionary.clear();
            counter.reset();
        } else {
            dictionary.add(current, wanted);
        }
        current = wanted;
    }
    counter.send(current, dictionary.next());
    counter.send(kClearCode + 1, dictionary.next()); // end of information
    outcome.fileBytes = fileBytesFor(counter.bits());
    outcome.squaredError = static_cast<double>(error);
    outcome.pixelsCoded = static_cast<qint64>(indices.size());
    return outcome;
}
