# "make profile-build [CONFIG=64|popcount|32]": the profile-guided engine,
# optimised at link time, in build/pgo-CONFIG/ostrevalk. Three steps:
#   1. an instrumented engine in build/pgo-CONFIG (engine only, no tests);
#   2. that engine plays the training in mk/pgo-training.uci (a two-thread
#      search, the bench positions at depth 9, three perft positions), which
#      writes its branch and call counts to build/pgo-CONFIG/profile;
#   3. the engine rebuilt from scratch in the same directory with those
#      counts and -flto. The same directory for both builds, because each
#      layer compiles against include links inside the build directory: the
#      compiler refuses counts for inline functions of headers whose path
#      changed.
# The counts are thrown away before each training run (they would add up
# otherwise), and the final build always recompiles, because the compiler's
# dependency tracking does not see a changed profile.
#
# "make profile-check [CONFIG=...]" builds the profile-guided and the plain
# engine of one configuration and fails unless their bench signatures agree.
#
# CONFIG defaults to the fastest configuration this machine runs: popcount when
# the processor has the POPCNT instruction, 64 otherwise.
HOST_CONFIG := $(shell grep -qw popcnt /proc/cpuinfo 2> /dev/null && echo popcount || echo 64)
CONFIG ?= $(HOST_CONFIG)
PGO_BUILD ?= build/pgo-$(CONFIG)
PGO_TRAIN = $(PGO_BUILD)
PGO_PROFILE = $(abspath $(PGO_TRAIN))/profile
PGO_CHECK_DEPTH ?= 5

.PHONY: profile-build profile-check

profile-build:
	@cmake -S . -B $(PGO_TRAIN) -DOSTREVALK_CONFIG=$(CONFIG) -DOSTREVALK_TESTS=OFF \
		-DOSTREVALK_PGO=generate -DOSTREVALK_PGO_DIR=$(PGO_PROFILE) $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(PGO_TRAIN) -j $(JOBS) --target ostrevalk
	@rm -rf $(PGO_PROFILE)
	@echo "training the instrumented $(CONFIG) engine"
	@$(PGO_TRAIN)/ostrevalk --diagnostics < mk/pgo-training.uci > $(PGO_TRAIN)/training.log
	@test -d $(PGO_PROFILE) || { echo "the training wrote no profile" >&2; false; }
	@cmake -S . -B $(PGO_BUILD) -DOSTREVALK_CONFIG=$(CONFIG) -DOSTREVALK_TESTS=OFF \
		-DOSTREVALK_PGO=use -DOSTREVALK_PGO_DIR=$(PGO_PROFILE) -DOSTREVALK_LTO=ON \
		$(CMAKE_FLAGS) > /dev/null
	@cmake --build $(PGO_BUILD) -j $(JOBS) --target ostrevalk --clean-first
	@echo "profile-guided $(CONFIG) engine: $(PGO_BUILD)/ostrevalk"

# The node total of a fixed-depth bench: equal in both builds, or the profile
# changed what the engine computes.
bench_nodes = $$(printf 'bench $(PGO_CHECK_DEPTH)\nquit\n' | $(1) 2>&1 | grep '^Nodes')

profile-check: profile-build
	@cmake -S . -B build/$(CONFIG) -DOSTREVALK_CONFIG=$(CONFIG) $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/$(CONFIG) -j $(JOBS) --target ostrevalk
	@plain="$(call bench_nodes,build/$(CONFIG)/ostrevalk)" && \
	profiled="$(call bench_nodes,$(PGO_BUILD)/ostrevalk)" && \
	echo "bench $(PGO_CHECK_DEPTH), $(CONFIG): plain '$$plain', profile-guided '$$profiled'" && \
	test -n "$$plain" && test "$$plain" = "$$profiled"
