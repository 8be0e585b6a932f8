#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

long long monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

int remainingMs(long long deadline) {
    const long long left = deadline - monotonicMs();
    return left < 0 ? 0 : int(left);
}

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

std::string engineUnderTest() {
    const char* path = std::getenv("OSTREVALK_ENGINE");
    return path && *path ? path : OSTREVALK_BINARY;
}

std::vector<std::string> engineRunner() {
    const char* text = std::getenv("OSTREVALK_RUNNER");
    std::istringstream words(text ? text : "");
    std::vector<std::string> runner;
    for (std::string word; words >> word;) runner.push_back(word);
    return runner;
}

EngineProcess::EngineProcess(const std::string& path, const std::vector<std::string>& args, bool errorsToOutput) {
    // The command line is built before the fork: the child only execs.
    std::vector<std::string> words = engineRunner();
    const bool viaRunner = !words.empty();
    words.push_back(path);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // A write to an engine that has died must fail, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int input[2], output[2];
    if (pipe(input) != 0) return;
    if (pipe(output) != 0) {
        close(input[0]);
        close(input[1]);
        return;
    }
    pid = fork();
    if (pid == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        if (errorsToOutput) dup2(output[1], STDERR_FILENO);
        close(input[0]);
        close(input[1]);
        close(output[0]);
        close(output[1]);
        // execv, not execvp, for the engine itself: on a binary the kernel
        // cannot start, execvp would hand it to the shell and the test would
        // read shell errors instead of failing to start. A runner given by
        // name is looked up on the PATH.
        if (viaRunner)
            execvp(argv[0], argv.data());
        else
            execv(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    if (pid < 0) {
        close(input[1]);
        close(output[0]);
        return;
    }
    toEngine = input[1];
    fromEngine = output[0];
    fcntl(toEngine, F_SETFL, fcntl(toEngine, F_GETFL) | O_NONBLOCK);
    fcntl(toEngine, F_SETFD, FD_CLOEXEC);
    fcntl(fromEngine, F_SETFD, FD_CLOEXEC);
}

EngineProcess::~EngineProcess() {
    closeFd(toEngine);
    closeFd(fromEngine);
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool EngineProcess::fill(int timeoutMs) {
    if (outputEnded || fromEngine < 0) return false;
    pollfd p{fromEngine, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready <= 0) return false;
    char buffer[65536];
    const ssize_t n = read(fromEngine, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
        outputEnded = true;
        return false;
    }
    pending.append(buffer, size_t(n));
    return true;
}

bool EngineProcess::sendRaw(const std::string& bytes, int timeoutMs) {
    if (toEngine < 0) return false;
    const long long deadline = monotonicMs() + timeoutMs;
    size_t written = 0;
    while (written < bytes.size()) {
        pollfd p[2] = {{toEngine, POLLOUT, 0}, {fromEngine, POLLIN, 0}};
        const int count = outputEnded ? 1 : 2;
        if (poll(p, count, remainingMs(deadline)) <= 0) return false;
        if (count == 2 && (p[1].revents & (POLLIN | POLLHUP))) fill(0);
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        if (p[0].revents & POLLOUT) {
            const ssize_t n = write(toEngine, bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (n > 0) written += size_t(n);
        }
    }
    return true;
}

bool EngineProcess::send(const std::string& text, int timeoutMs) { return sendRaw(text + "\n", timeoutMs); }

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const long long deadline = monotonicMs() + timeoutMs;
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        if (outputEnded) return std::nullopt;
        const int left = remainingMs(deadline);
        // After the deadline, only what is already waiting in the pipe counts.
        if (!fill(left) && left == 0) return std::nullopt;
    }
}

std::optional<std::string> EngineProcess::waitFor(const std::string& prefix, int timeoutMs,
                                                  std::vector<std::string>* seen) {
    const long long deadline = monotonicMs() + timeoutMs;
    for (;;) {
        auto line = readLine(remainingMs(deadline));
        if (!line) return std::nullopt;
        if (seen) seen->push_back(*line);
        if (line->compare(0, prefix.size(), prefix) == 0) return line;
    }
}

std::vector<std::string> EngineProcess::readAvailable(int quietMs) {
    std::vector<std::string> lines;
    while (auto line = readLine(quietMs)) lines.push_back(*line);
    return lines;
}

std::vector<std::string> EngineProcess::roundTrip(const std::string& command, int timeoutMs, bool* ok) {
    std::vector<std::string> lines;
    bool sent = (command.empty() || send(command, timeoutMs)) && send("isready", timeoutMs);
    bool ready = sent && waitFor("readyok", timeoutMs, &lines).has_value();
    if (ready && !lines.empty() && lines.back() == "readyok") lines.pop_back();
    if (ok) *ok = ready;
    return lines;
}

void EngineProcess::closeInput() { closeFd(toEngine); }

std::optional<int> EngineProcess::waitExit(int timeoutMs) {
    if (pid <= 0) return std::nullopt;
    const long long deadline = monotonicMs() + timeoutMs;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 || monotonicMs() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
            return std::nullopt;
        }
        // Keep reading, so that an engine writing its last lines never
        // blocks on a full pipe while we wait for it.
        fill(5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pid = -1;
    if (!WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

std::optional<int> EngineProcess::quit(int timeoutMs) {
    send("quit", timeoutMs);
    closeInput();
    return waitExit(timeoutMs);
}
