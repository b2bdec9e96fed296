# Every target does its own set-up: missing Debian packages, configuring, building.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
PKG_BUILD  ?= build-package
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# --quick: one run of each job, the 16 MiB module only (CI)
BENCH_FLAGS ?=
CMAKE_GEN  := -G Ninja

export QT_QPA_PLATFORM ?= offscreen

.PHONY: all deps build test asan demo bench fuzz screenshot install uninstall package clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

screenshot: build
	./scripts/screenshot.sh $(BUILD)

bench: deps
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DFW_BUILD_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target benchmarks
	./bench/run.sh $(BENCH_FLAGS) $(BENCH_BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DFW_BUILD_FUZZ=ON -DFW_BUILD_GUI=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Installs the finished build under PREFIX (staged under DESTDIR when given); refuses
# when there is none rather than building as root. On the live system the udev rule is
# then applied at once to a programmer that is already plugged in. uninstall removes
# what install put there.
install:
	@DESTDIR="$(DESTDIR)" ./packaging/make_install.sh install "$(BUILD)" "$(PREFIX)"

uninstall:
	@DESTDIR="$(DESTDIR)" ./packaging/make_install.sh uninstall "$(BUILD)"

# The Debian package, built with Debian's hardening flags and checked by lintian.
package: deps
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	cmake -S . -B $(PKG_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=None \
	  -DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS) --target flashwrendel flashwrendel-cli
	rm -f $(PKG_BUILD)/flashwrendel_*.deb
	cd $(PKG_BUILD) && cpack -G DEB
	lintian --fail-on error $(PKG_BUILD)/flashwrendel_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(PKG_BUILD)
