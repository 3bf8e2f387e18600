# Set-up, build and test of VYXBIDI.dll. `make test` works on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build test fuzz install clean

all: build

setup:
	./tools/setup/install-deps.sh

configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

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
