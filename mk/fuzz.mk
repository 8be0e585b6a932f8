# libFuzzer runs: "make fuzz" builds the fuzz targets with clang into
# build/fuzz and runs each for FUZZ_SECONDS on its working corpus in
# build/fuzz/corpus/, which starts as a copy of the seeds in the tree and keeps
# what earlier runs found (the seeds themselves are never written). Findings
# are written to build/fuzz/findings/. "make fuzz-replay" only runs the seeds
# once each, as a quick regression check.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= fuzz_fen fuzz_commands
FUZZ_CXX ?= clang++
FUZZ_ARGS ?=
FUZZ_DIR := build/fuzz

.PHONY: fuzz fuzz-build fuzz-replay

fuzz-build:
	@cmake -S . -B $(FUZZ_DIR) -DOSTREVALK_FUZZ=ON -DOSTREVALK_TESTS=OFF \
		-DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)

fuzz: fuzz-build
	@mkdir -p $(FUZZ_DIR)/findings
	@set -e; for target in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_DIR)/corpus/$$target; \
		cp tests/fuzz/corpus/$$target/* $(FUZZ_DIR)/corpus/$$target/; \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s"; \
		$(FUZZ_DIR)/tests/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
			-rss_limit_mb=2048 -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_DIR)/findings/$$target- $(FUZZ_ARGS) \
			$(FUZZ_DIR)/corpus/$$target; \
	done

fuzz-replay: fuzz-build
	@set -e; for target in $(FUZZ_TARGETS); do \
		$(FUZZ_DIR)/tests/fuzz/$$target -timeout=10 -rss_limit_mb=2048 tests/fuzz/corpus/$$target/*; \
	done
