// A middle-game and an end-game value carried together. Every evaluation term
// adds to both phases at once; the driver blends the two by the game phase at
// the end. The arithmetic is plain int arithmetic on each half, so a sum of
// pairs gives exactly the sums the two halves would give on their own (the
// division truncates toward zero, as int division does).
#pragma once

struct ScorePair {
    int mg = 0;
    int eg = 0;

    constexpr ScorePair& operator+=(ScorePair o) {
        mg += o.mg;
        eg += o.eg;
        return *this;
    }
    constexpr ScorePair& operator-=(ScorePair o) {
        mg -= o.mg;
        eg -= o.eg;
        return *this;
    }
    friend constexpr ScorePair operator+(ScorePair a, ScorePair b) { return a += b; }
    friend constexpr ScorePair operator-(ScorePair a, ScorePair b) { return a -= b; }
    friend constexpr ScorePair operator-(ScorePair a) { return {-a.mg, -a.eg}; }
    friend constexpr ScorePair operator*(ScorePair a, int k) { return {a.mg * k, a.eg * k}; }
    friend constexpr ScorePair operator*(int k, ScorePair a) { return {k * a.mg, k * a.eg}; }
    friend constexpr ScorePair operator/(ScorePair a, int d) { return {a.mg / d, a.eg / d}; }
    friend constexpr bool operator==(ScorePair a, ScorePair b) = default;
};

// The same value in both phases.
constexpr ScorePair bothPhases(int v) { return {v, v}; }
