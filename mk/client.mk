# "make client-test": the 64-bit engine played through polyglot by a small
# xboard client (tests/client/polyglot_test.py). Skips when polyglot is not
# installed, unless OSTREVALK_REQUIRE_POLYGLOT is set.
.PHONY: client-test

client-test: build-64
	@python3 tests/client/polyglot_test.py build/64/ostrevalk
