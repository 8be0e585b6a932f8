// Test harness: runs the engine binary as a child process and talks to it
// through its standard input and output, the way a chess interface does.
//
// Every read has a deadline (poll), so a test whose engine hangs or dies
// fails instead of blocking. Writes never block either: while a line waits
// to be written, the engine's output is read into the buffer, so a flood of
// output cannot deadlock the two processes.
//
// Typical use:
//
//     EngineProcess engine;                         // starts engineUnderTest()
//     engine.send("position startpos moves e2e4");
//     auto lines = engine.roundTrip("display");     // output up to "readyok"
//     engine.send("go depth 3");
//     auto best = engine.waitFor("bestmove", 10000);
//     ASSERT_TRUE(best);
//     EXPECT_EQ(engine.quit(), 0);                  // "quit", exit code
//
// The destructor kills the engine if it is still running.
//
// When the environment variable OSTREVALK_RUNNER holds a command (words
// separated by blanks, such as "/usr/bin/qemu-i386"), every engine is started
// through it: the runner gets the engine's path as its last argument. This is
// how a binary the machine cannot start by itself (a 32-bit engine on a
// kernel without 32-bit support) is tested under an emulator. The
// environment variable OSTREVALK_ENGINE, when set, names the engine under
// test instead of the one built beside the tests: a cross-compiled engine is
// tested by the host's test programs that way (a Windows engine under Wine).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// The engine the tests start: OSTREVALK_ENGINE, or the one built with them.
std::string engineUnderTest();

struct EngineProcess {
    // Starts the program at path (the engine under test by default) with the
    // given command-line arguments; with errorsToOutput its standard error
    // is read as part of its output. A start failure is reported by
    // running() being false.
    explicit EngineProcess(const std::string& path = engineUnderTest(), const std::vector<std::string>& args = {},
                           bool errorsToOutput = false);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    // Writes text followed by a line feed. Returns false if the engine no
    // longer reads its input or the write does not finish within timeoutMs.
    bool send(const std::string& text, int timeoutMs = 10000);
    // Writes bytes exactly as given (no line feed added).
    bool sendRaw(const std::string& bytes, int timeoutMs = 10000);

    // The next complete output line without its line feed, or nothing when
    // no line arrives within timeoutMs or the engine's output has ended.
    std::optional<std::string> readLine(int timeoutMs);
    // Reads lines until one starts with prefix and returns it; every line read
    // on the way (the matching one included) is appended to seen when given.
    std::optional<std::string> waitFor(const std::string& prefix, int timeoutMs,
                                       std::vector<std::string>* seen = nullptr);
    // Every line that arrives until no new one has come for quietMs.
    std::vector<std::string> readAvailable(int quietMs);

    // Sends command (if not empty), then "isready", and returns every line
    // that came before "readyok". Commands run in order and write their
    // replies before the next line is read, so these are the command's whole
    // reply (search output of a running search may be mixed in). Sets ok to
    // false, when given, if "readyok" did not come within timeoutMs.
    std::vector<std::string> roundTrip(const std::string& command, int timeoutMs = 10000, bool* ok = nullptr);

    // Closes the engine's standard input (end of input for the engine).
    void closeInput();
    // Waits for the engine to exit: its exit code, or nothing if it did not
    // exit within timeoutMs (it is then killed) or was ended by a signal.
    std::optional<int> waitExit(int timeoutMs);
    // Sends "quit" and waits for the exit.
    std::optional<int> quit(int timeoutMs = 10000);

    bool running() const { return pid > 0; }

    pid_t pid = -1;
    int toEngine = -1;    // write end of the engine's standard input
    int fromEngine = -1;  // read end of the engine's standard output
    std::string pending;  // output read but not yet returned as lines
    bool outputEnded = false;

private:
    // Reads what is available within timeoutMs into pending; false on timeout
    // or end of output.
    bool fill(int timeoutMs);
};

// The runner command from OSTREVALK_RUNNER, split into words; empty when the
// engine is started directly.
std::vector<std::string> engineRunner();

// Milliseconds of a monotonic clock, for deadlines in tests.
long long monotonicMs();
