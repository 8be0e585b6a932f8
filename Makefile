# Thin entry over CMake. "make run" builds the 64-bit engine and starts it;
# "make test" builds all three configurations and runs every test of each.
CONFIGS := 64 popcount 32
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run build test all clean tsan asan slow check $(addprefix build-,$(CONFIGS)) $(addprefix test-,$(CONFIGS))

run: build-64
	@./build/64/ostrevalk

build: build-64

all: $(addprefix build-,$(CONFIGS))

# Static pattern rules: make skips implicit rule search for phony targets,
# so plain pattern rules would silently do nothing here.
$(addprefix build-,$(CONFIGS)): build-%:
	@cmake -S . -B build/$* -DOSTREVALK_CONFIG=$* $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/$* -j $(JOBS)

$(addprefix test-,$(CONFIGS)): test-%: build-%
	@cd build/$* && ctest --output-on-failure

test: $(addprefix test-,$(CONFIGS))
	@echo "all configurations passed"

# Slow tests (deep perft and the like), 64-bit configuration.
slow: build-64
	@./build/64/unit_tests --gtest_filter='*Slow*'
	@./build/64/e2e_tests --gtest_filter='*Slow*'

# ThreadSanitizer build: the unit tests that share data between threads, and
# every end-to-end test against the instrumented engine, but for two whose
# limits the sanitizer's slowdown alone would break (200 ms clocks from the
# process start, a 16 GiB table zeroed by the sanitizer's allocator).
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
