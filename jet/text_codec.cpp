#include "jet/text_codec.h"

#include <array>

#include "jet/unicode.h"

namespace jet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Builds UTF-8 in a buffer sized for the worst case (three bytes per UTF-16 unit or code-page
// byte), pairing surrogates; an unpaired surrogate becomes U+FFFD.
class Utf8Writer {
  public:
    explicit Utf8Writer(size_t maxUnits) : out_(maxUnits * 3, '\0'), p_(out_.data()) {}

    void put(char32_t c) { p_ += encodeUtf8(c, p_); }
    void ascii(char c) {
        if (pendingHigh_) {
            put(kReplacement);
            pendingHigh_ = 0;
        }
        *p_++ = c;
    }

    void unit(char16_t u) {
        if (pendingHigh_) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                put(0x10000 + ((char32_t(pendingHigh_) - 0xD800) << 10) + (u - 0xDC00));
                pendingHigh_ = 0;
                return;
            }
            put(kReplacement);
            pendingHigh_ = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            pendingHigh_ = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            put(kReplacement);
        } else {
            put(u);
        }
    }

    std::string finish() {
        if (pendingHigh_) put(kReplacement);
        pendingHigh_ = 0;
        out_.resize(size_t(p_ - out_.data()));
        return std::move(out_);
    }

  private:
    std::string out_;
    char* p_;
    char16_t pendingHigh_ = 0;
};

// Windows-1252 0x80..0x9F; the rest of the upper half equals Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

char16_t cp1252ToUnicode(uint8_t b) {
    if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
    return b;
}

}  // namespace

char32_t windows874Char(uint8_t b) {
    switch (b) {
        case 0x80:
            return 0x20AC;
        case 0x85:
            return 0x2026;
        case 0x91:
            return 0x2018;
        case 0x92:
            return 0x2019;
        case 0x93:
            return 0x201C;
        case 0x94:
            return 0x201D;
        case 0x95:
            return 0x2022;
        case 0x96:
            return 0x2013;
        case 0x97:
            return 0x2014;
        case 0xA0:
            return 0x00A0;
        default:
            break;
    }
    if (b < 0xA0) return b;
    // Thai letters sit at a fixed distance from U+0E00, with holes at DB..DE and FC..FF.
    if (b <= 0xDA || (b >= 0xDF && b <= 0xFB)) return 0x0E00 + (b - 0xA0);
    return kReplacement;
}

std::string decodeUcs2(const uint8_t* data, size_t size) {
    Utf8Writer out(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        if (data[i + 1] == 0 && data[i] < 0x80) {
            out.ascii(char(data[i]));
        } else {
            out.unit(char16_t(data[i] | (data[i + 1] << 8)));
        }
    }
    return out.finish();
}

std::string decodeJet4Text(const uint8_t* data, size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) return decodeUcs2(data, size);
    Utf8Writer out(size);
    bool compressed = true;
    size_t i = 2;
    while (i < size) {
        if (data[i] == 0x00) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            if (data[i] < 0x80) {
                out.ascii(char(data[i]));
            } else {
                out.unit(char16_t(data[i]));
            }
            ++i;
        } else {
            if (i + 1 >= size) break;
            out.unit(char16_t(data[i] | (data[i + 1] << 8)));
            i += 2;
        }
    }
    return out.finish();
}

std::string decodeCodePageText(const uint8_t* data, size_t size, uint16_t codePage) {
    Utf8Writer out(size);
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        if (b < 0x80) {
            out.ascii(char(b));
        } else {
            out.unit(codePage == 874 ? char16_t(windows874Char(b)) : cp1252ToUnicode(b));
        }
    }
    return out.finish();
}

std::optional<std::u16string> utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        uint8_t b = uint8_t(utf8[i]);
        char32_t c;
        int extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            return std::nullopt;
        }
        if (i + extra >= utf8.size() && extra > 0) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            uint8_t cb = uint8_t(utf8[i + k]);
            if ((cb & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (cb & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
        i += extra + 1;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    Utf8Writer out(utf16.size());
    for (char16_t u : utf16) out.unit(u);
    return out.finish();
}

std::vector<uint8_t> encodeUcs2(std::u16string_view utf16) {
    std::vector<uint8_t> out;
    out.reserve(utf16.size() * 2);
    for (char16_t u : utf16) {
        out.push_back(uint8_t(u));
        out.push_back(uint8_t(u >> 8));
    }
    return out;
}

std::vector<uint8_t> encodeJet4Text(std::u16string_view utf16, bool compress) {
    bool compressible = compress && utf16.size() >= 3;
    for (char16_t u : utf16) {
        if (!compressible) break;
        if (u == 0 || u > 0xFF) compressible = false;
    }
    if (!compressible) return encodeUcs2(utf16);
    std::vector<uint8_t> out;
    out.reserve(utf16.size() + 2);
    out.push_back(0xFF);
    out.push_back(0xFE);
    for (char16_t u : utf16) out.push_back(uint8_t(u));
    return out;
}

std::string foldName(std::string_view utf8) {
    std::string out(utf8);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = out[i];
        if (c >= 'A' && c <= 'Z') {
            out[i] = char(c - 'A' + 'a');
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00C0..U+00DE (except U+00D7) fold to U+00E0..U+00FE.
            unsigned char n = out[i + 1];
            if (n >= 0x80 && n <= 0x9E && n != 0x97) out[i + 1] = char(n + 0x20);
            ++i;
        }
    }
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && foldName(a) == foldName(b);
}

}  // namespace jet
