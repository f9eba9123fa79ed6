#!/usr/bin/env bash
# Makes a sample ROM and runs the main job on it: a 512 kbit SRAM save tag,
# a new title, a repaired header and padding to the next power of two.
set -euo pipefail
make_sample_rom=$1
tagwright=$2
workdir=$3

mkdir -p "$workdir"
cd "$workdir"
"$make_sample_rom" sample.gba
rm -f sample-patched.gba

echo "In $workdir:"
echo "\$ tagwright sample.gba -s6 -p -tDEMOTAGGED -osample-patched.gba"
"$tagwright" sample.gba -s6 -p -tDEMOTAGGED -osample-patched.gba

in_size=$(wc -c < sample.gba)
out_size=$(wc -c < sample-patched.gba)
echo "input:  $workdir/sample.gba, $in_size bytes"
echo "output: $workdir/sample-patched.gba, $out_size bytes ($in_size + 12-byte save tag, padded with 0xFF to $out_size)"
# The tag starts word-aligned and is zero-padded to 12 bytes; the shell keeps no NUL bytes.
tag_at=$(( (in_size + 3) / 4 * 4 ))
echo "save tag at offset $tag_at: \"$(dd if=sample-patched.gba bs=1 skip="$tag_at" count=12 status=none | tr -d '\0')\""
echo "title at 0xA0: \"$(dd if=sample-patched.gba bs=1 skip=160 count=12 status=none | tr -d '\0')\""
