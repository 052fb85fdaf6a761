// Fuzz target: any bytes as a settings file. Reads a few values, writes one, and checks that
// the value written is the value read back and that the write kept every other value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_scratch.h"
#include "settings/ini_funcs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzing::ScratchDir scratch;
    const std::string file = scratch.write("Settings.ini", data, size).string();

    const std::string keep = settings::ReadINI(file, "Other", "Kept", "absent");
    (void)settings::ReadINI(file, "Path", "txtDir", "");
    (void)settings::ReadINI(file, "", "", "d");
    (void)settings::ReadINI(file, "[", "=", "d");

    settings::WriteINI(file, "Path", "txtDir", "C:\\Data\\in.txt");
    if (settings::ReadINI(file, "Path", "txtDir", "") != "C:\\Data\\in.txt") std::abort();
    if (settings::ReadINI(file, "Other", "Kept", "absent") != keep) std::abort();
    return 0;
}
