#include "commission/child_process.h"

#include <chrono>
#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace commission {

namespace fs = std::filesystem;

#ifndef _WIN32
namespace {

// Reads what is there on a pipe; false once it is closed.
bool drain(int fd, std::string& into) {
    char buffer[8192];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

// Hands each line completed since `before` to `onLine`; `lineStart` is where the next line begins.
void passLines(const std::string& output, std::size_t before, std::size_t& lineStart,
               const std::function<void(const std::string&)>& onLine) {
    for (std::size_t end = output.find('\n', before); end != std::string::npos; end = output.find('\n', end + 1)) {
        onLine(output.substr(lineStart, end - lineStart));
        lineStart = end + 1;
    }
}

int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return -1;
}

}  // namespace

ChildResult runChild(const fs::path& program, const std::vector<std::string>& arguments, const fs::path& folder,
                     const std::atomic<bool>& cancel, const std::function<void(const std::string&)>& onLine) {
    ChildResult result;
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // The child starts in its folder: posix_spawn has no chdir before glibc 2.29's extension, which
    // Debian 12 has.
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        result.errors = "cannot start " + program.string();
        return result;
    }
    bool outOpen = true;
    bool errOpen = true;
    bool terminated = false;
    std::size_t lineStart = 0;
    auto killAt = std::chrono::steady_clock::time_point::max();
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, 200);
        if (ready > 0) {
            if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
                const std::size_t before = result.output.size();
                outOpen = drain(out[0], result.output);
                if (onLine) passLines(result.output, before, lineStart, onLine);
            }
            if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) errOpen = drain(err[0], result.errors);
            if (!outOpen) fds[0].fd = -1;
            if (!errOpen) fds[1].fd = -1;
        }
        if (cancel.load() && !terminated) {
            ::kill(pid, SIGTERM);
            terminated = true;
            result.cancelled = true;
            killAt = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        }
        if (terminated && std::chrono::steady_clock::now() > killAt) {
            ::kill(pid, SIGKILL);
            killAt = std::chrono::steady_clock::time_point::max();
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    int waitStatus = 0;
    while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = statusOf(waitStatus);
    return result;
}
#else
ChildResult runChild(const fs::path& program, const std::vector<std::string>&, const fs::path&,
                     const std::atomic<bool>&, const std::function<void(const std::string&)>&) {
    ChildResult result;
    result.errors = "running " + program.string() + " from the commissioning tool needs a POSIX system";
    return result;
}
#endif

fs::path siblingProgram(const fs::path& ownProgram, const std::string& name) {
#ifdef _WIN32
    const std::string fileName = name + ".exe";
    constexpr char SEPARATOR = ';';
#else
    const std::string& fileName = name;
    constexpr char SEPARATOR = ':';
#endif
    std::error_code error;
    const fs::path own = fs::weakly_canonical(ownProgram, error);
    const fs::path beside = (error ? ownProgram : own).parent_path() / fileName;
    if (fs::is_regular_file(beside, error)) return beside;
    const char* path = std::getenv("PATH");
    const std::string list = path != nullptr ? path : "";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(SEPARATOR, start);
        if (end == std::string::npos) end = list.size();
        if (end > start) {
            const fs::path candidate = fs::path(list.substr(start, end - start)) / fileName;
            if (candidate.is_absolute() && fs::is_regular_file(candidate, error)) return candidate;
        }
        start = end + 1;
    }
    return beside;  // not found: starting it fails with its name in the message
}

}  // namespace commission
