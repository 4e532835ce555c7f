#!/usr/bin/env bash
# Puts Wine's own fonts (Debian's fonts-wine: Marlett for the caption
# buttons, Tahoma, and the bitmap "MS Sans Serif" our dialogs ask for) into a
# Wine prefix's Fonts folder, as links. This Wine looks for them there and
# not in its data folder; without them it draws the caption buttons as
# letters and the dialogs in a wider stand-in font that cuts labels.
#   wine-fonts.sh PREFIX
set -euo pipefail
fonts=$1/drive_c/windows/Fonts
mkdir -p "$fonts"
for font in /usr/share/wine/fonts/*; do
    ln -sf "$font" "$fonts/"
done
