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

# The benchmark under wine: every figure in code page 1252, then the template figures in 932.
# BENCH_ARGS passes options on, e.g. BENCH_ARGS="--rounds 31".
BENCH_RUN = cd $(BUILD)/bench && WINEPREFIX=$(abspath $(BUILD))/wineprefix

.PHONY: bench
bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target vyxbench
	$(BENCH_RUN) LC_ALL=C.UTF-8 $(CURDIR)/tools/wine/run.sh ./vyxbench.exe $(BENCH_ARGS)
	$(BENCH_RUN) LC_ALL=ja_JP.UTF-8 $(CURDIR)/tools/wine/run.sh ./vyxbench.exe --templates $(BENCH_ARGS)
