# Two commands do everything on a fresh Debian machine:
#   make demo   installs what is missing, builds the three module files and runs the demo
#   make test   installs what is missing and runs every test suite
JOBS ?= $(shell nproc)
CMAKE_BUILD = cmake --build --preset
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

.PHONY: all setup native windows asan tsan fuzz-build demo test test-native test-asan \
        test-tsan test-windows test-validate test-fuzz fuzz-long bench clean

all: native windows

# Cheap when everything is there already; also re-enables 32-bit programs after a reboot.
setup:
	sh tools/setup-debian.sh

native: setup
	cmake --preset native >/dev/null
	$(CMAKE_BUILD) native -j$(JOBS)

windows: setup
	cmake --preset windows >/dev/null
	$(CMAKE_BUILD) windows -j$(JOBS)

asan: setup
	cmake --preset asan >/dev/null
	$(CMAKE_BUILD) asan -j$(JOBS)

tsan: setup
	cmake --preset tsan >/dev/null
	$(CMAKE_BUILD) tsan -j$(JOBS)

# The demo needs only the three module files and the stand-in host, not the test programs.
demo: setup
	cmake --preset windows >/dev/null
	$(CMAKE_BUILD) windows -j$(JOBS) --target vellary_plugin_test1 vellary_plugin_test2 \
	  vellary_plugin_test3 hostsim_cli
	sh tools/demo.sh

test: test-native test-asan test-tsan test-fuzz test-windows
	@echo "All test suites passed."

# Native suites run the module in-process and load the native builds of the three module files
# (ctest also runs `hostsim validate` on each of them).
test-native: native
	ctest --preset native -j$(JOBS)

test-asan: asan
	ctest --preset asan -j$(JOBS)

test-tsan: tsan
	ctest --preset tsan -j$(JOBS) -L concurrency

# The 32-bit Windows test programs under Wine, `hostsim validate` on the three .p files among them.
test-windows: windows
	sh tools/windows-tests.sh build/windows

# The validation reports of the three .p files, printed in full.
test-validate: windows
	sh tools/validate-all.sh build/windows

fuzz-build: setup
	cmake --preset fuzz >/dev/null
	$(CMAKE_BUILD) fuzz -j$(JOBS)

test-fuzz: fuzz-build
	sh tools/fuzz.sh 60

fuzz-long: fuzz-build
	sh tools/fuzz.sh 1800

bench: setup
	cmake --preset bench >/dev/null
	$(CMAKE_BUILD) bench -j$(JOBS)
	sh tools/bench.sh

clean:
	rm -rf build
