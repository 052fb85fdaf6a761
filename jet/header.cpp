#include "jet/header.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "jet/coding.h"
#include "jet/error.h"

namespace jet {

namespace {

// RC4 keystream of the fixed key C7 DA 39 6B, long enough for the Jet 4 region.
const std::array<uint8_t, header::kMaskedLengthJet4>& headerKeystream() {
    static const std::array<uint8_t, header::kMaskedLengthJet4> stream = [] {
        const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        std::array<uint8_t, 256> s;
        for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + key[i % 4]) & 0xFF;
            std::swap(s[i], s[j]);
        }
        std::array<uint8_t, header::kMaskedLengthJet4> out;
        for (size_t n = 0, i = 0, j = 0; n < out.size(); ++n) {
            i = (i + 1) & 0xFF;
            j = (j + s[i]) & 0xFF;
            std::swap(s[i], s[j]);
            out[n] = s[(s[i] + s[j]) & 0xFF];
        }
        return out;
    }();
    return stream;
}

}  // namespace

void applyHeaderMask(uint8_t* page, int jetVersion) {
    size_t length = jetVersion >= 4 ? header::kMaskedLengthJet4 : header::kMaskedLengthJet3;
    const auto& stream = headerKeystream();
    for (size_t i = 0; i < length; ++i) page[header::kMaskedStart + i] ^= stream[i];
}

void jet4PasswordMask(double creationDate, uint8_t out[40]) {
    double truncated = std::isfinite(creationDate) ? std::trunc(creationDate) : 0.0;
    if (truncated > 2147483647.0 || truncated < -2147483648.0) truncated = 0;
    uint8_t mask[4];
    putI32(mask, int32_t(truncated));
    for (int i = 0; i < 40; ++i) out[i] = mask[i % 4];
}

HeaderInfo readHeader(const uint8_t* data, size_t size, const std::string& file) {
    static const uint8_t kMagic[4] = {0x00, 0x01, 0x00, 0x00};
    if (size < 0x100 || std::memcmp(data + header::kMagic, kMagic, 4) != 0)
        throw fileError(ErrorCode::NotADatabase, file, "not an Access database");
    if (std::memcmp(data + header::kFormatName, "Standard ACE DB", 15) == 0)
        throw fileError(ErrorCode::Unsupported, file,
                        "an Access 2007 or later database; only Jet 3 and Jet 4 files are read");
    if (std::memcmp(data + header::kFormatName, "Standard Jet DB", 15) != 0)
        throw fileError(ErrorCode::NotADatabase, file, "not an Access database");

    HeaderInfo info;
    uint32_t version = getU32(data + header::kVersion);
    if (version == 0) {
        info.jetVersion = 3;
    } else if (version == 1) {
        info.jetVersion = 4;
    } else {
        throw fileError(ErrorCode::Unsupported, file,
                        "an Access 2007 or later database; only Jet 3 and Jet 4 files are read");
    }
    info.pageSize = JetFormat::forVersion(info.jetVersion).pageSize;
    if (size < info.pageSize)
        throw fileError(ErrorCode::NotADatabase, file, "too short to be an Access database");

    std::vector<uint8_t> page(data, data + info.pageSize);
    applyHeaderMask(page.data(), info.jetVersion);
    const uint8_t* p = page.data();
    info.codePage = getU16(p + header::kCodePage);
    if (getU32(p + header::kEncryptionKey) != 0)
        throw fileError(ErrorCode::Unsupported, file, "this database is encrypted");

    bool password = false;
    if (info.jetVersion >= 4) {
        info.sortOrder = getU16(p + header::kSortOrderJet4);
        info.sortVersion = p[header::kSortVersionJet4];
        info.creationDate = getF64(p + header::kCreationDate);
        uint8_t mask[header::kPasswordLengthJet4];
        jet4PasswordMask(info.creationDate, mask);
        for (size_t i = 0; i < header::kPasswordLengthJet4; ++i)
            password |= (p[header::kPassword + i] ^ mask[i]) != 0;
    } else {
        info.sortOrder = getU16(p + header::kSortOrderJet3);
        for (size_t i = 0; i < header::kPasswordLengthJet3; ++i)
            password |= p[header::kPassword + i] != 0;
    }
    if (password)
        throw fileError(ErrorCode::PasswordProtected, file,
                        "this database is protected by a password");
    return info;
}

}  // namespace jet
