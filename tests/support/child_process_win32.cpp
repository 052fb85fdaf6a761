#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "jet/path_text.h"
#include "support/child_process.h"

namespace testing_support {

std::string childRoleValue(const std::string& role, const std::vector<std::string>& args);

namespace {

HANDLE handleOf(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

// Test output as on every system (no CR added): ctest reads the test lists from it, and roles
// answer through it.
[[maybe_unused]] const bool binaryOutput = [] {
    _setmode(_fileno(stdout), _O_BINARY);
    return true;
}();

std::wstring wide(const std::string& utf8) {
    return jet::pathFromUtf8(utf8).wstring();
}

}  // namespace

ChildProcess ChildProcess::start(const std::string& role, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        throw std::runtime_error("cannot make a pipe");
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t self[32768];
    GetModuleFileNameW(nullptr, self, 32768);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
    // The child inherits this variable; it is taken back at once.
    SetEnvironmentVariableW(L"VELTRA_CHILD_ROLE", wide(childRoleValue(role, args)).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &info);
    SetEnvironmentVariableW(L"VELTRA_CHILD_ROLE", nullptr);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        throw std::runtime_error("cannot start a child process");
    }
    CloseHandle(info.hThread);
    ChildProcess child;
    child.process_ = reinterpret_cast<intptr_t>(info.hProcess);
    child.output_ = reinterpret_cast<intptr_t>(readEnd);
    return child;
}

ChildProcess::~ChildProcess() {
    if (!ended_ && process_ != -1) {
        kill();
        wait();
    }
    if (process_ != -1) CloseHandle(handleOf(process_));
    if (output_ != -1) CloseHandle(handleOf(output_));
}

std::string ChildProcess::readLine() {
    std::string line;
    char c;
    DWORD n = 0;
    while (ReadFile(handleOf(output_), &c, 1, &n, nullptr) && n == 1) {
        if (c == '\n') break;
        if (c != '\r') line += c;
    }
    return line;
}

void ChildProcess::kill() {
    if (!ended_ && process_ != -1) TerminateProcess(handleOf(process_), 255);
}

int ChildProcess::wait() {
    if (ended_) return status_;
    WaitForSingleObject(handleOf(process_), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(handleOf(process_), &code);
    ended_ = true;
    status_ = code == 255 ? -1 : int(code);
    return status_;
}

void setReadOnly(const std::string& utf8Path, bool readOnly) {
    const std::wstring name = wide(utf8Path);
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                          : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    SetFileAttributesW(name.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace testing_support
