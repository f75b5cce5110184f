// quilex-runner: the keeper of one script run.
//
//   quilex-runner <editor pid> <program> [arguments...]
//
// The editor starts every script through this small program so that it can
// end everything the script starts, whatever those processes do to their
// session or process group. The keeper marks itself a child subreaper: any
// process of the run whose parent ends is handed to the keeper instead of
// to init, so the keeper's descendants are exactly the run's processes (the
// browser engine's helpers and programs the user launched are never among
// them).
//
// Descriptors on entry: 0-2 the script's standard streams, 3 the script's
// text (passed on), 4 the report pipe to the editor. The keeper gives the
// script 0-3, keeps only 4, and writes one line per event on it:
//   P <pid>        the script is started (its own process group)
//   E <errno>      the script could not be started
//   X <status>     the script ended (a wait status)
// It stays while any descendant lives and exits when none is left. SIGTERM
// (also sent when the editor dies, through the parent-death signal) ends
// every descendant with SIGKILL, then the keeper.
//
// No library does this, so it is written here with plain system calls.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kReportFd = 4;

void report(char kind, long value)
{
    char line[32];
    const int n = std::snprintf(line, sizeof line, "%c %ld\n", kind, value);
    if (n > 0)
        (void)!::write(kReportFd, line, size_t(n));
}

// The processes whose parent is this one, read from /proc.
std::vector<pid_t> children()
{
    std::vector<pid_t> out;
    const pid_t self = ::getpid();
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return out;
    while (dirent *e = ::readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        const std::string path = std::string("/proc/") + e->d_name + "/stat";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        buf[n] = 0;
        // "pid (name) state ppid ...": the name may hold anything, so the
        // fields are counted from its last parenthesis.
        const char *close = std::strrchr(buf, ')');
        if (!close)
            continue;
        char state = 0;
        long ppid = 0;
        if (std::sscanf(close + 1, " %c %ld", &state, &ppid) == 2 && ppid == self)
            out.push_back(pid_t(pid));
    }
    ::closedir(proc);
    return out;
}

pid_t g_script = 0;

// Reaps what has ended; true when no child is left.
bool reap()
{
    for (;;) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            if (pid == g_script) {
                report('X', status);
                g_script = 0;
            }
            continue;
        }
        return pid < 0 && errno == ECHILD;
    }
}

// Kills every descendant. A killed process's children come to this one
// (it is their subreaper), so the round is repeated until none is left.
[[noreturn]] void endAll()
{
    if (g_script > 0)
        ::kill(-g_script, SIGKILL);
    for (int round = 0; round < 10000; ++round) {
        for (pid_t child : children())
            ::kill(child, SIGKILL);
        if (reap())
            break;
        ::usleep(1000);
    }
    ::_exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const pid_t editor = pid_t(std::atol(argv[1]));
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);

    sigset_t watched;
    sigemptyset(&watched);
    for (int s : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
        sigaddset(&watched, s);
    sigprocmask(SIG_BLOCK, &watched, nullptr);
    // The editor may have ended before the death signal was asked for.
    if (::getppid() != editor)
        return 1;

    const pid_t pid = ::fork();
    if (pid < 0) {
        report('E', errno);
        return 1;
    }
    if (pid == 0) {
        sigprocmask(SIG_UNBLOCK, &watched, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::setpgid(0, 0);
        ::fcntl(kReportFd, F_SETFD, FD_CLOEXEC);
        ::execvp(argv[2], argv + 2);
        report('E', errno);
        ::_exit(127);
    }
    g_script = pid;
    ::setpgid(pid, pid);
    report('P', pid);
    // The script's streams are its own: they end when it (and whatever it
    // passed them on to) closes them.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 3; ++fd)
        ::dup2(null, fd);
    if (null > 3)
        ::close(null);

    for (;;) {
        siginfo_t info;
        const int s = sigwaitinfo(&watched, &info);
        if (s == SIGCHLD) {
            if (reap() && g_script == 0)
                return 0;
        } else if (s > 0) {
            endAll();
        }
    }
}
