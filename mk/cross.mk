# Cross builds, tested under emulation, and the release files.
#
# "make windows": the Windows x86-64 engines (plain and popcount), built with
# MinGW-w64 into build/windows-64 and build/windows-popcount. "make arm64":
# the Linux ARM64 engine in build/arm64. Both install their compilers first.
#
# "make test-windows-64" (and test-windows-popcount, test-arm64): the unit
# tests built for the target and run under its runner (Wine, or the ARM64
# emulator), then the host's end-to-end tests and self-play referee against
# the cross-built engine, started through the same runner. The host build of
# the same configuration provides those programs (its "uci" name is the
# one they expect). "make test-cross" runs all three.
#
# "make dist": every configuration this machine can build, into dist/ with
# names that say which to pick, and a SHA256SUMS file.
CROSS_CONFIGS := windows-64 windows-popcount arm64
cross_config = $(if $(filter %popcount,$1),popcount,64)
cross_toolchain = cmake/$(if $(filter windows-%,$1),windows-x86-64,linux-arm64).cmake
cross_deps = $(if $(filter windows-%,$1),windows,arm64)
cross_exe = build/$1/ostrevalk$(if $(filter windows-%,$1),.exe)

# Under emulation: every unit test but the slow ones. End to end: all but
# the searches on clocks too short for an engine started through a runner
# (Wine's start-up alone takes longer), and the long stress schedules.
CROSS_E2E_SKIP := *Slow*:GoCommand.TinyClocksAnswerInTime:StressSchedule.*
# Under Wine a failed test is run once more (scripts/wine-e2e.sh says why).
# Under Wine also the hostile-input sweep, whose 16 GiB table Wine zero-fills
# in full (see the unit tests' fallback test in CMakeLists.txt).
cross_e2e_skip = $(CROSS_E2E_SKIP)$(if $(filter windows-%,$1),:Protocol.HostileInputNeverStopsTheLoop)
# Two games, one with each colour, at the emulated clock of CMakeLists.txt.
CROSS_SELFPLAY := --games 2 --tc 3000+30 --max-plies 120 --threads 2 --overhead 200

# Wine keeps its Windows directory tree in a prefix of its own, here in the
# build tree rather than in the user's home. Its server is kept running for
# the whole test run (every test starts an engine, and a server started
# anew for each adds latency the timed tests can feel), and ended after it.
# The engine is started once first, with no input or output: the helper
# processes Wine starts with its first program keep that program's output
# open while they run, and a test runner would wait for them to close it.
WINE_ENV := WINEPREFIX=$(abspath build/wine) WINEDEBUG=-all

VERSION := $(shell sed -n 's/.*engineVersion = "\(.*\)";/\1/p' app/engine.cpp)

.PHONY: windows arm64 test-cross dist $(addprefix build-,$(CROSS_CONFIGS)) \
	$(addprefix engine-,$(CROSS_CONFIGS)) $(addprefix test-,$(CROSS_CONFIGS))

windows: engine-windows-64 engine-windows-popcount
arm64: engine-arm64

# engine-NAME builds the engine alone, build-NAME the tests as well. The
# tool chain file counts only when a build directory is first configured.
cross_name = $(patsubst engine-%,%,$(patsubst build-%,%,$1))
$(addprefix engine-,$(CROSS_CONFIGS)) $(addprefix build-,$(CROSS_CONFIGS)): %:
	@scripts/install-deps.sh $(call cross_deps,$(call cross_name,$@))
	@cmake -S . -B build/$(call cross_name,$@) -DOSTREVALK_CONFIG=$(call cross_config,$@) \
		$(if $(wildcard build/$(call cross_name,$@)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=$(call cross_toolchain,$(call cross_name,$@))) \
		$(CMAKE_FLAGS) > /dev/null
	@cmake --build build/$(call cross_name,$@) -j $(JOBS) $(if $(filter engine-%,$@),--target ostrevalk)

$(addprefix test-,$(CROSS_CONFIGS)): test-%: build-% test-deps-host-%
	@runner=$$(scripts/test-runner.sh $* $(call cross_exe,$*)) && \
	cmake -S . -B build/$* "-DOSTREVALK_RUNNER=$$runner" > /dev/null && \
	echo "build/$*: tests run under $$runner" && \
	export $(WINE_ENV) && \
	case $* in windows-*) mkdir -p build/wine && "$$(dirname "$$runner")/wineserver" -p && \
		"$$runner" $(call cross_exe,$*) < /dev/null > /dev/null 2>&1;; esac && \
	(cd build/$* && ctest --output-on-failure --no-tests=error) && \
	OSTREVALK_RUNNER="$$runner" OSTREVALK_ENGINE=$(abspath $(call cross_exe,$*)) \
		$(if $(filter windows-%,$*),scripts/wine-e2e.sh) \
		build/$(call cross_config,$*)/e2e_tests --gtest_filter='-$(call cross_e2e_skip,$*)' && \
	OSTREVALK_RUNNER="$$runner" build/$(call cross_config,$*)/tests/tools/selfplay $(CROSS_SELFPLAY) \
		$(call cross_exe,$*); \
	status=$$?; \
	case $* in windows-*) "$$(dirname "$$runner")/wineserver" -k 2> /dev/null;; esac; \
	exit $$status

# The host's test programs for a cross configuration.
test-deps-host-windows-64 test-deps-host-arm64: build-64
test-deps-host-windows-popcount: build-popcount
.PHONY: test-deps-host-windows-64 test-deps-host-arm64 test-deps-host-windows-popcount

test-cross: $(addprefix test-,$(CROSS_CONFIGS))
	@echo "all cross configurations passed"

# A configuration that cannot be built here (its tool chain cannot be
# installed) is left out with a line saying so; the others are still made.
dist:
	@rm -rf dist && mkdir -p dist
	@for config in $(ALL_CONFIGS) $(CROSS_CONFIGS); do \
		case $$config in \
			64|popcount|32) target=build-$$config-engine ;; \
			*) target=engine-$$config ;; \
		esac; \
		if $(MAKE) --no-print-directory $$target > dist/build-$$config.log 2>&1; then \
			rm dist/build-$$config.log; \
		else \
			echo "dist: $$config not built here (see dist/build-$$config.log)"; \
		fi; \
	done
	@for config in $(ALL_CONFIGS) $(CROSS_CONFIGS); do \
		case $$config in \
			64) from=ostrevalk; to=linux-x86-64 ;; \
			popcount) from=ostrevalk; to=linux-x86-64-popcount ;; \
			32) from=ostrevalk; to=linux-x86-32 ;; \
			windows-64) from=ostrevalk.exe; to=windows-x86-64.exe ;; \
			windows-popcount) from=ostrevalk.exe; to=windows-x86-64-popcount.exe ;; \
			arm64) from=ostrevalk; to=linux-arm64 ;; \
		esac; \
		test -f dist/build-$$config.log || cp build/$$config/$$from dist/ostrevalk-$(VERSION)-$$to; \
	done
	@cd dist && sha256sum ostrevalk-* > SHA256SUMS && cat SHA256SUMS

# The native engines alone, for dist.
$(addprefix build-,$(addsuffix -engine,$(ALL_CONFIGS))): build-%-engine:
	@$(if $(filter 32,$*),scripts/install-deps.sh build test32,scripts/install-deps.sh build)
	@cmake -S . -B build/$* -DOSTREVALK_CONFIG=$* $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/$* -j $(JOBS) --target ostrevalk
