#!/usr/bin/env bash
# Makes the README's pictures (docs/screens/*.png) again from the real
# windows over the sample practice: builds the program and the screenshot
# tool, runs the tool on the offscreen platform into a scratch folder, and
# only when every window opened replaces docs/screens with what it grabbed.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target kestrel kestrel_screenshots
scratch="$(mktemp -d)"
trap "rm -rf '$scratch'" EXIT
QT_QPA_PLATFORM=offscreen timeout 600 build/kestrel_screenshots "$scratch" >/dev/null
mkdir -p docs/screens
rm -f docs/screens/*.png
mv "$scratch"/*.png docs/screens/
echo "docs/screens: $(ls docs/screens | wc -l) pictures, $(du -sk docs/screens | cut -f1) KiB"
