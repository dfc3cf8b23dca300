# Thin front door over CMake: `make play` builds the game and starts it,
# `make test` builds and runs every test, `make check` the unit tests alone,
# `make install PREFIX=...` and `make package` install the game or build its
# Debian package.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# CI builds treat every compiler warning as an error.
WERROR ?= $(if $(CI),ON,OFF)

.PHONY: play test check windows format clean

play:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target zop
	./$(BUILD_DIR)/zop

test:
	cmake -S . -B $(BUILD_DIR) -DZOP_TESTS=ON -DZOP_WERROR=$(WERROR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS)

# The quick check after a change: the unit test programs of the native build,
# then the unit tests alone (no terminals, browsers, Windows build or package;
# `make test` builds and runs those too).
check:
	cmake -S . -B $(BUILD_DIR) -DZOP_TESTS=ON -DZOP_WERROR=$(WERROR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target unit_tests
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS) -L unit

# Formats every C++ file of the tree in the style of .clang-format, which CI checks.
format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

# The Windows console program zop.exe, cross-compiled with mingw-w64.
WINDOWS_BUILD_DIR ?= build-windows
windows:
	cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DZOP_WERROR=$(WERROR)
	cmake --build $(WINDOWS_BUILD_DIR) --parallel $(JOBS)

# Installs zop into $(PREFIX)/bin, its manual page into $(PREFIX)/share/man/man6,
# its desktop entry, metainfo and copyright under $(PREFIX)/share
# (DESTDIR=/some/dir stages them under that dir).
PREFIX ?= /usr/local
.PHONY: install package
install:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target zop
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package $(PACKAGE_DIR)/zop_<version>_<arch>.deb, made by CPack
# from a Release build of its own: the game in /usr/games, the manual page
# and the changelog compressed, the dependencies read off the binary.
PACKAGE_DIR ?= build-package
package:
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DZOP_TESTS=OFF \
	  -DZOP_WERROR=$(WERROR) -DCMAKE_INSTALL_BINDIR=games -DZOP_MAN_GZIP=ON \
	  -DZOP_DEBIAN_CHANGELOG=ON
	cmake --build $(PACKAGE_DIR) --parallel $(JOBS)
	cd $(PACKAGE_DIR) && cpack -G DEB

# The release into $(DIST_DIR), each file named with the version: the source
# tarball zop-VERSION.tar.gz, the Debian package, zop-VERSION-windows.zip and
# zop-VERSION-web.zip, and SHA256SUMS over them; built in $(DIST_BUILD_DIR),
# the same bit for bit on every machine (see packaging/dist.sh).
DIST_DIR ?= dist
DIST_BUILD_DIR ?= build-dist
.PHONY: dist
dist:
	sh packaging/dist.sh $(DIST_DIR) $(DIST_BUILD_DIR)

# Bytes to the terminal and CPU, against ncurses on the same screens, on the
# tests' scripted games (needs libncurses-dev and GoogleTest): a Release build
# of its own with the benchmark, run on the zop built there, printing one table.
BENCH_DIR ?= build-bench
.PHONY: bench
bench:
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DZOP_BENCH=ON -DZOP_TESTS=ON
	cmake --build $(BENCH_DIR) --parallel $(JOBS) --target zop_bench zop
	./$(BENCH_DIR)/bench/zop_bench ./$(BENCH_DIR)/zop

# The mutation check: each small break of the product code listed in
# tests/mutation/breaks.txt, applied alone to a scratch copy in $(MUTANTS_DIR),
# must make a unit test fail.
MUTANTS_DIR ?= build-mutants
.PHONY: mutants
mutants:
	MUTANTS_DIR=$(abspath $(MUTANTS_DIR)) bash tests/mutation/run.sh

# The game as a static web page in $(WEB_DIR): the same sources as WebAssembly
# (Emscripten, built in $(WEB_BUILD_DIR)) and the page's own files of
# platform/page/, which draw the console's cells themselves, with its icons
# (rendered from marble.svg by platform/page/icons.sh and kept).  The service
# worker is told the files to keep, WEB_KEPT (every file of the page but its
# own), and its cache is named by the version and a digest of them.  Prints
# each file's size as it is and compressed.  Debian's emscripten finds its
# JavaScript parser through NODE_PATH.
WEB_DIR ?= build-web
WEB_BUILD_DIR ?= build-emscripten
WEB_NODE_PATH ?= /usr/share/nodejs
WEB_FILES = $(addprefix platform/page/,index.html offline.js page.js screen.js paint.js marble.svg \
  icon-192.png icon-512-maskable.png apple-touch-icon.png manifest.webmanifest sw.js) $(WEB_BUILD_DIR)/zop.js $(WEB_BUILD_DIR)/zop.wasm
WEB_KEPT = $(sort $(filter-out sw.js,$(notdir $(WEB_FILES))))
.PHONY: web
web:
	NODE_PATH=$(WEB_NODE_PATH) emcmake cmake -S . -B $(WEB_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release \
	  -DZOP_TESTS=OFF -DZOP_WERROR=$(WERROR)
	NODE_PATH=$(WEB_NODE_PATH) cmake --build $(WEB_BUILD_DIR) --parallel $(JOBS) --target zop
	rm -rf $(WEB_DIR)
	mkdir -p $(WEB_DIR)
	cp $(WEB_FILES) $(WEB_DIR)/
	version=$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $(WEB_BUILD_DIR)/CMakeCache.txt) && \
	  digest=$$(cd $(WEB_DIR) && cat $(WEB_KEPT) | sha256sum | cut -c1-12) && \
	  sed -i "s/@BUILD@/$$version-$$digest/; s/@FILES@/$(WEB_KEPT)/" $(WEB_DIR)/sw.js
	sh platform/page/sizes.sh $(WEB_DIR)

# Screenshots of the game in real terminal emulators (needs Xvfb, the
# terminals and ImageMagick, as the terminal tests do) into $(SCREENSHOTS_DIR);
# the game in progress in xterm becomes the README's picture.
SCREENSHOTS_DIR ?= build-screenshots
.PHONY: screenshots
screenshots:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target zop
	sh tests/terminals/screenshots.sh $(SCREENSHOTS_DIR) $(abspath $(BUILD_DIR))/zop
	cp $(SCREENSHOTS_DIR)/game-in-xterm.png docs/zop-in-xterm.png

clean:
	rm -rf $(BUILD_DIR) $(WINDOWS_BUILD_DIR) $(PACKAGE_DIR) $(BENCH_DIR) $(MUTANTS_DIR) \
	  $(SCREENSHOTS_DIR) $(WEB_DIR) $(WEB_BUILD_DIR) $(DIST_DIR) $(DIST_BUILD_DIR)
