# Set-up, build, run and test. Every target first installs whatever Debian
# packages are missing, so a fresh machine needs nothing by hand.

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
# What building and running the programs needs; `make run` installs only
# these. The tests, the Windows and 32-bit builds and the checks need the rest.
RUN_PACKAGES  := cmake ninja-build g++ pkg-config libwxgtk3.2-dev libgtk-3-dev \
                 libacl1-dev libattr1-dev
TEST_PACKAGES := libgtest-dev libgmock-dev \
                 xvfb xauth xdotool openbox xfwm4 imagemagick x11-utils fonts-dejavu-core \
                 desktop-file-utils appstream dpkg-dev file lintian \
                 python3-gi gir1.2-gtk-3.0 at-spi2-core python3-pyatspi gir1.2-atspi-2.0 orca \
                 dbus-daemon dbus-bin \
                 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest \
                 wine wine64 fonts-wine nsis osslsigncode openssl \
                 clang clang-tidy clang-format libclang-rt-14-dev devscripts \
                 g++-multilib qemu-user-static
# Wine's loader for 32-bit programs comes from the i386 architecture, and so
# do the 32-bit access list and attribute libraries of the 32-bit Linux build.
FOREIGN_PACKAGES := wine32:i386 libacl1-dev:i386 libattr1-dev:i386
SUDO       := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# -noreset: the server would otherwise restart whenever its last client
# leaves, and refuse the next test that connects at that moment.
XVFB       := xvfb-run -a -s "-screen 0 1600x1200x24 -noreset"

# The Windows programs, cross-built with MinGW-w64: 32-bit and 64-bit, each in
# a build folder of its own with its installer (NSIS) at the top.
WIN_DIRS   := build-win32 build-win64
TOOLCHAIN_build-win32 := cmake/toolchains/mingw-i686.cmake
TOOLCHAIN_build-win64 := cmake/toolchains/mingw-x86_64.cmake

# The engine and the command line for 32-bit Linux, run under qemu-user: the
# arithmetic of the 32-bit Windows programs, on a kernel that runs neither.
LINUX32_DIR := build-linux32

.PHONY: all deps deps-run configure build test test-linux test-windows test-linux32 windows linux32 bench bench-windows run package clean

all: build

# Installs whichever of the named packages are missing: $(call install,NAMES).
define install
@missing=""; \
for p in $(1); do \
  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
done; \
if [ -n "$$missing" ]; then \
  echo "Installing:$$missing"; \
  case "$$missing" in *:i386*) \
    dpkg --print-foreign-architectures | grep -qx i386 || $(SUDO) dpkg --add-architecture i386;; \
  esac; \
  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq || \
    echo "Some package lists could not be brought up to date; installing from the lists there are."; \
  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing $(2); \
fi
endef

deps-run:
	$(call install,$(RUN_PACKAGES))

# The foreign packages come last and alone: where the mirror's index for
# their architecture can't be read whole, they can't be installed, and the
# two 32-bit suites then say they were skipped instead of failing.
deps:
	$(call install,$(RUN_PACKAGES) $(TEST_PACKAGES))
	$(call install,$(FOREIGN_PACKAGES),|| echo "SKIPPING the 32-bit suites: their packages ($(FOREIGN_PACKAGES)) could not be installed.")

# Configured once; a tree first configured by `make run`, before the test
# packages were there, is configured again once they are (see tests/).
CONFIGURE = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
$(BUILD_DIR)/build.ninja:
	$(CONFIGURE)

configure: deps $(BUILD_DIR)/build.ninja
	@grep -qx 'VELTRANE_TESTS_FOUND:INTERNAL=ON' $(BUILD_DIR)/CMakeCache.txt || $(CONFIGURE)

build: configure
	cmake --build $(BUILD_DIR)

$(WIN_DIRS:%=%/build.ninja): %/build.ninja:
	cmake -S . -B $* -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN_$*) -DVELTRANE_LINUX_CLI=$(abspath $(BUILD_DIR))/cli/veltrane-cli

windows: deps $(WIN_DIRS:%=%/build.ninja)
	for d in $(WIN_DIRS); do cmake --build $$d || exit 1; done

$(LINUX32_DIR)/build.ninja:
	cmake -S . -B $(LINUX32_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-i686.cmake

linux32: deps $(LINUX32_DIR)/build.ninja
	cmake --build $(LINUX32_DIR)

# Every suite, the 32-bit one last; `make test-linux`, `make test-windows` or
# `make test-linux32` runs one of them.
test: test-linux test-windows test-linux32

# The window tests need a display: they always get a private virtual one, so
# they never open windows on the desktop of whoever runs them.
test-linux: build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure -j2 $(CTEST_ARGS)

# Under Wine, in a prefix inside each build folder. The cross-platform check
# among them needs the Linux program too.
test-windows: build windows
	for d in $(WIN_DIRS); do tests/win32/run_ctest.sh $$d $(CTEST_ARGS) || exit 1; done

# Through qemu-i386-static by name (see the toolchain file): no display, no
# help from the kernel.
test-linux32: deps
	@if ! dpkg-query -W -f='$${Status}' libacl1-dev:i386 2>/dev/null | grep -q 'ok installed'; then \
	  echo "SKIPPED: the 32-bit Linux suite: libacl1-dev:i386 is not installed."; \
	else \
	  $(MAKE) linux32 && cd $(LINUX32_DIR) && ctest --output-on-failure -j2 $(CTEST_ARGS); \
	fi

# The window program on the current display, with nothing built but the
# programs; without a display, say how to get one. CMake's `run` target knows
# where the program is.
run: deps-run $(BUILD_DIR)/build.ninja
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display is set (DISPLAY is empty): the window needs a desktop session to open in."; \
	  echo "To run it on a virtual display instead (unseen; xvfb-run is in the package xvfb):"; \
	  echo '  $(XVFB) make run'; \
	  exit 1; \
	fi
	cmake --build $(BUILD_DIR) --target run

bench: build
	$(BUILD_DIR)/bench/veltrane-bench
	$(BUILD_DIR)/bench/veltrane-runner-bench
	xvfb-run -a -s "-screen 0 1600x1200x24 -noreset -nolisten local" sh -c 'openbox --sm-disable >/dev/null 2>&1 & \
	  exec $(BUILD_DIR)/bench/veltrane-window-bench $(BUILD_DIR)/app/wx/veltrane $(BUILD_DIR)/cli/veltrane-cli'
	bench/small_files.sh $(BUILD_DIR)/cli/veltrane-cli
	bench/stdout_vs_cat.sh $(BUILD_DIR)/cli/veltrane-cli
	bench/first_run.sh

# Not a benchmark: a sanity figure for the Windows program under Wine next
# to the Linux one, on the same 256 MiB file.
bench-windows: build windows
	tests/win32/time_pass.sh $(BUILD_DIR)/cli/veltrane-cli build-win64

# A Debian package in build/, its dependencies read off the binaries.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) $(WIN_DIRS) $(LINUX32_DIR)

# ---- Checks beyond the test suites -----------------------------------------
# Each in a clang build folder of its own; `make clean` removes them too.
CHECK_DIRS := build-asan build-tsan build-fuzz
CLANG_CMAKE = CC=clang CXX=clang++ cmake -S . -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
SANITIZER_SUPP := $(abspath tests/sanitizers)
.PHONY: test-sanitize test-fuzz lint clean-checks
clean: clean-checks
clean-checks:
	rm -rf $(CHECK_DIRS)

build-asan/build.ninja:
	$(CLANG_CMAKE) -B build-asan -DVELTRANE_SANITIZE=address,undefined
build-tsan/build.ninja:
	$(CLANG_CMAKE) -B build-tsan -DVELTRANE_SANITIZE=thread
build-fuzz/build.ninja:
	$(CLANG_CMAKE) -B build-fuzz -DVELTRANE_FUZZ=ON -DVELTRANE_GUI=OFF -DVELTRANE_TESTS=OFF

# The Linux suite under ASan and UBSan (bar the package, which an
# instrumented build is not, and `make run`, which tests the Makefile), then the threaded parts under TSan: the pass's
# read-ahead, the windows' pass runner (toolkit-free) and keygen's writer.
# The first finding fails its test. The window tests are left out of the TSan
# half: pango and GLib hand memory between their own worker threads and the
# window thread through futex locks the sanitizer can't see, in libraries
# without frame pointers, so every window reports races inside the toolkit
# that no suppression can name without also hiding the window thread's own
# handlers.
TSAN_TESTS := ^(Pass|CipherBytes|Beside|Request|PassRunnerTest)\.|^CliTest\.Keygen
test-sanitize: deps build-asan/build.ninja build-tsan/build.ninja
	cmake --build build-asan
	cd build-asan && \
	  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	  LSAN_OPTIONS=suppressions=$(SANITIZER_SUPP)/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  $(XVFB) ctest --output-on-failure -j2 -LE 'packaging|large|setup' $(CTEST_ARGS)
	cmake --build build-tsan --target engine_tests cli_tests pass_runner_tests
	cd build-tsan && \
	  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(SANITIZER_SUPP)/tsan.supp \
	  $(XVFB) ctest --output-on-failure -j2 -R '$(TSAN_TESTS)' -LE large $(CTEST_ARGS)

# Each fuzz target for FUZZ_SECONDS from its seeds in fuzz/corpus/, after a
# run over its kept regression cases; what it finds is written to
# build-fuzz/findings/.
FUZZ_SECONDS ?= 30
FUZZ_TARGETS := command_line key_size quote_name temporary_path uri_list dialog_template
test-fuzz: deps build-fuzz/build.ninja
	cmake --build build-fuzz
	mkdir -p build-fuzz/findings
	for t in $(FUZZ_TARGETS); do \
	  echo "== fuzz_$$t"; \
	  build-fuzz/fuzz/fuzz_$$t -runs=0 fuzz/regressions/$$t fuzz/corpus/$$t || exit 1; \
	  mkdir -p build-fuzz/work/$$t && \
	  build-fuzz/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/findings/$$t- build-fuzz/work/$$t fuzz/corpus/$$t \
	    > build-fuzz/work/$$t.log 2>&1 || { tail -n 60 build-fuzz/work/$$t.log; exit 1; }; \
	  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units)' build-fuzz/work/$$t.log; \
	done

# Every C++ source as .clang-format lays it out, then clang-tidy with the
# checks in .clang-tidy over the program's own sources, as the Linux build
# compiles them.
lint: configure
	git ls-files '*.cpp' '*.h' | grep -E '^(app|bench|cli|engine|fuzz|platform|res|tests|ui)/' | \
	  xargs clang-format --dry-run --Werror
	run-clang-tidy -p $(BUILD_DIR) -quiet -j2 '^$(CURDIR)/(app|cli|engine|platform|res|ui)/'
