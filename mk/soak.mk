# Long self-play run: "make soak" plays GAMES games at TC (milliseconds,
# base+increment) between two copies of the 64-bit engine, the second with
# SOAK_THREADS search threads, and fails on any forfeit, illegal move, crash
# or malformed search output.
GAMES ?= 50
TC ?= 2000+20
SOAK_THREADS ?= 2
SOAK_ARGS ?=

.PHONY: soak

soak:
	@cmake -S . -B build/64 -DOSTREVALK_CONFIG=64 $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/64 -j $(JOBS) --target ostrevalk selfplay
	@./build/64/tests/tools/selfplay --games $(GAMES) --tc $(TC) --threads $(SOAK_THREADS) \
		$(SOAK_ARGS) ./build/64/ostrevalk
