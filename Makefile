# Front end for the CMake build. Each target installs the Debian packages it needs (as root with
# apt-get; otherwise it names the command to run as root) and nothing more.
# Build trees: build/ (build-asan/ for the sanitizer run).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# The build and the tests (srecord: the HEX loader is checked against srec_cat; librsvg2-bin
# draws the icon's sizes; groff-base and zsh run the man pages and the completion in tests).
BUILD_PACKAGES = build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev \
                 libusb-1.0-0-dev libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev srecord \
                 librsvg2-bin groff-base zsh
# The demo: qvtool and the demo firmware only, no window, no tests.
DEMO_PACKAGES = build-essential cmake pkg-config libusb-1.0-0-dev libcli11-dev nlohmann-json3-dev
# Everything on; a build folder that `make demo` made gets the rest this way.
FULL_BUILD = -DQV_BUILD_WINDOW=ON -DQV_BUILD_TESTS=ON -DQV_BUILD_BENCH=ON
# A new build folder for the demo holds the command line only.
DEMO_BUILD = $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DQV_BUILD_WINDOW=OFF -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF)
# The Debian package (make deb) and its check on a fresh minimal Debian (make test-deb).
DEB_PACKAGES = dpkg-dev file desktop-file-utils appstream
TEST_DEB_PACKAGES = lintian debootstrap
# The libusb tests against emulated USB devices (tests/umockdev); skipped where missing.
UMOCKDEV_PACKAGES = umockdev libumockdev-dev
# The window screenshots in docs/.
SHOT_PACKAGES = xvfb xauth openbox xdotool imagemagick
# The kernel stage: Debian's kernel booted in QEMU attaches qvdevice over USB/IP (tests/kernel/);
# the kernel, busybox and usbip packages themselves are fetched into a cache by the stage.
KERNEL_PACKAGES = qemu-system-x86 busybox-static cpio
# clang-format over the sources.
FORMAT_PACKAGES = clang-format
# qvtool's own system calls failed one at a time (tests/syscall-faults.sh).
SYSCALL_FAULT_PACKAGES = strace

# The fuzz targets' compiler and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES = clang libclang-rt-14-dev
# `make fuzz` runs every target for FUZZ_SECONDS; `make fuzz-long` until FUZZ_RUNS inputs each.
FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?= 10000000

# The Windows cross-build (qvtool.exe and the Qt-free tests) and Wine to run it. CLI11 and
# GoogleTest come as headers and sources and are built by the cross compiler.
WINDOWS_PACKAGES = g++-mingw-w64-x86-64-posix libcli11-dev nlohmann-json3-dev googletest wine wine64
WIN_BUILD ?= build-windows

NEED = tools/need-packages

# udev rule for the real bus (see README): without UDEV_GROUP the person at the seat gets access
# (uaccess); with UDEV_GROUP=plugdev (or another existing group) that group does.
UDEV_DIR   ?= /etc/udev/rules.d
UDEV_GROUP ?=

.PHONY: deps test-deps build build-asan demo test test-asan test-syscall-faults test-kernel deb test-deb screenshots format install-udev fuzz fuzz-long windows test-windows windows-zip clean

deps:
	@$(NEED) $(BUILD_PACKAGES)

test-deps:
	@$(NEED) $(UMOCKDEV_PACKAGES)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(FULL_BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The one-button update on the virtual product, with the demo firmware the build generates;
# builds only those two.
demo:
	@$(NEED) $(DEMO_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(DEMO_BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS) --target qvtool demo_firmware
	cd $(BUILD)/bin && ./qvtool --simulate list && ./qvtool --simulate update --yes

test: test-deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

test-asan: test-deps build-asan
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Fails qvtool's openat, read, write, rename, fsync, ftruncate and flock calls at a spread of
# positions with ENOSPC, EIO, EACCES, EMFILE, EINTR and others, during an update with a state file
# and a traffic log, a flash read and an image export; prints its summary and fails on any false
# success or damaged file. SYSCALL_FAULT_POSITIONS: positions per call and run kind.
SYSCALL_FAULT_POSITIONS ?= 16
test-syscall-faults: deps
	@$(NEED) $(SYSCALL_FAULT_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS) --target qvtool
	tests/syscall-faults.sh $(BUILD)/bin/qvtool $(SYSCALL_FAULT_POSITIONS)

# qvtool through a real kernel: qvdevice exports the virtual device over USB/IP inside a QEMU
# machine, vhci-hcd attaches it, and the steps of tests/kernel/guest-steps run there.
test-kernel: deps
	@$(NEED) $(KERNEL_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS) --target qvtool qvdevice demo_firmware
	tests/kernel/run.sh $(BUILD)

# $(BUILD)/qvupdate_<version>_<arch>.deb: the programs and what cmake/Install.cmake installs.
deb: deps
	@$(NEED) $(DEB_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(FULL_BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS) --target qvtool qvupdate demo_firmware packaging_files
	desktop-file-validate packaging/qvupdate.desktop
	appstreamcli validate --no-net $(BUILD)/packaging/com.quorvex.qvupdate.metainfo.xml
	rm -f $(BUILD)/qvupdate_*.deb
	cd $(BUILD) && cpack -G DEB

# lintian, then the package installed into a fresh minimal Debian and used there.
test-deb: deb
	@$(NEED) $(TEST_DEB_PACKAGES)
	packaging/test-deb.sh $(BUILD)/qvupdate_*.deb

screenshots: build
	@$(NEED) $(SHOT_PACKAGES)
	docs/screenshots.sh $(BUILD)

format:
	@$(NEED) $(FORMAT_PACKAGES)
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

install-udev:
	@if [ "$$(id -u)" -ne 0 ]; then echo "Run as root: su -c 'make install-udev' (or sudo make install-udev)"; exit 1; fi
ifeq ($(UDEV_GROUP),)
	install -m 0644 platform/libusb/70-qv4820.rules $(UDEV_DIR)/70-qv4820.rules
else
	@getent group "$(UDEV_GROUP)" >/dev/null || \
	  { echo "No group '$(UDEV_GROUP)'; create it first (groupadd $(UDEV_GROUP))"; exit 1; }
	sed 's/GROUP="plugdev"/GROUP="$(UDEV_GROUP)"/' platform/libusb/70-qv4820-group.rules \
	  > $(UDEV_DIR)/70-qv4820-group.rules
	chmod 0644 $(UDEV_DIR)/70-qv4820-group.rules
endif
	@if udevadm control --reload-rules 2>/dev/null; then \
	  udevadm trigger --subsystem-match=usb --attr-match=idVendor=a7d6; \
	  udevadm trigger --subsystem-match=usb --attr-match=idVendor=0c5e; \
	  echo "udev reloaded; unplug and replug a device that was already connected if it still fails"; \
	else \
	  echo "udev is not running here; the rule applies once it starts"; \
	fi

fuzz: deps
	@$(NEED) $(FUZZ_PACKAGES)
	fuzz/run.sh time $(FUZZ_SECONDS)

fuzz-long: deps
	@$(NEED) $(FUZZ_PACKAGES)
	fuzz/run.sh runs $(FUZZ_RUNS)

# The window too, unless WINDOWS_WINDOW=0: its Qt for Windows is built from Debian's source once
# per machine into a cache outside the build trees (tools/build-qt-windows, about half an hour).
WINDOWS_WINDOW ?= 1

windows: deps
	@$(NEED) $(WINDOWS_PACKAGES)
	qt=$$(if [ "$(WINDOWS_WINDOW)" != 0 ]; then tools/build-qt-windows; fi) && \
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DQV_QT_WINDOWS_PREFIX=$$qt \
	      -DQV_REFERENCE_QVTOOL=$(abspath $(BUILD))/bin/qvtool \
	      -DQV_FIRMWARE_NOTE=$(abspath $(BUILD))/packaging/firmware-files.txt $(CMAKE_ARGS)
	cmake/wine-session.sh $(WIN_BUILD) cmake --build $(WIN_BUILD) -j$(JOBS)

# The tests under Wine, qvtool.exe's files compared byte for byte with the Linux build's and,
# with the window, qvupdate.exe run on a virtual screen through an update.
test-windows: deps windows
	@if [ "$(WINDOWS_WINDOW)" != 0 ]; then $(NEED) $(SHOT_PACKAGES) fonts-dejavu-core; fi
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS) --target qvtool
	cmake/wine-session.sh $(WIN_BUILD) ctest --test-dir $(WIN_BUILD) --output-on-failure -j$(JOBS)

# The folder and zip a Windows technician downloads: qvupdate.exe, qvtool.exe, the demo
# firmware, the firmware note (from the host build), a read-me, the licences, and what a user
# needs to relink the window against another Qt; packing checks the zip holds all of it.
windows-zip: windows
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(FULL_BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS) --target firmware_note
	cmake --build $(WIN_BUILD) --target windows_zip

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) build-fuzz
