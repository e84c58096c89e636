# Set-up, build, run and test. Every target first installs whatever Debian
# packages it lacks, and no more, so a fresh machine needs nothing by hand.

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
# What building and running the two programs needs: `make build` and
# `make run` install only these.
BUILD_PACKAGES := cmake ninja-build g++ pkg-config libwxgtk3.2-dev libgtk-3-dev \
                  libacl1-dev libattr1-dev gettext wx3.2-i18n
# What `make package` adds: dpkg-shlibdeps reads the package's dependencies
# off the programs, and CPack asks `file` which files are programs.
PACKAGE_PACKAGES := dpkg-dev file
# What `make windows` adds: the MinGW-w64 compilers, NSIS for the
# installers, ImageMagick for the icon, GoogleTest's sources for the tests,
# gettext and Python for the catalogues and the installer's texts.
WINDOWS_PACKAGES := g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix nsis imagemagick googletest \
                    gettext python3
# What `make linux32` adds (its two i386 libraries are downloaded, below).
LINUX32_PACKAGES := g++-multilib qemu-user-static googletest
# What `make lint` adds; the sanitizer and fuzzer builds use clang's too.
# Python reads the installer's texts for the translators' template.
CHECK_PACKAGES := clang clang-tidy clang-format libclang-rt-14-dev python3
# What the tests add to all of these; only the targets that run tests or
# the benchmarks install them (`make deps` alone installs everything).
TEST_PACKAGES := libgtest-dev libgmock-dev \
                 xvfb xauth xdotool openbox xfwm4 x11-utils fonts-dejavu-core \
                 desktop-file-utils appstream lintian devscripts xdg-utils python3-nautilus \
                 python3-gi gir1.2-gtk-3.0 at-spi2-core python3-pyatspi gir1.2-atspi-2.0 orca \
                 dbus-daemon dbus-bin wine wine64 fonts-wine osslsigncode openssl strace
# Wine's loader for 32-bit programs comes from the i386 architecture alone.
FOREIGN_PACKAGES := wine32:i386
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
# Its static access-list and attribute libraries, with their headers: taken
# from Debian's i386 packages, downloaded through an apt state of their own
# for that architecture alone and unpacked here, so that nothing is added to
# the machine and their versions need not match the installed 64-bit ones.
I386_ROOT := $(LINUX32_DIR)/i386-root
I386_APT_DIR = $(abspath $(LINUX32_DIR))/i386-apt
I386_APT = apt-get -q -o Dir::State::Lists=$(I386_APT_DIR)/lists -o Dir::Cache=$(I386_APT_DIR)/cache \
           -o Dir::State::status=/dev/null -o Debug::NoLocking=1 -o APT::Sandbox::User=root \
           -o APT::Architecture=i386 -o APT::Architectures::=i386 -o Acquire::Languages=none
I386_PACKAGES := libacl1-dev libattr1-dev

# Nothing here runs side by side: two package installs would collide.
.NOTPARALLEL:
.PHONY: all deps deps-build deps-package deps-windows deps-linux32 deps-check configure build test test-linux test-windows test-linux32 windows linux32 \
        bench bench-windows run package pot clean

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

deps-build:
	$(call install,$(BUILD_PACKAGES))

deps-package:
	$(call install,$(BUILD_PACKAGES) $(PACKAGE_PACKAGES))

deps-windows:
	$(call install,$(WINDOWS_PACKAGES))

deps-linux32:
	$(call install,$(LINUX32_PACKAGES))

deps-check:
	$(call install,$(CHECK_PACKAGES))

# Everything, for the tests. The foreign package comes last and alone: where
# the mirror's index for its architecture is out of step with the installed
# packages, it can't be installed, and the 32-bit Windows suite then says it
# was skipped instead of failing.
deps:
	$(call install,$(BUILD_PACKAGES) $(PACKAGE_PACKAGES) $(WINDOWS_PACKAGES) $(LINUX32_PACKAGES) \
	  $(CHECK_PACKAGES) $(TEST_PACKAGES))
	$(call install,$(FOREIGN_PACKAGES),|| echo "$(FOREIGN_PACKAGES) could not be installed: the 32-bit Windows suite (build-win32) will be SKIPPED.")

# Configured once; a tree first configured without the test packages is
# configured again once they are there (see tests/).
CONFIGURE = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
$(BUILD_DIR)/build.ninja:
	$(CONFIGURE)

configure: deps-build $(BUILD_DIR)/build.ninja
	@if grep -qx 'VELTRANE_TESTS_FOUND:INTERNAL=OFF' $(BUILD_DIR)/CMakeCache.txt && \
	  dpkg-query -W -f='$${Status}' libgtest-dev 2>/dev/null | grep -q 'ok installed'; then $(CONFIGURE); fi

build: configure
	cmake --build $(BUILD_DIR)

$(WIN_DIRS:%=%/build.ninja): %/build.ninja:
	cmake -S . -B $* -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN_$*) -DVELTRANE_LINUX_CLI=$(abspath $(BUILD_DIR))/cli/veltrane-cli

windows: deps-windows $(WIN_DIRS:%=%/build.ninja)
	for d in $(WIN_DIRS); do cmake --build $$d || exit 1; done

$(I386_ROOT)/.unpacked:
	rm -rf $(I386_APT_DIR) $(I386_ROOT)
	mkdir -p $(I386_APT_DIR)/lists/partial $(I386_APT_DIR)/cache/archives/partial $(I386_ROOT)
	@# A part of the index that can't be read (a mirror mid-sync) leaves
	@# the rest, which usually still holds both packages.
	$(I386_APT) update || echo "Some i386 package lists could not be read; downloading from the lists there are."
	cd $(I386_APT_DIR) && $(I386_APT) download $(I386_PACKAGES)
	for deb in $(I386_APT_DIR)/*.deb; do dpkg-deb -x $$deb $(I386_ROOT) || exit 1; done
	touch $@

$(LINUX32_DIR)/build.ninja: $(I386_ROOT)/.unpacked
	cmake -S . -B $(LINUX32_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-i686.cmake

linux32: deps-linux32 $(LINUX32_DIR)/build.ninja
	cmake --build $(LINUX32_DIR)

# The tests run in English, whatever the language of whoever runs them:
# those of another language set their own.
test-linux test-windows test-linux32 test-sanitize: export LC_ALL := C.UTF-8
test-linux test-windows test-linux32 test-sanitize: export LANGUAGE :=

# Every suite, the 32-bit one last; `make test-linux`, `make test-windows` or
# `make test-linux32` runs one of them.
test: test-linux test-windows test-linux32

# The window tests need a display: they always get a private virtual one, so
# they never open windows on the desktop of whoever runs them.
test-linux: deps build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure -j2 $(CTEST_ARGS)

# Under Wine, in a prefix inside each build folder. The cross-platform check
# among them needs the Linux program too.
test-windows: deps build windows
	for d in $(WIN_DIRS); do tests/win32/run_ctest.sh $$d $(CTEST_ARGS) || exit 1; done

# Through qemu-i386-static by name (see the toolchain file): no display, no
# help from the kernel. Skipped only when the two i386 packages can't be
# downloaded at all.
test-linux32: deps
	@if ! $(MAKE) --no-print-directory $(I386_ROOT)/.unpacked; then \
	  echo "SKIPPED: the 32-bit Linux suite: the i386 packages $(I386_PACKAGES) could not be downloaded."; \
	else \
	  $(MAKE) --no-print-directory linux32 && cd $(LINUX32_DIR) && ctest --output-on-failure -j2 $(CTEST_ARGS); \
	fi

# The window program on the current display, with nothing built but the
# programs; without a display, say how to get one. CMake's `run` target knows
# where the program is.
run: deps-build $(BUILD_DIR)/build.ninja
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display is set (DISPLAY is empty): the window needs a desktop session to open in."; \
	  echo "To run it on a virtual display instead (unseen; xvfb-run is in the package xvfb):"; \
	  echo '  $(XVFB) make run'; \
	  exit 1; \
	fi
	cmake --build $(BUILD_DIR) --target run

bench: deps build
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

# The translators' template, po/veltrane.pot, made again from the texts
# marked in the sources, and each catalogue brought up to date with it.
pot: deps-build deps-check
	po/template.sh

# A Debian package in build/, its dependencies read off the binaries.
package: deps-package build
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

# Every C++ source as .clang-format lays it out, the template as the sources
# make it and every catalogue whole and passing msgfmt -c, then clang-tidy
# with the checks in .clang-tidy over the program's own sources, as the Linux
# build compiles them.
lint: deps-check configure
	git ls-files '*.cpp' '*.h' | grep -E '^(app|bench|cli|engine|fuzz|platform|res|tests|ui)/' | \
	  xargs clang-format --dry-run --Werror
	po/template.sh --check
	run-clang-tidy -p $(BUILD_DIR) -quiet -j2 '^$(CURDIR)/(app|cli|engine|platform|res|ui)/'
