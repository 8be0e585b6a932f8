# "make install [PREFIX=/some/prefix]" installs the fastest engine this machine
# runs as PREFIX/bin/ostrevalk and its manual page as
# PREFIX/share/man/man6/ostrevalk.6: the profile-guided build (mk/pgo.mk) of the
# popcount configuration when the processor has the POPCNT instruction, of the
# plain 64-bit configuration otherwise. INSTALL_CONFIG=64|popcount|32 installs
# another configuration, INSTALL_PGO=0 its plain build (build/CONFIG) instead of
# the profile-guided one. DESTDIR, when set, is put in front of every installed
# path (for packaging).
#
# "make install-check" installs into a temporary prefix, runs the installed
# engine, checks that its bench signature is that of the plain build of the
# same configuration and that the manual page renders without a warning (when
# groff is there), then removes the prefix again.
PREFIX ?= /usr/local
INSTALL_CONFIG ?= $(HOST_CONFIG)
INSTALL_PGO ?= 1
comma := ,
INSTALL_BUILD = $(if $(filter 1,$(INSTALL_PGO)),build/pgo-$(INSTALL_CONFIG),build/$(INSTALL_CONFIG))

.PHONY: install install-check

install:
ifeq ($(INSTALL_PGO),1)
	@$(MAKE) --no-print-directory profile-build CONFIG=$(INSTALL_CONFIG)
else
	@cmake -S . -B $(INSTALL_BUILD) -DOSTREVALK_CONFIG=$(INSTALL_CONFIG) $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(INSTALL_BUILD) -j $(JOBS) --target ostrevalk
endif
	@cmake --install $(INSTALL_BUILD) --prefix $(abspath $(PREFIX))
	@echo "installed $(INSTALL_BUILD)/ostrevalk ($(INSTALL_CONFIG)$(if $(filter 1,$(INSTALL_PGO)),$(comma) profile-guided))"

install-check:
	@prefix=$$(mktemp -d) && trap 'rm -rf "$$prefix"' EXIT && \
	$(MAKE) --no-print-directory install PREFIX="$$prefix" > /dev/null && \
	test -x "$$prefix/bin/ostrevalk" && \
	test -f "$$prefix/share/man/man6/ostrevalk.6" && \
	echo uci | "$$prefix/bin/ostrevalk" | grep -qx uciok && \
	cmake -S . -B build/$(INSTALL_CONFIG) -DOSTREVALK_CONFIG=$(INSTALL_CONFIG) $(CMAKE_FLAGS) > /dev/null && \
	cmake --build build/$(INSTALL_CONFIG) -j $(JOBS) --target ostrevalk > /dev/null && \
	plain=$$(printf 'bench 5\nquit\n' | build/$(INSTALL_CONFIG)/ostrevalk 2>&1 | grep '^Nodes') && \
	installed=$$(printf 'bench 5\nquit\n' | "$$prefix/bin/ostrevalk" 2>&1 | grep '^Nodes') && \
	{ test "$$plain" = "$$installed" || \
	  { echo "bench signature: plain '$$plain', installed '$$installed'"; false; }; } && \
	if command -v groff > /dev/null; then \
	    warnings=$$(groff -man -ww -z "$$prefix/share/man/man6/ostrevalk.6" 2>&1) && \
	    { test -z "$$warnings" || { echo "$$warnings"; false; }; }; \
	fi && \
	echo "install-check passed: $(INSTALL_CONFIG) engine with the plain build's bench signature and manual page installed and working"
