# Set-up, build and test of VYXBIDI.dll. `make test` works on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build test run install clean fuzz

all: build

setup:
	./tools/setup/install-deps.sh

configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The main job: bidiprobe's report of the simulated printer, under wine.
# `make run RUN_ARGS="select ColorMode Mono"` runs another command. Only what the report needs is
# built, and the set-up and build output goes to a log, shown only when they fail, so that the
# report is the first thing on the screen.
RUN_ARGS ?= dump
RUN_TARGETS = vyxbidi vyxsim vyxsim_reduced bidiprobe
RUN_LOG = $(BUILD)/run-build.log
run:
	@mkdir -p $(BUILD)
	@if ! { ./tools/setup/install-deps.sh && \
	        cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake $(CMAKE_FLAGS) && \
	        cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS); } >$(RUN_LOG) 2>&1; then \
	    cat $(RUN_LOG); echo "make run: the build failed; its output is above and in $(RUN_LOG)" >&2; exit 1; \
	fi
	@WINEPREFIX=$(abspath $(BUILD))/wineprefix ./tools/wine/run.sh $(BUILD)/bin/bidiprobe.exe $(RUN_ARGS)

# A longer randomised run against the hostile query module than the one in `make test`:
#   make fuzz ITERATIONS=1000000 SEED=7 CODEPAGE=932
ITERATIONS ?= 1000000
SEED ?= 20240611
CODEPAGE ?= 1252
fuzz: build
	cd $(BUILD)/bin && WINEPREFIX=$(abspath $(BUILD))/wineprefix \
		LC_ALL=$(if $(filter 932,$(CODEPAGE)),ja_JP.UTF-8,C.UTF-8) \
		VYX_FUZZ_ITERATIONS=$(ITERATIONS) VYX_FUZZ_SEED=$(SEED) \
		$(CURDIR)/tools/wine/run.sh ./hostile_tests.exe

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),$(BUILD)/install)

clean:
	rm -rf $(BUILD)

# The benchmark under wine: every figure in code page 1252, then the template figures in 932,
# then a whole property sheet through the IPP and SNMP modules against local printers.
# BENCH_ARGS passes options on, e.g. BENCH_ARGS="--rounds 31"; NET_BENCH_ARGS="--rounds 31".
BENCH_RUN = cd $(BUILD)/bench && WINEPREFIX=$(abspath $(BUILD))/wineprefix

.PHONY: bench
bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target vyxbench
	$(BENCH_RUN) LC_ALL=C.UTF-8 $(CURDIR)/tools/wine/run.sh ./vyxbench.exe $(BENCH_ARGS)
	$(BENCH_RUN) LC_ALL=ja_JP.UTF-8 $(CURDIR)/tools/wine/run.sh ./vyxbench.exe --templates $(BENCH_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target vyxnetbench
	LC_ALL=C.UTF-8 ./bench/net/run-net-bench.sh $(BUILD) $(NET_BENCH_ARGS)

# The network codecs' fuzz targets for longer than `make test` gives them, each for SECONDS,
# going on from the inputs earlier runs found (kept in build/native/fuzz-work):
#   make fuzz-net SECONDS=600
SECONDS ?= 300
.PHONY: fuzz-net
fuzz-net: build
	cd $(BUILD)/native && cmake -DVYX_FUZZ_SECONDS=$(SECONDS) . >/dev/null && cmake --build . && \
		ctest -R _fuzzer --output-on-failure --timeout $$(( $(SECONDS) * 3 + 120 )); \
		status=$$?; cmake -DVYX_FUZZ_SECONDS=4 . >/dev/null; exit $$status

# The IPP query module against a local IPP Everywhere printer: ippeveprinter serving the colour
# test printer (IPP_PRINTER=mono for the plain one) on a free loopback port, probed through the
# library by bidiprobe, then stopped. RUN_ARGS picks the command as for `make run`.
IPP_PRINTER ?= colour
.PHONY: run-ipp
run-ipp: build
	@peers=$(abspath $(BUILD))/ipp-run; \
	trap './tests/modules/ipp/peers.sh stop "$$peers"' EXIT INT TERM; \
	./tests/modules/ipp/peers.sh start "$$peers" && \
	port=$$(sed -n 's/^$(IPP_PRINTER)\.1252=//p' "$$peers/ports.txt") && \
	WINEPREFIX=$(abspath $(BUILD))/wineprefix ./tools/wine/run.sh $(BUILD)/bin/bidiprobe.exe \
		--printer ipp://127.0.0.1:$$port/ipp/print $(RUN_ARGS)

# The SNMP module against a local agent: snmpsimd serves one of the project's recordings (the
# data file's name is its community), bidiprobe probes it through bin/snmp/VYXBIDI.SNM, and the
# agent is stopped. `make run-snmp SNMP_PRINTER=mono-laser RUN_ARGS="--json dump"`.
SNMP_PRINTER ?= colour-mfp
.PHONY: run-snmp
run-snmp: build
	@WINEPREFIX=$(abspath $(BUILD))/wineprefix /usr/bin/python3 tests/modules/snmp/agents.py run \
		tests/modules/snmp/recordings -- ./tools/wine/run.sh $(BUILD)/bin/bidiprobe.exe \
		--printer snmp://127.0.0.1:@PORT@ --second community=$(SNMP_PRINTER) $(RUN_ARGS)

# The release zip: both architectures, each built only as far as the zip needs, laid out by
# tools/dist/make-dist.sh as $(BUILD)/dist/vyxbidi-<version>.zip, the only file left there.
BUILD_X64 ?= $(BUILD)/x64
DIST_TARGETS = vyxbidi vyxsim vyxipp vyxsnmp bidiprobe
.PHONY: dist
dist: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(DIST_TARGETS)
	cmake -S . -B $(BUILD_X64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake \
		-DVYX_X86_BUILD_DIR=$(abspath $(BUILD)) $(CMAKE_FLAGS)
	cmake --build $(BUILD_X64) -j $(JOBS) --target $(DIST_TARGETS)
	./tools/dist/make-dist.sh $(BUILD) $(BUILD_X64) $(BUILD)/dist
