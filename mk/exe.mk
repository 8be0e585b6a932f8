# "make EXE=<name>": the engine for testing frameworks that build an engine
# with that one command and then run "./<name> bench". It builds the fastest
# configuration this machine runs, as "make install" picks it (popcount where
# the processor has POPCNT, with the profile-guided build), in the standard
# dialect (the CMake option OSTREVALK_STANDARD_DIALECT: lower-case promotion letters,
# "ucinewgame" clears the table), and copies it to ./<name>. CXX, when given
# on the command line or in the environment, names the compiler; one other
# than GCC gets the plain build, since the profile steps are GCC's.
#
# "make exe-check" builds it as build/exe-check/ostrevalk-exe and checks that
# "bench" on its command line prints the signature and the "N nodes M nps"
# line, exits 0 and gives the same N twice, and that it speaks the standard
# dialect without being told.
ifdef EXE
.DEFAULT_GOAL := exe
endif

EXE_CONFIG ?= $(HOST_CONFIG)
EXE_BUILD = build/exe-$(EXE_CONFIG)
EXE_COMPILER := $(if $(filter environment command line,$(origin CXX)),-DCMAKE_CXX_COMPILER=$(CXX))
EXE_FLAGS = $(CMAKE_FLAGS) -DOSTREVALK_STANDARD_DIALECT=ON $(EXE_COMPILER)

.PHONY: exe exe-check

exe:
	@test -n "$(EXE)" || { echo "make exe: name the binary with EXE=<name>" >&2; false; }
	@if $(CXX) -v 2>&1 | grep -q '^gcc version'; then \
	    $(MAKE) --no-print-directory profile-build CONFIG=$(EXE_CONFIG) PGO_BUILD=$(EXE_BUILD) \
	        CMAKE_FLAGS="$(EXE_FLAGS)"; \
	else \
	    cmake -S . -B $(EXE_BUILD) -DOSTREVALK_CONFIG=$(EXE_CONFIG) -DOSTREVALK_TESTS=OFF $(EXE_FLAGS) > /dev/null && \
	    cmake --build $(EXE_BUILD) -j $(JOBS) --target ostrevalk; \
	fi
	@cp $(EXE_BUILD)/ostrevalk $(EXE)
	@echo "built $(EXE) ($(EXE_CONFIG), standard dialect)"

EXE_CHECK = build/exe-check/ostrevalk-exe
EXE_SIGNATURE = 3778499

exe-check:
	@mkdir -p $(dir $(EXE_CHECK))
	@$(MAKE) --no-print-directory exe EXE=$(EXE_CHECK) > /dev/null
	@for run in 1 2; do \
	    out=$$(timeout 60 ./$(EXE_CHECK) bench < /dev/null) || { echo "exe-check: bench failed or took over 60 s" >&2; exit 1; }; \
	    echo "$$out" | grep -qx 'Nodes    : $(EXE_SIGNATURE)' || { echo "exe-check: bench signature missing" >&2; exit 1; }; \
	    echo "$$out" | tail -n 1 | grep -Eqx '$(EXE_SIGNATURE) nodes [0-9]+ nps' || \
	        { echo "exe-check: last line '$$(echo "$$out" | tail -n 1)'" >&2; exit 1; }; \
	done
	@printf 'position fen 8/1P4k1/8/8/8/8/6p1/K7 w - - 0 1\ngo depth 4\nquit\n' | ./$(EXE_CHECK) | \
	    grep -qx 'bestmove b7b8q ponder g2g1q' || { echo "exe-check: not the standard dialect" >&2; exit 1; }
	@echo "exe-check passed: ./$(EXE_CHECK) bench twice with $(EXE_SIGNATURE) nodes, standard dialect"
