# Set-up, build and test of VYXBIDI.dll. `make test` works on a fresh Debian machine.
#
# One CMake description, one build folder per architecture: $(BUILD) holds the x86 build,
# $(BUILD_X64) the x64 one, $(BUILD_ARM64) the ARM64 one. `make test` builds and tests all three;
# the other targets work on the folder ARCH names (x86, the default, x64 or arm64):
# `make run ARCH=x64`.
BUILD ?= build
BUILD_X64 ?= $(BUILD)/x64
BUILD_ARM64 ?= $(BUILD)/arm64
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

# A host that runs no 32-bit code runs x86 programs only under emulation (tools/host/x86-mode.sh):
# there the targets that run a program for a person to read default to the x64 build, and the
# benchmark, whose figures under emulation would mean nothing, always takes it.
RUNNING_GOALS = run run-ipp run-snmp bench
ifneq ($(filter $(RUNNING_GOALS),$(MAKECMDGOALS)),)
HOST_X86 := $(shell ./tools/host/x86-mode.sh)
ifeq ($(HOST_X86),emulated)
ifeq ($(ARCH),arm64)
else ifneq ($(filter bench,$(MAKECMDGOALS)),)
override ARCH = x64
ARCH_NOTE = this host runs x86 programs only under emulation, where timings mean nothing: the benchmark takes the x64 build
else ifeq ($(origin ARCH),undefined)
ARCH = x64
ARCH_NOTE = this host runs no 32-bit code, so this comes from the x64 build (ARCH=x86 runs the x86 one under emulation, about half a minute)
endif
endif
endif
ARCH ?= x86
# Said after a run's report (the report stays the first thing on the screen).
ARCH_NOTE_LINE = $(if $(ARCH_NOTE),echo "make $@: $(ARCH_NOTE)" >&2,true)

ifeq ($(ARCH),x86)
ARCH_BUILD = $(BUILD)
else ifeq ($(ARCH),x64)
ARCH_BUILD = $(BUILD_X64)
else ifeq ($(ARCH),arm64)
ARCH_BUILD = $(BUILD_ARM64)
# ARM64 programs run only under emulation here (qemu-user): whatever they time is emulated.
ARCH_NOTE = the arm64 build runs under qemu-user emulation on this host$(if $(filter bench,$@), (its figures are emulated: only the ratios inside one run compare))
else
$(error ARCH is x86, x64 or arm64, not "$(ARCH)")
endif

CONFIGURE_x86 = cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake $(CMAKE_FLAGS)
# The x64 folder's tests may also use the x86 and ARM64 builds, which `make test` builds first.
CONFIGURE_x64 = cmake -S . -B $(BUILD_X64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake -DVYX_X86_BUILD_DIR=$(abspath $(BUILD)) -DVYX_ARM64_BUILD_DIR=$(abspath $(BUILD_ARM64)) $(CMAKE_FLAGS)
CONFIGURE = $(CONFIGURE_$(ARCH))
# The folder's own wine prefix (tools/wine/prefix.sh makes it on first use).
WINE_ENV = WINEPREFIX=$(abspath $(ARCH_BUILD))/wineprefix
MAKE_PREFIX = $(if $(filter arm64,$(ARCH)),./tools/arm64/prefix.sh $(VYX_ARM64_TOOLS),./tools/wine/prefix.sh)

# ---- ARM64 ---------------------------------------------------------------------------------------
# Zig (the toolchain) and the arm64 wine that runs ARM64 programs under qemu-user are fetched,
# pinned, into $(VYX_ARM64_TOOLS), Zig's caches with them (tools/arm64/).
export VYX_ARM64_TOOLS ?= $(abspath $(BUILD_ARM64))/tools
CONFIGURE_arm64 = cmake -S . -B $(BUILD_ARM64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/zig-aarch64.cmake -DVYX_ARM64_TOOLS=$(VYX_ARM64_TOOLS) $(CMAKE_FLAGS)
# What `make test` builds of it: what the zip and its ARM64 runs need (tools/test/run-tests.sh).
ARM64_TEST_TARGETS = vyxbidi vyxsim vyxsim_reduced vyxipp vyxsnmp bidiprobe runner_probe \
	frame_tests color_tests attrib_tests jobtemplate_tests e2e_tests msvc_caller
# Where x86 programs run under emulation (tools/wine/run.sh), the machine lives in the x86 folder.
export VYX_EMU_DIR ?= $(abspath $(BUILD))/emu

.PHONY: all setup configure build test run install clean fuzz

all: build

setup:
	./tools/setup/install-deps.sh

configure: setup
	$(CONFIGURE)

build: configure
	cmake --build $(ARCH_BUILD) -j $(JOBS)

# Every architecture: the x86 and x64 folders are built, then the x86 tests run (32-bit programs
# under WoW64) and the x64 tests after them, each folder against its own prefix and test
# printers, then ARM64's. The ARM64 folder is configured and built beside the x86 tests, at low
# priority: their waits on printers and timeouts leave the processors idle about a third of the
# time, and Zig's first build of its runtimes is minutes of work. The x64 tests wait for it (the
# release zip's check takes its files). Where the host runs no 32-bit code, the x86 programs of
# the core tests run in the emulated machine and the rest in `make test-x86-emulated`
# (tools/test/run-tests.sh). Fails when any architecture fails; all always run.
test: setup
	$(CONFIGURE_x86)
	cmake --build $(BUILD) -j $(JOBS)
	$(CONFIGURE_x64)
	cmake --build $(BUILD_X64) -j $(JOBS)
	JOBS=$(JOBS) VYX_ARM64_BUILD="$(MAKE) --no-print-directory build-arm64-for-test" \
		./tools/test/run-tests.sh all $(BUILD) $(BUILD_X64) $(BUILD_ARM64)

# What `make test` builds of the ARM64 folder (run by tools/test/run-tests.sh beside the x86 tests).
.PHONY: build-arm64-for-test
build-arm64-for-test:
	$(CONFIGURE_arm64)
	cmake --build $(BUILD_ARM64) -j $(JOBS) --target $(ARM64_TEST_TARGETS)

# The x86 entries that `make test` leaves out on a host that runs no 32-bit code (the 932 runs,
# the network modules, the hostile and heap checks), in the emulated machine; on any host, so it
# installs the emulator where set-up would not.
.PHONY: test-x86-emulated
test-x86-emulated:
	VYX_EMULATOR=1 ./tools/setup/install-deps.sh
	$(CONFIGURE_x86)
	cmake --build $(BUILD) -j $(JOBS)
	./tools/test/run-tests.sh x86-emulated $(BUILD)

# Builds only the targets given, with the set-up, configure, build and the prefix's creation
# going to a log that is shown only when one of them fails, so that the report is the first
# thing on the screen. A folder configured already is not configured again (its build does that
# when the CMake description changed), so that a second run takes seconds.
#   $(call quiet_build,TARGETS)
RUN_LOG = $(ARCH_BUILD)/run-build.log
define quiet_build
	@mkdir -p $(ARCH_BUILD)
	@if ! { ./tools/setup/install-deps.sh && \
	        { [ -z "$(CMAKE_FLAGS)" ] && [ -f $(ARCH_BUILD)/CMakeCache.txt ] || $(CONFIGURE); } && \
	        cmake --build $(ARCH_BUILD) -j $(JOBS) --target $(1) && \
	        $(MAKE_PREFIX) $(abspath $(ARCH_BUILD))/wineprefix; } >$(RUN_LOG) 2>&1; then \
	    cat $(RUN_LOG); echo "make $@: the build failed; its output is above and in $(RUN_LOG)" >&2; exit 1; \
	fi
endef

# The main job: bidiprobe's report of the simulated printer, under wine.
# `make run RUN_ARGS="select ColorMode Mono"` runs another command; `make run ARCH=x64` the same
# report through the x64 build.
RUN_ARGS ?= dump
RUN_TARGETS = vyxbidi vyxsim vyxsim_reduced bidiprobe
run:
	$(call quiet_build,$(RUN_TARGETS))
	@$(WINE_ENV) ./tools/wine/run.sh $(ARCH_BUILD)/bin/bidiprobe.exe $(RUN_ARGS); \
	status=$$?; $(ARCH_NOTE_LINE); exit $$status

# A longer randomised run against the hostile query module than the one in `make test`:
#   make fuzz ITERATIONS=1000000 SEED=7 CODEPAGE=932 [ARCH=x64]
ITERATIONS ?= 1000000
SEED ?= 20240611
CODEPAGE ?= 1252
fuzz: build
	cd $(ARCH_BUILD)/bin && $(WINE_ENV) \
		LC_ALL=$(if $(filter 932,$(CODEPAGE)),ja_JP.UTF-8,C.UTF-8) \
		VYX_FUZZ_ITERATIONS=$(ITERATIONS) VYX_FUZZ_SEED=$(SEED) \
		$(CURDIR)/tools/wine/run.sh ./hostile_tests.exe

install: build
	cmake --install $(ARCH_BUILD) --prefix $(or $(PREFIX),$(ARCH_BUILD)/install)

# Every folder: the x64 and ARM64 ones lie inside the x86 one.
clean:
	rm -rf $(BUILD) $(BUILD_X64) $(BUILD_ARM64)

# The benchmark under wine: every figure in code page 1252, then the template figures in 932,
# then a whole property sheet through the IPP and SNMP modules against local printers, on
# loopback and then through bench/net/relay.py at 0, 20 and 50 ms round trips and 0 and 2 % loss
# (that table: between 2 and 3 minutes on a quiet 2-core machine, 6-7 on one shared with other
# builds).
# BENCH_ARGS passes options on, e.g. BENCH_ARGS="--rounds 31"; NET_BENCH_ARGS="--rounds 31
# --sheets 100" (loopback rounds; sheets a cell of the table, 50 by default).
# `make bench ARCH=x64` gives the figures of the x64 build.
BENCH_RUN = cd $(ARCH_BUILD)/bench && $(WINE_ENV)

.PHONY: bench
bench: configure
	@$(ARCH_NOTE_LINE)
	cmake --build $(ARCH_BUILD) -j $(JOBS) --target vyxbench
	$(BENCH_RUN) LC_ALL=C.UTF-8 $(CURDIR)/tools/wine/run.sh ./vyxbench.exe $(BENCH_ARGS)
	$(BENCH_RUN) LC_ALL=ja_JP.UTF-8 $(CURDIR)/tools/wine/run.sh ./vyxbench.exe --templates $(BENCH_ARGS)
	cmake --build $(ARCH_BUILD) -j $(JOBS) --target vyxnetbench
	LC_ALL=C.UTF-8 ./bench/net/run-net-bench.sh $(ARCH_BUILD) $(NET_BENCH_ARGS)
	$(if $(filter arm64,$(ARCH)),@$(ARCH_NOTE_LINE))

# The network codecs' fuzz targets for longer than `make test` gives them, each for SECONDS,
# going on from the inputs earlier runs found (kept in build/native/fuzz-work). They are host
# code, built in the x86 folder.
#   make fuzz-net SECONDS=600
SECONDS ?= 300
.PHONY: fuzz-net
fuzz-net:
	$(MAKE) build ARCH=x86
	cd $(BUILD)/native && cmake -DVYX_FUZZ_SECONDS=$(SECONDS) . >/dev/null && cmake --build . && \
		ctest -R _fuzzer --output-on-failure --timeout $$(( $(SECONDS) * 3 + 120 )); \
		status=$$?; cmake -DVYX_FUZZ_SECONDS=4 . >/dev/null; exit $$status

# The IPP query module against a local IPP Everywhere printer: ippeveprinter serving the colour
# test printer (IPP_PRINTER=mono for the plain one) on a free loopback port, probed through the
# library by bidiprobe, then stopped. RUN_ARGS and ARCH as for `make run`; only the library, the
# IPP module and bidiprobe are built, and the printers' start goes to the log too.
IPP_PRINTER ?= colour
IPP_RUN_TARGETS = vyxbidi vyxipp bidiprobe
.PHONY: run-ipp
run-ipp:
	$(call quiet_build,$(IPP_RUN_TARGETS))
	@peers=$(abspath $(ARCH_BUILD))/ipp-run; \
	trap './tests/modules/ipp/peers.sh stop "$$peers"' EXIT INT TERM; \
	if ! ./tests/modules/ipp/peers.sh start "$$peers" >>$(RUN_LOG) 2>&1; then \
	    cat $(RUN_LOG); echo "make $@: the test printers did not start; see $(RUN_LOG)" >&2; exit 1; \
	fi; \
	port=$$(sed -n 's/^$(IPP_PRINTER)\.1252=//p' "$$peers/ports.txt") && \
	$(WINE_ENV) ./tools/wine/run.sh $(ARCH_BUILD)/bin/bidiprobe.exe \
		--printer ipp://127.0.0.1:$$port/ipp/print $(RUN_ARGS); \
	status=$$?; $(ARCH_NOTE_LINE); exit $$status

# The SNMP module against a local agent: snmpsimd serves one of the project's recordings (the
# data file's name is its community), bidiprobe probes it through bin/snmp/VYXBIDI.SNM, and the
# agent is stopped. `make run-snmp SNMP_PRINTER=mono-laser RUN_ARGS="--json dump"`; ARCH as for
# `make run`. Only the library, the SNMP module and bidiprobe are built.
SNMP_PRINTER ?= colour-mfp
SNMP_RUN_TARGETS = vyxbidi vyxsnmp bidiprobe
.PHONY: run-snmp
run-snmp:
	$(call quiet_build,$(SNMP_RUN_TARGETS))
	@$(WINE_ENV) /usr/bin/python3 tests/modules/snmp/agents.py run \
		tests/modules/snmp/recordings -- ./tools/wine/run.sh $(ARCH_BUILD)/bin/bidiprobe.exe \
		--printer snmp://127.0.0.1:@PORT@ --second community=$(SNMP_PRINTER) $(RUN_ARGS); \
	status=$$?; $(ARCH_NOTE_LINE); exit $$status

# The release zip: the three architectures, each built only as far as the zip needs, laid out by
# tools/dist/make-dist.sh as $(BUILD)/dist/vyxbidi-<version>.zip, the only file left there.
DIST_TARGETS = vyxbidi vyxsim vyxipp vyxsnmp bidiprobe
.PHONY: dist
dist: setup
	$(CONFIGURE_x86)
	cmake --build $(BUILD) -j $(JOBS) --target $(DIST_TARGETS)
	$(CONFIGURE_x64)
	cmake --build $(BUILD_X64) -j $(JOBS) --target $(DIST_TARGETS)
	$(CONFIGURE_arm64)
	cmake --build $(BUILD_ARM64) -j $(JOBS) --target $(DIST_TARGETS)
	./tools/dist/make-dist.sh $(BUILD) $(BUILD_X64) $(BUILD_ARM64) $(BUILD)/dist
