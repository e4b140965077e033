# The game's pictures and sounds: `make assets` regenerates assets/GAZUMO/ from
# tools/assets/, `make assets-preview` writes a contact sheet of every picture
# and a 10-second excerpt of each piece of music into build/assets-preview/.
# Included by the top-level Makefile; paths are relative to the repository root.

ASSETS_PYTHON   := /usr/bin/python3
ASSETS_TOOLS    := tools/assets
ASSETS_OUT      := assets/GAZUMO
ASSETS_PREVIEW  := build/assets-preview
ASSETS_PACKAGES := python3 python3-pil python3-numpy lame
ASSETS_SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: assets assets-preview assets-deps assets-check

assets-deps:
	@missing=$$(for p in $(ASSETS_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing missing packages:" $$missing; \
	    $(ASSETS_SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(ASSETS_SUDO) apt-get install -y -qq $$missing; \
	fi

assets: assets-deps
	$(ASSETS_PYTHON) $(ASSETS_TOOLS)/generate.py $(ASSETS_OUT)

assets-preview: assets-deps
	$(ASSETS_PYTHON) $(ASSETS_TOOLS)/preview.py $(ASSETS_OUT) $(ASSETS_PREVIEW)

assets-check: assets-deps
	$(ASSETS_PYTHON) tests/assets/check_assets.py $(ASSETS_OUT)
