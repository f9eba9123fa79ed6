#!/usr/bin/env python3
"""Makes the page's engine script: emscripten's loader, then the WebAssembly module,
gzip-compressed and in base64, as the variable tagwrightWasmGzip.

    embed_wasm.py LOADER.js MODULE.wasm OUTPUT.js

One script that holds the module works from file:// as from any server (browsers
refuse to fetch a separate .wasm from disk), and compressed it is about a third of
the size base64 alone would give (the readers' game-code tables compress well).
"""
import base64
import gzip
import sys


def main() -> None:
    loader, module, output = sys.argv[1:4]
    with open(module, "rb") as f:
        packed = gzip.compress(f.read(), compresslevel=9, mtime=0)
    with open(loader, encoding="utf-8") as f:
        script = f.read()
    with open(output, "w", encoding="utf-8") as f:
        f.write(script)
        f.write("\nvar tagwrightWasmGzip = '")
        f.write(base64.b64encode(packed).decode("ascii"))
        f.write("';\n")


if __name__ == "__main__":
    main()
