# Thin front door over CMake: `make play` builds the game and starts it,
# `make test` builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# CI builds treat every compiler warning as an error.
WERROR ?= $(if $(CI),ON,OFF)

.PHONY: play test clean

play:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target zop
	./$(BUILD_DIR)/zop

test:
	cmake -S . -B $(BUILD_DIR) -DZOP_TESTS=ON -DZOP_WERROR=$(WERROR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS)

clean:
	rm -rf $(BUILD_DIR)
