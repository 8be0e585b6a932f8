# Thin entry over CMake. "make run" builds the 64-bit engine and starts it;
# "make test" installs what the tests lack (scripts/install-deps.sh), builds
# all three configurations, runs every test of each and plays the engine
# through polyglot (client-test). CONFIGS="64 popcount" leaves 32-bit out.
ALL_CONFIGS := 64 popcount 32
CONFIGS ?= $(ALL_CONFIGS)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# OSTREVALK_EMULATE_32=1 tests the 32-bit build under the emulator even on a
# machine that runs 32-bit programs; OSTREVALK_QEMU_I386 names the emulator
# (scripts/test-runner.sh).
export OSTREVALK_EMULATE_32 OSTREVALK_QEMU_I386

.PHONY: run build test test-deps all clean tsan asan slow check \
	$(addprefix build-,$(ALL_CONFIGS)) $(addprefix test-,$(ALL_CONFIGS))

# Only the engine: no test programs, so no GoogleTest needed.
run:
	@scripts/install-deps.sh build
	@cmake -S . -B build/64 -DOSTREVALK_CONFIG=64 $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/64 -j $(JOBS) --target ostrevalk
	@./build/64/ostrevalk

build: build-64

all: $(addprefix build-,$(ALL_CONFIGS))

# Static pattern rules: make skips implicit rule search for phony targets,
# so plain pattern rules would silently do nothing here.
$(addprefix build-,$(ALL_CONFIGS)): build-%:
	@cmake -S . -B build/$* -DOSTREVALK_CONFIG=$* $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/$* -j $(JOBS)

# After the build, scripts/test-runner.sh says how this machine starts the
# configuration's programs (directly, or under an emulator); the choice goes
# into the build's test list (OSTREVALK_RUNNER), which needs no rebuild.
$(addprefix test-,$(ALL_CONFIGS)): test-%: build-%
	@test -x build/$*/unit_tests || { echo "build/$*: GoogleTest not found, no tests built (install it: scripts/install-deps.sh test)" >&2; exit 1; }
	@runner=$$(scripts/test-runner.sh $* build/$*/ostrevalk) && \
	cmake -S . -B build/$* "-DOSTREVALK_RUNNER=$$runner" > /dev/null && \
	if [ -n "$$runner" ]; then echo "build/$*: tests run under $$runner"; fi && \
	cd build/$* && ctest --output-on-failure --no-tests=error

test-deps:
	@scripts/install-deps.sh build test $(if $(filter 32,$(CONFIGS)),test32) client

test: test-deps $(addprefix test-,$(CONFIGS)) client-test
	@echo "all configurations passed"

# Slow tests (deep perft and the like), 64-bit configuration.
slow: build-64
	@./build/64/unit_tests --gtest_filter='*Slow*'
	@./build/64/e2e_tests --gtest_filter='*Slow*'

# ThreadSanitizer build: the unit tests that share data between threads, and
# every end-to-end test against the instrumented engine, but for two whose
# limits the sanitizer's slowdown alone would break (200 ms clocks from the
# process start, a 1 GiB cache faulted in under the sanitizer).
TSAN_E2E_SKIP := *Slow*:Protocol.HostileInputNeverStopsTheLoop:GoCommand.TinyClocksAnswerInTime
tsan:
	@cmake -S . -B build/tsan -DOSTREVALK_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
	@cmake --build build/tsan -j $(JOBS)
	@TSAN_OPTIONS=halt_on_error=1 ./build/tsan/unit_tests --gtest_filter='*Concurrent*'
	@TSAN_OPTIONS=halt_on_error=1:allocator_may_return_null=1 ./build/tsan/e2e_tests --gtest_filter='-$(TSAN_E2E_SKIP)'

# Checking build: the engine's asserts and a full position self-check after
# every make and unmake, over the unit tests (perft among them) and the
# benchmark signature ("bench 5" in a fresh process).
check:
	@cmake -S . -B build/check -DOSTREVALK_CHECK=ON > /dev/null
	@cmake --build build/check -j $(JOBS)
	@./build/check/unit_tests --gtest_filter='-*Slow*'
	@./build/check/e2e_tests --gtest_filter='Bench.BenchSignature'

# Further targets (sanitizers, fuzzing, soak, installation) live in mk/.
-include $(wildcard mk/*.mk)

# AddressSanitizer and UndefinedBehaviorSanitizer build of every normal test:
# any report ends the process with an error, so a test that provokes one fails.
asan:
	@cmake -S . -B build/asan -DOSTREVALK_ASAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
	@cmake --build build/asan -j $(JOBS)
	@cd build/asan && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -E selfplay

clean:
	rm -rf build
