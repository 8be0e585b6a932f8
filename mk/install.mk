# "make install [PREFIX=/some/prefix]" builds the 64-bit configuration in
# build/64 and installs the engine as PREFIX/bin/ostrevalk and its manual page
# as PREFIX/share/man/man6/ostrevalk.6. DESTDIR, when set, is put in front of
# every installed path (for packaging).
#
# "make install-check" installs into a temporary prefix, runs the installed
# engine and checks that the manual page renders without a warning (when groff
# is there), then removes the prefix again.
PREFIX ?= /usr/local

.PHONY: install install-check

install:
	@cmake -S . -B build/64 -DOSTREVALK_CONFIG=64 -DCMAKE_INSTALL_PREFIX=$(abspath $(PREFIX)) $(CMAKE_FLAGS) > /dev/null
	@cmake --build build/64 -j $(JOBS) --target ostrevalk
	@cmake --install build/64

install-check:
	@prefix=$$(mktemp -d) && trap 'rm -rf "$$prefix"' EXIT && \
	$(MAKE) --no-print-directory install PREFIX="$$prefix" > /dev/null && \
	test -x "$$prefix/bin/ostrevalk" && \
	test -f "$$prefix/share/man/man6/ostrevalk.6" && \
	echo uci | "$$prefix/bin/ostrevalk" | grep -qx uciok && \
	if command -v groff > /dev/null; then \
	    warnings=$$(groff -man -ww -z "$$prefix/share/man/man6/ostrevalk.6" 2>&1) && \
	    { test -z "$$warnings" || { echo "$$warnings"; false; }; }; \
	fi && \
	echo "install-check passed: engine and manual page installed and working"
