#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "support/child_process.h"

namespace testing_support {

std::string childRoleValue(const std::string& role, const std::vector<std::string>& args);

ChildProcess ChildProcess::start(const std::string& role, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("cannot make a pipe");
    const std::string value = childRoleValue(role, args);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot start a child process");
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::setenv("VELTRA_CHILD_ROLE", value.c_str(), 1);
        ::execl(self.c_str(), self.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    ChildProcess child;
    child.process_ = pid;
    child.output_ = fds[0];
    return child;
}

ChildProcess::~ChildProcess() {
    if (!ended_ && process_ > 0) {
        kill();
        wait();
    }
    if (output_ >= 0) ::close(int(output_));
}

std::string ChildProcess::readLine() {
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = ::read(int(output_), &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') return line;
        line += c;
    }
}

void ChildProcess::kill() {
    if (!ended_ && process_ > 0) ::kill(pid_t(process_), SIGKILL);
}

int ChildProcess::wait() {
    if (ended_) return status_;
    int status = 0;
    ::waitpid(pid_t(process_), &status, 0);
    ended_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

void setReadOnly(const std::string& utf8Path, bool readOnly) {
    ::chmod(utf8Path.c_str(), readOnly ? 0444 : 0644);
}

}  // namespace testing_support
