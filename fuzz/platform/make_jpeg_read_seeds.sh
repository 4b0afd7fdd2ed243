#!/usr/bin/env bash
# Regenerates the JPEG reader's seeds from the platform's own writer (through `vortan-project write-jpeg`): small
# pictures at three qualities, one cut in its scan, one cut after its header, and one whose frame header claims
# 60000 x 60000.
# Usage: fuzz/platform/make_jpeg_read_seeds.sh PATH/TO/vortan-project
set -euo pipefail
tool="$1"
here="$(cd "$(dirname "$0")" && pwd)/corpus/jpeg_read"
"$tool" write-jpeg "$here/small_q90.jpg" 16 8 90 >/dev/null
"$tool" write-jpeg "$here/odd_q50.jpg" 13 11 50 >/dev/null
"$tool" write-jpeg "$here/wide_q10.jpg" 64 4 10 >/dev/null
python3 - "$here" <<'PY'
import os, sys
here = sys.argv[1]
jpeg = open(os.path.join(here, 'odd_q50.jpg'), 'rb').read()
frame = max(jpeg.find(b'\xff\xc0'), jpeg.find(b'\xff\xc2'))
open(os.path.join(here, 'cut_in_scan.jpg'), 'wb').write(jpeg[:len(jpeg) - 40])
open(os.path.join(here, 'cut_after_header.jpg'), 'wb').write(jpeg[:frame + 19])
huge = bytearray(jpeg)
huge[frame + 5:frame + 9] = bytes([60000 >> 8, 60000 & 255, 60000 >> 8, 60000 & 255])
open(os.path.join(here, 'claims_60000.jpg'), 'wb').write(bytes(huge))
PY
ls -l "$here"
