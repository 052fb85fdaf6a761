// Running other programs from tests, Windows side (cmd.exe runs shell commands).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <cstdio>
#include <stdexcept>

#include "jet/path_text.h"
#include "support/test_support.h"

namespace testing_support {

std::string runCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = _popen(command.c_str(), "rb");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    const int rc = _pclose(pipe);
    if (status) *status = rc;
    return out;
}

namespace {

// One argument as the C runtime splits a command line: quoted, with quotes and the
// backslashes before them escaped.
std::wstring quotedArgument(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            if (c == L'"') out.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        out += c;
    }
    out.append(backslashes, L'\\');
    return out + L"\"";
}

}  // namespace

std::shared_ptr<void> holdUnreadable(const std::filesystem::path& path) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(handle, [](void* h) { CloseHandle(h); });
}

std::string runProgram(const std::string& name, const std::vector<std::string>& args, int* status,
                       Output output, const std::filesystem::path& input) {
    const std::wstring program =
        jet::pathFromUtf8(std::string(VELTRA_BINARY_DIR) + "/" + name + ".exe").wstring();
    std::wstring commandLine = quotedArgument(program);
    for (const std::string& a : args)
        commandLine += L" " + quotedArgument(jet::pathFromUtf8(a).wstring());
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        throw std::runtime_error("cannot make a pipe");
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE in = input.empty() ? INVALID_HANDLE_VALUE
                              : CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                                            OPEN_EXISTING, 0, nullptr);
    startup.hStdInput = in != INVALID_HANDLE_VALUE ? in : GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output == Output::Errors ? null : writeEnd;
    startup.hStdError = output == Output::Standard ? null : writeEnd;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &info);
    CloseHandle(writeEnd);
    CloseHandle(null);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (!started) {
        CloseHandle(readEnd);
        throw std::runtime_error("cannot run " + name);
    }
    std::string out;
    std::array<char, 4096> buf;
    DWORD n = 0;
    while (ReadFile(readEnd, buf.data(), DWORD(buf.size()), &n, nullptr) && n > 0)
        out.append(buf.data(), n);
    CloseHandle(readEnd);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    if (status) *status = int(code);
    return out;
}

// mdbtools has no Windows build: the engine's own export, from another process.
std::string exportTable(const std::filesystem::path& database, const std::string& table,
                        int* status) {
    return runProgram("jetdb", {"export", jet::utf8FromPath(database), table}, status,
                      Output::Both);
}

}  // namespace testing_support
