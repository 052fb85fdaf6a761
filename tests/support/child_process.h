// Child processes for the tests that kill a writer, hold a lock in another program or stop a
// commit half way: the test program starts itself again to play one named role.
//
// A role is a function of its arguments, registered at namespace scope:
//     VELTRA_CHILD_ROLE(holdLockFile) { ...; return 0; }
// When the program was started to play that role, the role runs as the program starts (before
// any test) and the process ends with its result. The role talks back through its standard
// output, which the test reads with readLine(): tests wait for that evidence, never for a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

using ChildRole = int (*)(const std::vector<std::string>& args);

// Registers `role` under `name`; runs it and ends the process when this process was started
// to play it. Returns true (for a static initialiser).
bool registerChildRole(const char* name, ChildRole role);

class ChildProcess {
  public:
    // This test program again, playing `role` with `args`.
    static ChildProcess start(const std::string& role, const std::vector<std::string>& args = {});
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess();  // kills the child if it still runs

    // The next line the child wrote (without its line end); empty at the end of its output.
    std::string readLine();
    // Ends the child at once, as a crash or a power cut would.
    void kill();
    // Waits for the child to end; its exit status (-1 when killed).
    int wait();

  private:
    ChildProcess() = default;
    intptr_t process_ = -1;  // pid or process HANDLE
    intptr_t output_ = -1;   // read end of the child's standard output
    bool ended_ = false;
    int status_ = 0;
};

// Marks the file read-only (or writable again) the way this system does: permission bits on
// POSIX, the read-only attribute on Windows.
void setReadOnly(const std::string& utf8Path, bool readOnly);

}  // namespace testing_support

#define VELTRA_CHILD_ROLE(name)                            \
    static int name(const std::vector<std::string>& args); \
    [[maybe_unused]] static const bool name##Registered =  \
        ::testing_support::registerChildRole(#name, name); \
    static int name([[maybe_unused]] const std::vector<std::string>& args)
