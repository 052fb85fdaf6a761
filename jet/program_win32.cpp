#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <cstdio>
#include <iostream>
#include <streambuf>

#include "jet/path_text.h"
#include "jet/program.h"

namespace jet::program {

namespace {

// Hands whole UTF-8 characters to the console as UTF-16; a character split across two writes
// waits for its remaining bytes.
class ConsoleBuffer final : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) pending_ += char(c);
        if (c == '\n' || pending_.size() >= 4096) flushComplete();
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, size_t(n));
        flushComplete();
        return n;
    }
    int sync() override {
        flushComplete();
        return 0;
    }

  private:
    void flushComplete() {
        size_t end = pending_.size();
        // Step back over an unfinished last character.
        size_t lead = end;
        while (lead > 0 && end - lead < 4 && (uint8_t(pending_[lead - 1]) & 0xC0) == 0x80) --lead;
        if (lead > 0) {
            const uint8_t first = uint8_t(pending_[lead - 1]);
            const size_t need = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
            if (end - (lead - 1) < need) end = lead - 1;
        }
        if (end == 0) return;
        const int wide = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), int(end), nullptr, 0);
        std::wstring text(size_t(wide), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, pending_.data(), int(end), text.data(), wide);
        DWORD written = 0;
        WriteConsoleW(console_, text.data(), DWORD(text.size()), &written, nullptr);
        pending_.erase(0, end);
    }

    HANDLE console_;
    std::string pending_;
};

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace

std::vector<std::string> arguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i) out.push_back(utf8FromPath(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return out;
}

void setUpConsole() {
    // Redirected output: the bytes as they are, with the same line ends as on every system.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    // Never freed: the streams are flushed after every static object is gone.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (isConsole(out)) std::cout.rdbuf(new ConsoleBuffer(out));
    if (isConsole(err)) std::cerr.rdbuf(new ConsoleBuffer(err));
}

bool outputIsConsole() {
    return isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

std::filesystem::path folder(const char*) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (n < name.size()) {
            name.resize(n);
            break;
        }
        name.resize(name.size() * 2);
    }
    return std::filesystem::path(name).parent_path();
}

}  // namespace jet::program
