# Long self-play run: "make soak" plays GAMES games at TC (milliseconds,
# base+increment) between two copies of the 64-bit engine, the second with
# SOAK_THREADS search threads, and fails on any forfeit, illegal move, crash
# or malformed search output. It then plays ENDING_GAMES games from king and
# rook or king and queen against a bare king with the table kept from game
# to game (no clearing between games, as a tournament manager runs them),
# then STANDARD_GAMES games in the standard dialect ("--standard") under the
# strict referee, which forfeits a game on an upper-case promotion letter as
# the strictest tournament managers do, with "ucinewgame" between games, then
# PONDER_GAMES games with pondering on (the second engine with SOAK_THREADS
# threads, the table kept), and last 1,000 searches ended early (tiny move
# times and clocks, node limits, "stop" at random moments) in one engine
# process, each answer read as a client reads it
# (tests/e2e/test_stress_early_end.cpp).
GAMES ?= 50
TC ?= 2000+20
SOAK_THREADS ?= 2
SOAK_ARGS ?=
ENDING_GAMES ?= 60
STANDARD_GAMES ?= 100
STANDARD_TC ?= 1000+10
PONDER_GAMES ?= 50
PONDER_TC ?= 1000+10

.PHONY: soak

soak:
	@cmake -S . -B build/64 -DOSTREVALK_CONFIG=64 $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/64 -j $(JOBS) --target ostrevalk selfplay e2e_tests
	@./build/64/tests/tools/selfplay --games $(GAMES) --tc $(TC) --threads $(SOAK_THREADS) \
		$(SOAK_ARGS) ./build/64/ostrevalk
	@./build/64/tests/tools/selfplay --games $(ENDING_GAMES) --tc 1000+10 --keep-table \
		--openings tests/data/mating_endings.epd ./build/64/ostrevalk
	@./build/64/tests/tools/selfplay --games $(STANDARD_GAMES) --tc $(STANDARD_TC) --keep-table --strict \
		--engine-arg --standard --openings tests/data/promotions.epd ./build/64/ostrevalk
	@./build/64/tests/tools/selfplay --games $(PONDER_GAMES) --tc $(PONDER_TC) --ponder --threads $(SOAK_THREADS) \
		--keep-table $(SOAK_ARGS) ./build/64/ostrevalk
	@./build/64/e2e_tests --gtest_filter='StressEarlyEnd.Slow*'
