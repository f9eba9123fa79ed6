#!/usr/bin/env bash
# Builds the test programs in tests/gba-programs/ (C, C++ and assembly) into small GBA ROMs beside them
# (tests/gba-programs/roms/NAME.gba), with Debian's gcc-arm-none-eabi and
# libnewlib-arm-none-eabi: the programs' own start-up code (crt0.s) and linker script
# (gba.ld), a cartridge header with a title and its complement checksum, no logo.
# The ROMs are committed; run this again after changing a program.
set -euo pipefail
here="$(cd "$(dirname "$0")/../tests/gba-programs" && pwd)"
out="$here/roms"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cc=arm-none-eabi-gcc
flags=(-mcpu=arm7tdmi -mthumb-interwork -O2 -ffreestanding -nostartfiles -Wall -Wextra
       -fno-asynchronous-unwind-tables -T "$here/gba.ld" -Wl,--gc-sections -Wl,--no-warn-rwx-segments)
for source in "$here"/*.c "$here"/*.cpp "$here"/*.s; do
  name="$(basename "${source%.*}")"
  [ "$name" = crt0 ] && continue
  mode=-mthumb
  case "$name" in *_arm) mode=-marm ;; esac
  language=()
  case "$source" in *.cpp) language=(-fno-exceptions -fno-rtti -nostdlib) ;; esac
  "$cc" "${flags[@]}" "${language[@]}" "$mode" -ffunction-sections -o "$work/$name.elf" "$here/crt0.s" "$source" -lgcc
  arm-none-eabi-objcopy -O binary "$work/$name.elf" "$work/$name.gba"
  python3 - "$work/$name.gba" "$out/$name.gba" "$name" <<'PY'
import sys
rom = bytearray(open(sys.argv[1], "rb").read())
title = sys.argv[3].upper().replace("_", "")[:12].encode()
rom[0xA0:0xAC] = title.ljust(12, b"\0")
rom[0xAC:0xB0] = b"ZTWP"
rom[0xB0:0xB2] = b"01"
rom[0xB2] = 0x96
rom[0xBD] = (-(sum(rom[0xA0:0xBD]) + 0x19)) & 0xFF
rom += b"\0" * (-len(rom) % 4)
open(sys.argv[2], "wb").write(rom)
PY
  echo "$name: $(stat -c %s "$out/$name.gba") bytes"
done
