// Line ends through the engine process: a Windows interface ends the lines it
// sends with CR LF, and the engine must read them exactly as LF lines. What
// the engine writes is the same on every platform: LF line ends, no CR.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

constexpr int SessionTimeoutMs = 60000;

// The lines a short session prints, each command sent with lineEnd: the
// handshake, a position with moves, a depth-5 search, a position check.
struct Session {
    Lines uci;
    std::string ready;
    Lines search;
    std::string hash;
    bool complete = false;
};

Session playSession(const std::string& lineEnd) {
    EngineProcess engine;
    Session session;
    auto send = [&](const std::string& command) { return engine.sendRaw(command + lineEnd); };
    if (!send("uci") || !engine.waitFor("uciok", 10000, &session.uci)) return session;
    if (!send("isready")) return session;
    session.ready = engine.readLine(10000).value_or("<none>");
    if (!send("position startpos moves e2e4 e7e5 g1f3 b8c6") || !send("go depth 5")) return session;
    if (!engine.waitFor("bestmove", SessionTimeoutMs * SanitizerSlowdown, &session.search)) return session;
    if (!send("hash")) return session;
    session.hash = engine.readLine(10000).value_or("<none>");
    session.complete = engine.quit() == 0;
    return session;
}

// An info line without its timing words, which differ from run to run.
std::string withoutTimings(const std::string& line) {
    std::string kept;
    std::string word;
    bool skipNext = false;
    for (size_t i = 0; i <= line.size(); i++) {
        if (i < line.size() && line[i] != ' ') {
            word += line[i];
            continue;
        }
        if (skipNext) {
            skipNext = false;
        } else if (word == "nps" || word == "time" || word == "hashfull") {
            skipNext = true;
        } else if (!word.empty()) {
            kept += (kept.empty() ? "" : " ") + word;
        }
        word.clear();
    }
    return kept;
}

}  // namespace

TEST(LineEnds, CrLfSessionReadsLikeLf) {
    const Session lf = playSession("\n");
    const Session crlf = playSession("\r\n");
    ASSERT_TRUE(lf.complete);
    ASSERT_TRUE(crlf.complete);

    // Each reply is whole: the handshake, readyok, and a search that went to
    // depth 5 on the position after all four moves, with the same output.
    EXPECT_EQ(crlf.uci, lf.uci);
    EXPECT_EQ(crlf.uci.back(), "uciok");
    EXPECT_EQ(crlf.ready, "readyok");
    ASSERT_EQ(crlf.search.size(), lf.search.size());
    for (size_t i = 0; i < lf.search.size(); i++)
        EXPECT_EQ(withoutTimings(crlf.search[i]), withoutTimings(lf.search[i])) << i;
    EXPECT_TRUE(startsWith(crlf.search.back(), "bestmove "));
    EXPECT_TRUE(startsWith(crlf.search[crlf.search.size() - 2], "info depth 5 "));
    EXPECT_EQ(crlf.hash, lf.hash);
    EXPECT_NE(crlf.hash, "<none>");

    // The engine's own line end is LF alone, whatever the input used.
    for (const Session* session : {&lf, &crlf})
        for (const Lines* lines : {&session->uci, &session->search})
            for (const std::string& line : *lines) EXPECT_EQ(line.find('\r'), std::string::npos) << line;
}
