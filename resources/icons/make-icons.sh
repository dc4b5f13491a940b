#!/bin/sh
# Regenerates the toolbar, navigation and application icons in this folder.
#
# The PNG files are committed and are what the program uses; run this only
# after changing a drawing below. Each icon is a small SVG drawn on a pixel
# grid (viewBox = size in pixels, so straight edges land on whole pixels)
# and rendered with rsvg-convert (Debian/Ubuntu: librsvg2-bin). ImageMagick's
# convert is used instead when rsvg-convert is missing.
#
# Usage: sh make-icons.sh            (writes the PNGs beside this script)

set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

render() { # render NAME SIZE  (reads the SVG on stdin)
    svg="$work/$1.svg"
    cat >"$svg"
    if command -v rsvg-convert >/dev/null 2>&1; then
        rsvg-convert -w "$2" -h "$2" -o "$here/$1.png" "$svg"
    else
        convert -background none "$svg" -resize "$2x$2" "PNG32:$here/$1.png"
    fi
    echo "wrote $1.png (${2}x$2)"
}

render_wh() { # render_wh NAME WIDTH HEIGHT  (non-square, reads stdin)
    svg="$work/$1.svg"
    cat >"$svg"
    if command -v rsvg-convert >/dev/null 2>&1; then
        rsvg-convert -w "$2" -h "$3" -o "$here/$1.png" "$svg"
    else
        convert -background none "$svg" -resize "$2x$3!" "PNG32:$here/$1.png"
    fi
    echo "wrote $1.png (${2}x$3)"
}

# Palette shared by all drawings.
NAVY='#1f4f82'      # outlines, hulls, navigation arrows
INK='#33414f'       # dark strokes on paper
PAPER='#ffffff'
PAPER_EDGE='#7a8896'
ORANGE='#e8842c'
TEAL='#2a9d8f'
RED='#c8423b'
GREEN='#2e9a4a'
WOOD='#a0693a'
# A pale rim drawn under dark shapes so they stay visible on dark skins;
# on light backgrounds it disappears.
HALO='fill="#ffffff" stroke="#ffffff" stroke-opacity="0.85" fill-opacity="0.85" stroke-width="2" stroke-linejoin="round"'

# --- Toolbar, 32x32 -------------------------------------------------------

# Cargo information: a container ship with a deck load of boxes.
render cargo 32 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <!-- bridge at the stern -->
  <rect x="4" y="9" width="5" height="10" fill="$PAPER" stroke="$NAVY" stroke-width="1"/>
  <rect x="5" y="11" width="3" height="2" fill="$NAVY"/>
  <!-- containers, two tiers -->
  <rect x="10" y="14" width="6" height="5" fill="$ORANGE" stroke="$INK" stroke-width="0.8"/>
  <rect x="16" y="14" width="6" height="5" fill="$TEAL" stroke="$INK" stroke-width="0.8"/>
  <rect x="22" y="14" width="6" height="5" fill="$RED" stroke="$INK" stroke-width="0.8"/>
  <rect x="13" y="9" width="6" height="5" fill="$TEAL" stroke="$INK" stroke-width="0.8"/>
  <rect x="19" y="9" width="6" height="5" fill="$ORANGE" stroke="$INK" stroke-width="0.8"/>
  <!-- hull -->
  <path d="M1 19 H31 L27 26 H4 Z" $HALO/>
  <path d="M1 19 H31 L27 26 H4 Z" fill="$NAVY"/>
  <rect x="3" y="20" width="27" height="1.5" fill="$RED"/>
  <!-- water -->
  <path d="M1 29 q2.5 -2 5 0 t5 0 t5 0 t5 0 t5 0 t5 0" fill="none" stroke="#3b8fd9" stroke-width="1.5"/>
</svg>
EOF

# Check-list printing: a clipboard with ticked lines.
render checklist 32 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <rect x="4" y="3" width="24" height="28" rx="2.5" fill="$WOOD"/>
  <rect x="7" y="6" width="18" height="23" fill="$PAPER" stroke="$PAPER_EDGE" stroke-width="0.8"/>
  <!-- clip -->
  <rect x="11" y="1" width="10" height="6" rx="1.5" fill="#b9c2cc" stroke="$INK" stroke-width="1"/>
  <rect x="14" y="2.5" width="4" height="1.5" fill="$INK"/>
  <!-- three ticked lines -->
  <g fill="none" stroke="$GREEN" stroke-width="2" stroke-linecap="round" stroke-linejoin="round">
    <path d="M9 12.5 l1.8 1.8 l3 -3.5"/>
    <path d="M9 18.5 l1.8 1.8 l3 -3.5"/>
    <path d="M9 24.5 l1.8 1.8 l3 -3.5"/>
  </g>
  <g fill="$INK">
    <rect x="16" y="12" width="7" height="1.6"/>
    <rect x="16" y="18" width="7" height="1.6"/>
    <rect x="16" y="24" width="7" height="1.6"/>
  </g>
</svg>
EOF

# XML file for an agent: a page with a folded corner and a "</>" mark.
render xmlfile 32 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M6.5 1.5 H20 L26.5 8 V30.5 H6.5 Z" fill="$PAPER" stroke="$PAPER_EDGE" stroke-width="1"/>
  <path d="M20 1.5 V8 H26.5" fill="#dfe5ea" stroke="$PAPER_EDGE" stroke-width="1" stroke-linejoin="round"/>
  <rect x="2" y="14" width="28" height="12" rx="2" fill="$ORANGE"/>
  <g fill="none" stroke="$PAPER" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round">
    <path d="M10.5 16.5 L6.5 20 L10.5 23.5"/>
    <path d="M21.5 16.5 L25.5 20 L21.5 23.5"/>
    <path d="M17.5 16 L14.5 24"/>
  </g>
</svg>
EOF

# EGM flat file: a page of fixed-width lines with an "EGM" band.
render flatfile 32 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M6.5 1.5 H20 L26.5 8 V30.5 H6.5 Z" fill="$PAPER" stroke="$PAPER_EDGE" stroke-width="1"/>
  <path d="M20 1.5 V8 H26.5" fill="#dfe5ea" stroke="$PAPER_EDGE" stroke-width="1" stroke-linejoin="round"/>
  <g fill="$INK">
    <rect x="9" y="5" width="9" height="1.5"/>
    <rect x="9" y="9" width="15" height="1.5"/>
    <rect x="9" y="12" width="12" height="1.5"/>
  </g>
  <rect x="2" y="16" width="28" height="11" rx="2" fill="$GREEN"/>
  <text x="16" y="25" font-family="DejaVu Sans, Verdana, Arial, sans-serif" font-weight="bold"
        font-size="9.5" text-anchor="middle" fill="$PAPER">EGM</text>
</svg>
EOF

# Check EGM: a container under a magnifying glass.
render checkegm 32 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <rect x="2" y="6" width="20" height="12" fill="$ORANGE" stroke="$INK" stroke-width="1"/>
  <path d="M6 8 V16 M10 8 V16 M14 8 V16 M18 8 V16" stroke="$INK" stroke-width="0.8"/>
  <circle cx="19" cy="18" r="7" $HALO/>
  <circle cx="19" cy="18" r="6" fill="$PAPER" fill-opacity="0.6" stroke="$NAVY" stroke-width="2.2"/>
  <path d="M16 18 l2 2.5 l4 -5" fill="none" stroke="$GREEN" stroke-width="2"/>
  <path d="M23.5 22.5 L30 29" stroke="$NAVY" stroke-width="3.2" stroke-linecap="round"/>
</svg>
EOF

# --- Record navigation, 24x24 ---------------------------------------------

render first 24 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <g $HALO>
    <rect x="5" y="5" width="3" height="14"/>
    <path d="M19 5 V19 L9 12 Z"/>
  </g>
  <rect x="5" y="5" width="3" height="14" fill="$NAVY"/>
  <path d="M19 5 V19 L9 12 Z" fill="$NAVY"/>
</svg>
EOF

render previous 24 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <path d="M17 5 V19 L7 12 Z" $HALO/>
  <path d="M17 5 V19 L7 12 Z" fill="$NAVY"/>
</svg>
EOF

render next 24 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <path d="M7 5 V19 L17 12 Z" $HALO/>
  <path d="M7 5 V19 L17 12 Z" fill="$NAVY"/>
</svg>
EOF

render last 24 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <g $HALO>
    <path d="M5 5 V19 L15 12 Z"/>
    <rect x="16" y="5" width="3" height="14"/>
  </g>
  <path d="M5 5 V19 L15 12 Z" fill="$NAVY"/>
  <rect x="16" y="5" width="3" height="14" fill="$NAVY"/>
</svg>
EOF

# Exit: an open door with an arrow leaving through it.
render door 24 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <rect x="3.5" y="2.5" width="11" height="19" $HALO/>
  <rect x="3.5" y="2.5" width="11" height="19" fill="#4a5868" stroke="$INK" stroke-width="1"/>
  <path d="M3.5 2.5 L10.5 4.5 V23 L3.5 21.5 Z" fill="$WOOD" stroke="$INK" stroke-width="1" stroke-linejoin="round"/>
  <circle cx="8.8" cy="13" r="1" fill="#f4d35e"/>
  <path d="M12 12 H20" stroke="$PAPER" stroke-opacity="0.85" stroke-width="4.4" stroke-linecap="round"/>
  <path d="M17.5 7.5 L22.5 12 L17.5 16.5 Z" $HALO/>
  <path d="M12 12 H20" stroke="$GREEN" stroke-width="2.6" stroke-linecap="round"/>
  <path d="M17.5 7.5 L22.5 12 L17.5 16.5 Z" fill="$GREEN"/>
</svg>
EOF

# --- Application icon, 64x64 ----------------------------------------------

# A white "T" standing on a hull, read both as the initial and as a mast
# with its yard; waves below.
render tarvex 64 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <rect x="2" y="2" width="60" height="60" rx="12" fill="$NAVY"/>
  <rect x="14" y="11" width="36" height="7" rx="1.5" fill="$PAPER"/>
  <rect x="28.5" y="11" width="7" height="28" fill="$PAPER"/>
  <rect x="17" y="21" width="10" height="7" fill="$ORANGE"/>
  <rect x="37" y="21" width="10" height="7" fill="$TEAL"/>
  <rect x="17" y="30" width="10" height="7" fill="$TEAL"/>
  <rect x="37" y="30" width="10" height="7" fill="$ORANGE"/>
  <path d="M8 39 H56 L49 49 H15 Z" fill="$PAPER"/>
  <path d="M8 55 q4 -3.5 8 0 t8 0 t8 0 t8 0 t8 0 t8 0" fill="none" stroke="#7fb8e8"
        stroke-width="3" stroke-linecap="round"/>
</svg>
EOF

# --- Combo box arrows for the style-sheet skins ---------------------------

render_wh combo-down-dark 10 6 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="10" height="6" viewBox="0 0 10 6">
  <path d="M0 0 H10 L5 6 Z" fill="#1b2a3a"/>
</svg>
EOF

render_wh combo-down-light 10 6 <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="10" height="6" viewBox="0 0 10 6">
  <path d="M0 0 H10 L5 6 Z" fill="#e6e9ec"/>
</svg>
EOF
