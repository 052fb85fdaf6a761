// The header page (page 0) of a Jet file: format version, code page, sort order, and the checks
// that refuse what the engine must not read (another format, a password, encryption).
//
// Part of page 0 is masked with a fixed RC4 keystream; `applyHeaderMask` both removes and
// restores it (XOR), so writers of a new header use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

struct HeaderInfo {
    int jetVersion = 4;  // 3 or 4
    uint32_t pageSize = 4096;
    uint16_t codePage = 1252;
    uint16_t sortOrder = 0x0409;  // LCID; 0x0409 is "General"
    uint8_t sortVersion = 0;
    double creationDate = 0;  // OLE date (Jet 4)
};

// Decodes page 0 (`size` bytes from the start of the file, at least its first page when the file
// has one). Throws jet::Error naming `file`: NotADatabase for anything that is not a Jet file,
// PasswordProtected for a database with a password, Unsupported for encrypted files and for
// Access 2007 and later formats.
HeaderInfo readHeader(const uint8_t* page, size_t size, const std::string& file);

// XORs the masked region of a header page with the RC4 keystream of the fixed header key.
// REQUIRES: `page` holds at least 0x18 + 128 bytes.
void applyHeaderMask(uint8_t* page, int jetVersion);

// The password mask of a Jet 4 header: the creation date truncated to a 32-bit integer,
// little-endian, repeated over the 40 password bytes.
void jet4PasswordMask(double creationDate, uint8_t out[40]);

}  // namespace jet
