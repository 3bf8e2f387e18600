# wine's own programs, called by their paths: Debian's wrappers in /usr/bin pick the 32-bit
# loader for every program once wine32 is installed, and cannot start at all where the host runs
# no 32-bit code. Sourced by the scripts beside it.
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver64
# The emulated machine that runs x86 programs where the host runs no 32-bit code (tools/emu/).
VYX_EMU_DIR="${VYX_EMU_DIR:-$(cd "$(dirname "$0")/../.." && pwd)/build/emu}"
# Zig and the arm64 wine that runs ARM64 programs under qemu-user (tools/arm64/).
VYX_ARM64_TOOLS="${VYX_ARM64_TOOLS:-$(cd "$(dirname "$0")/../.." && pwd)/build/arm64/tools}"
