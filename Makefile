# Front end for the CMake build: `make demo` and `make test` install what the build needs,
# build, and run. Build tree: build/ (build-asan/ for the sanitizer run).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# Debian packages the build, the tests and the demo need.
PACKAGES = build-essential cmake pkg-config git qt6-base-dev qt6-base-dev-tools libgl-dev \
           libusb-1.0-0-dev libgtest-dev libgmock-dev googletest libbenchmark-dev \
           libcli11-dev libfmt-dev binutils srecord clang libclang-rt-14-dev \
           xvfb xauth imagemagick clang-format
# The libusb tests against emulated USB devices (tests/umockdev); skipped where missing.
UMOCKDEV_PACKAGES = umockdev libumockdev-dev

# udev rule for the real bus (see README): without UDEV_GROUP the person at the seat gets access
# (uaccess); with UDEV_GROUP=plugdev (or another existing group) that group does.
UDEV_DIR   ?= /etc/udev/rules.d
UDEV_GROUP ?=

# What docs/screenshots.sh needs besides the build.
SCREENSHOT_PACKAGES = xvfb xauth openbox xdotool imagemagick

.PHONY: deps test-deps install-packages install-udev build build-asan demo test test-asan bench fuzz screenshots clean

deps:
	@$(MAKE) --no-print-directory install-packages WANTED="$(PACKAGES)"

test-deps:
	@$(MAKE) --no-print-directory install-packages WANTED="$(UMOCKDEV_PACKAGES)"

install-packages:
	@missing=$$(for p in $(WANTED); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" -eq 0 ]; then \
	    echo "Installing:" $$missing; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages; install them as root with:"; \
	    echo "  sudo apt-get install -y" $$missing; exit 1; \
	  fi; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The one-button update on the virtual product, with the demo firmware the build generates.
demo: build
	cd $(BUILD)/bin && ./qvtool --simulate list && ./qvtool --simulate update --yes

test: test-deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

test-asan: test-deps build-asan
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

install-udev:
	@if [ "$$(id -u)" -ne 0 ]; then echo "Run as root: sudo make install-udev"; exit 1; fi
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

# The update panel pictures in docs/, from the window under a window manager on a virtual screen.
screenshots: build
	@$(MAKE) --no-print-directory install-packages WANTED="$(SCREENSHOT_PACKAGES)"
	docs/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
