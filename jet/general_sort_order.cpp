// Expands the packed General (legacy) table into one SortCode per code unit, once.

#include "jet/general_sort_order.h"

#include <memory>
#include <stdexcept>

namespace jet {
namespace {

struct Reader {
    const unsigned char* data;
    unsigned size;
    unsigned pos = 0;
    uint8_t next() {
        if (pos >= size) throw std::logic_error("general sort order table is truncated");
        return data[pos++];
    }
    uint8_t bytes(uint8_t* out, unsigned capacity) {
        uint8_t n = next();
        if (n > capacity) throw std::logic_error("general sort order table entry too long");
        for (uint8_t i = 0; i < n; ++i) out[i] = next();
        return n;
    }
};

std::unique_ptr<SortCode[]> expand() {
    auto codes = std::make_unique<SortCode[]>(0x10000);
    Reader in{detail::kGeneralLegacyPacked, detail::kGeneralLegacyPackedSize};
    SortCode lastSimple;
    unsigned unit = 0;
    while (unit < 0x10000 && in.pos < in.size) {
        uint8_t h = in.next();
        if (h < 0x40) {
            unit += h + 1u;  // ignored units keep the default entry
            continue;
        }
        if (h < 0x80) {
            for (unsigned run = h - 0x3Fu; run > 0 && unit < 0x10000; --run) {
                // One more than the previous simple unit, as a big-endian number.
                for (int i = lastSimple.inlineLength - 1; i >= 0; --i) {
                    if (++lastSimple.inlineBytes[i] != 0) break;
                }
                codes[unit++] = lastSimple;
            }
            continue;
        }
        SortCode& c = codes[unit++];
        switch (h) {
            case 0x81:
                c.kind = SortKind::Simple;
                c.inlineLength = in.bytes(c.inlineBytes, 4);
                lastSimple = c;
                break;
            case 0x82:
                c.kind = SortKind::International;
                c.inlineLength = in.bytes(c.inlineBytes, 4);
                c.extraLength = in.bytes(c.extraBytes, 2);
                break;
            case 0x83:
                c.kind = SortKind::Unprintable;
                c.inlineLength = in.bytes(c.inlineBytes, 4);
                break;
            case 0x84:
                c.kind = SortKind::Modifier;
                c.extraLength = 1;
                c.extraBytes[0] = in.next();
                break;
            case 0x85:
            case 0x86:
                c.kind = SortKind::Crazy;
                c.crazyCode = h == 0x86 ? 2 : 3;
                c.inlineLength = in.bytes(c.inlineBytes, 4);
                c.extraLength = in.bytes(c.extraBytes, 2);
                break;
            default:
                throw std::logic_error("general sort order table has an unknown record");
        }
    }
    if (unit != 0x10000) throw std::logic_error("general sort order table has the wrong length");
    return codes;
}

}  // namespace

const SortCode& generalLegacySortCode(char16_t unit) {
    static const std::unique_ptr<SortCode[]> codes = expand();
    return codes[unit];
}

}  // namespace jet
