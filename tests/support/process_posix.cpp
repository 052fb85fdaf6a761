// Running other programs from tests, POSIX side.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <array>
#include <cstdio>
#include <stdexcept>

#include "support/test_support.h"

namespace testing_support {

std::string runCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::shared_ptr<void> holdUnreadable(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    const fs::perms was = fs::status(path).permissions();
    fs::permissions(path, fs::perms::none);
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
        fs::permissions(path, was);
        return nullptr;
    }
    return std::shared_ptr<void>(nullptr, [path, was](void*) {
        std::error_code ignored;
        fs::permissions(path, was, ignored);
    });
}

std::string runProgram(const std::string& name, const std::vector<std::string>& args, int* status,
                       Output output, const std::filesystem::path& input) {
    const std::string program = std::string(VELTRA_BINARY_DIR) + "/" + name;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("cannot make a pipe");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot run " + program);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (!input.empty()) {
            const int in = ::open(input.c_str(), O_RDONLY);
            if (in < 0) ::_exit(126);
            ::dup2(in, STDIN_FILENO);
        }
        ::dup2(output == Output::Errors ? null : fds[1], STDOUT_FILENO);
        ::dup2(output == Output::Standard ? null : fds[1], STDERR_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    std::array<char, 4096> buf;
    for (;;) {
        const ssize_t n = ::read(fds[0], buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf.data(), size_t(n));
    }
    ::close(fds[0]);
    int rc = 0;
    ::waitpid(pid, &rc, 0);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

namespace {
std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
}  // namespace

std::string exportTable(const std::filesystem::path& database, const std::string& table,
                        int* status) {
    // Dates and binary fields as jetdb writes them, so the two exports compare.
    return runCommand("mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex " +
                          shellQuoted(database.string()) + " " + shellQuoted(table) + " 2>&1",
                      status);
}

}  // namespace testing_support
