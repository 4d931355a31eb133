#!/bin/sh
# Starts the desktop program under a virtual X server on photographs of the
# mate-backgrounds package and writes PNG screenshots of its windows into
# docs/screenshots/: the main window with two images (one zoomed out), the
# save dialog with the JPEG preview, the Rotate dialog with its preview, the
# preferences dialog, the scan dialog, the three pages of the batch settings
# and the batch dialog stepping through photographs (result and thumbnail
# tabs); then the image browser and the open dialog with its preview; a
# compound image window with a photograph, a text and regions; then the
# page window on a small web page with a compound image; last, under a
# window manager (twm) so that the title bar shows, a large photograph
# opened fitted to the window, and a phone photograph in Adobe RGB stored on
# its side, and a picture with partly transparent edges. Needs xvfb,
# xdotool, twm, ImageMagick and exiftool
# (PIXMILL_WITH_DEMO=1 ./scripts/install-deps.sh) and a build in build/.
set -eu
cd "$(dirname "$0")/.."
BUILD="${PIXMILL_BUILD:-build}"
SOURCE="${PIXMILL_DEMO_SOURCE:-/usr/share/backgrounds/mate/nature}"
OUT="${PIXMILL_SCREENSHOTS:-docs/screenshots}"
SCREEN_DISPLAY="${PIXMILL_SCREEN_DISPLAY:-:93}"
mkdir -p "$OUT"
WORK=$(mktemp -d)
export DISPLAY="$SCREEN_DISPLAY" PIXMILL_SETTINGS="$WORK/settings.ini" QT_QPA_PLATFORM=xcb
# The scanner library's virtual test device, for the scan dialog.
mkdir -p "$WORK/sane"
echo test >"$WORK/sane/dll.conf"
printf 'number_of_devices 1\nresolution 50\n' >"$WORK/sane/test.conf"
export SANE_CONFIG_DIR="$WORK/sane"

Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB=$!
APP=""
cleanup() {
  [ -n "$APP" ] && kill "$APP" 2>/dev/null || true
  kill "$XVFB" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
sleep 1

# The batch pages start on the photographs, with smart-cut thumbnails into
# a fresh folder.
mkdir -p "$WORK/batch-out"
cat >"$WORK/settings.ini" <<INI
[Settings]
BatchFileSource="Path=\\"$SOURCE/\\";Preview=1;Filter=0;ViewMode=0;"
BatchFileDest="Path=\\"$WORK/batch-out/\\";isThumbnail=1;ThumbName=\\"_Thumb\\";ThumbWidth=160;ThumbHeight=90;ForseSize=1;DiscardAspectRatio=0;SmartCut=1;Enhance=0;NewFileName=1;MainImageMode=2;"
INI

# The window whose title matches, once it is shown.
window() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
shoot() { sleep "${3:-1}"; import -window "$(window "$1")" "$OUT/$2"; echo "wrote $OUT/$2"; }
keys() { xdotool key --clearmodifiers "$@"; sleep 0.5; }

"$BUILD/bin/pixmill" "$SOURCE/FreshFlower.jpg" "$SOURCE/LadyBird.jpg" >"$WORK/pixmill.log" 2>&1 &
APP=$!
MAIN=$(window 'Pixmill$')
xdotool windowfocus --sync "$MAIN"
sleep 2
# Both photographs open fitted to their windows; side by side.
keys alt+w h
shoot 'Pixmill$' main-window.png

# Save As: the file dialog, then the JPEG options with the written picture
# and the sizes.
keys ctrl+shift+s
FILE_DIALOG=$(window '^Save As$')
xdotool windowfocus --sync "$FILE_DIALOG"
xdotool type --delay 20 "$WORK/saved.jpg"
keys Return
# A largest file of 150 KB: the pane names the level the size chose.
window '^Save Options' >/dev/null
keys alt+f
xdotool type --delay 20 "150000"
shoot '^Save Options' save-dialog.png 5
keys Escape

# Image > Rotate (the last entry of the Image menu) with its preview.
xdotool windowfocus --sync "$MAIN"
keys alt+i Up Return
ROTATE=$(window '^Rotate$')
xdotool windowfocus --sync "$ROTATE"
keys alt+9
shoot '^Rotate$' rotate-dialog.png 2
keys Escape

# File > Preferences.
xdotool windowfocus --sync "$MAIN"
keys alt+f p
shoot '^Preferences$' preferences-dialog.png
keys ctrl+Tab
shoot '^Preferences$' preferences-html.png
keys Escape

# File > Acquire Image > Scan (SANE) with the test device.
xdotool windowfocus --sync "$MAIN"
keys alt+f i c
window '^Scan$' >/dev/null
shoot '^Scan$' scan-dialog.png 2
keys Escape
# File > Batch Processing...: the three pages, then the batch dialog.
xdotool windowfocus --sync "$MAIN"
keys ctrl+b
SHEET=$(window '^Batch Processing settings$')
xdotool windowfocus --sync "$SHEET"
keys alt+a
shoot '^Batch Processing settings$' batch-source.png
keys ctrl+Tab
# The first output format ticked: its options fill the parameters area.
keys alt+c Home space
# The log goes with the other temporary files.
keys alt+l ctrl+a
xdotool type --delay 10 "$WORK/batch.log"
shoot '^Batch Processing settings$' batch-processing.png
keys ctrl+Tab
shoot '^Batch Processing settings$' batch-destination.png
keys Return
BATCH=$(window '^Batch Processing$')
xdotool windowfocus --sync "$BATCH"
shoot '^Batch Processing$' batch-dialog.png 3
keys alt+n
shoot '^Batch Processing$' batch-thumbnail.png 2
keys alt+c
# The image browser and the open dialog with its preview, in a fresh
# program started in the photographs' folder (its working directory) with a
# thumbnail cache of its own.
kill "$APP" 2>/dev/null || true
wait "$APP" 2>/dev/null || true
PROGRAM="$(cd "$BUILD/bin" && pwd)/pixmill"
(cd "$SOURCE" && XDG_CACHE_HOME="$WORK/cache" PIXMILL_SETTINGS="$WORK/browse.ini" "$PROGRAM") \
  >"$WORK/browse.log" 2>&1 &
APP=$!
MAIN=$(window 'Pixmill$')
xdotool windowfocus --sync "$MAIN"
sleep 1
keys ctrl+shift+b
shoot 'Pixmill$' image-browser.png 6
keys ctrl+o
OPEN=$(window '^Open$')
xdotool windowfocus --sync "$OPEN"
xdotool type --delay 20 "LadyBird.jpg"
sleep 1
keys Tab Tab
shoot '^Open$' open-dialog.png 2
keys Escape

# A compound image window in a fresh program: a photograph, a text object
# moved to a corner and three regions drawn with the mouse. The positions
# are pixels of the main window, with the compound window tiled over its
# whole area.
kill "$APP" 2>/dev/null || true
wait "$APP" 2>/dev/null || true
convert "$SOURCE/LadyBird.jpg" -resize 600x "$WORK/ladybird.jpg"
PIXMILL_SETTINGS="$WORK/compound.ini" "$BUILD/bin/pixmill" >"$WORK/compound.log" 2>&1 &
APP=$!
MAIN=$(window 'Pixmill$')
xdotool windowfocus --sync "$MAIN"
sleep 1
keys alt+f n c
keys alt+w h
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
at() { xdotool mousemove $((X + $1)) $((Y + $2)); }
click() { at "$1" "$2"; xdotool click 1; sleep 0.7; }
drag() {
  at "$1" "$2"; xdotool mousedown 1; sleep 0.3
  at $((($1 + $3) / 2)) $((($2 + $4) / 2)); sleep 0.2
  at "$3" "$4"; sleep 0.3; xdotool mouseup 1; sleep 0.5
}
click 538 115 # Insert image
window '^Insert image file' >/dev/null
xdotool type --delay 20 "$WORK/ladybird.jpg"
keys Return
sleep 1
click 168 90 # Compound > Minimize
keys m
click 586 115 # Insert text: its properties
keys ctrl+a
xdotool type --delay 20 "Ladybird"
keys Tab space # the font dialog
sleep 1
click 374 95
keys ctrl+a
xdotool type --delay 20 "DejaVu Sans"
click 695 95
keys ctrl+a
xdotool type --delay 20 "28"
keys Return
click 526 427 # OK
click 690 299 # not the default font
drag 385 340 105 463
click 238 115 # rectangle
drag 390 281 465 351
click 347 115 # circle
drag 75 236 115 236
click 449 115 # polygon
click 525 136
click 603 136
click 603 221
at 555 211
xdotool click --repeat 2 --delay 80 1
at 772 420
shoot 'Pixmill$' compound-editor.png

# The page window on a small web page: three photographs and a compound
# image (a photograph with a caption and two linked regions).
kill "$APP" 2>/dev/null || true
wait "$APP" 2>/dev/null || true
mkdir -p "$WORK/site"
for name in FreshFlower LadyBird Aqua GreenMeadow; do
  convert "$SOURCE/$name.jpg" -resize 240x160 "$WORK/site/$name.jpg"
done
cat >"$WORK/site/garden.htm" <<'HTML'
<HTML><HEAD><TITLE>Our garden</TITLE></HEAD>
<BODY BGCOLOR="#F4F1E8" STYLE="font-family:sans-serif">
<H1>Our garden</H1>
<P>Click the meadow or the sign:</P>
<!-- QorelCompoundImage -->
<DIV STYLE="position:relative;width:220px;height:200px;"><SPAN STYLE="position:absolute;left:10px;top:10px;width:240px;"><IMG SRC="GreenMeadow.jpg" USEMAP="#meadow0" BORDER=0></SPAN>
<SPAN STYLE="position:absolute;left:14px;top:174px;width:200px;font-size:12pt;font-family:sans-serif;color:rgb(32,64,32);">The meadow in June</SPAN>
<MAP NAME="meadow0"><AREA SHAPE=RECT COORDS="10,10,120,80" HREF="meadow.htm"><AREA SHAPE=CIRCLE COORDS="150,95,28" HREF="sign.htm"></MAP></DIV>
<P>Three pictures from this summer:</P>
<P><IMG SRC="FreshFlower.jpg" ALT="Flower"> <IMG SRC="LadyBird.jpg" ALT="Lady bird">
<IMG SRC="Aqua.jpg" ALT="Water"></P>
</BODY></HTML>
HTML
PIXMILL_SETTINGS="$WORK/page.ini" "$PROGRAM" "$WORK/site/garden.htm" >"$WORK/page.log" 2>&1 &
APP=$!
MAIN=$(window 'Pixmill$')
xdotool windowfocus --sync "$MAIN"
sleep 2
shoot 'Pixmill$' page-window.png 2

# A large photograph opened fitted, with the title bar naming it, under a
# window manager (without one the window has no title bar to show). The
# main window is made large first, then the photograph is opened into it.
kill "$APP" 2>/dev/null || true
wait "$APP" 2>/dev/null || true
# Windows are placed where the program asks, not by a click; the title in
# X's own fixed font, which has every character of the program's titles.
printf '%s\n' 'RandomPlacement' 'UsePPosition "on"' 'NoGrabServer' \
  'TitleFont "-misc-fixed-bold-r-normal--13-*-*-*-*-*-iso10646-1"' \
  'MenuFont "fixed"' 'IconFont "fixed"' 'ResizeFont "fixed"' 'IconManagerFont "fixed"' \
  >"$WORK/twmrc"
LC_ALL=C.UTF-8 twm -f "$WORK/twmrc" >"$WORK/twm.log" 2>&1 &
WM=$!
sleep 1
PIXMILL_SETTINGS="$WORK/fitted.ini" "$PROGRAM" >"$WORK/fitted.log" 2>&1 &
APP=$!
MAIN=$(window '^Pixmill$')
xdotool windowsize --sync "$MAIN" 1000 680
xdotool windowmove --sync "$MAIN" 20 20
xdotool windowfocus --sync "$MAIN"
sleep 1
keys ctrl+o
OPEN=$(window '^Open$')
xdotool windowfocus --sync "$OPEN"
xdotool type --delay 20 "$SOURCE/LadyBird.jpg"
keys Return
sleep 2
import -frame -window "$(window 'LadyBird.jpg.*Pixmill$')" "$OUT/main-window-fitted.png"
echo "wrote $OUT/main-window-fitted.png"

# A phone photograph in Adobe RGB, stored on its side (EXIF orientation 6):
# it opens upright and in the screen's colours (sRGB here), as a browser
# shows it.
cp "$SOURCE/Garden.jpg" "$WORK/phone.jpg"
exiftool -q -overwrite_original \
  "-ICC_Profile<=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc" \
  -Orientation#=6 "$WORK/phone.jpg"
keys ctrl+o
OPEN=$(window '^Open$')
xdotool windowfocus --sync "$OPEN"
xdotool type --delay 20 "$WORK/phone.jpg"
keys Return
sleep 2
import -frame -window "$(window 'phone.jpg.*Pixmill$')" "$OUT/main-window-adobe-rgb.png"
echo "wrote $OUT/main-window-adobe-rgb.png"

# A picture with soft, partly transparent edges: it shows over the
# checkerboard and the status bar gives 32 bit.
convert "$SOURCE/LadyBird.jpg" -resize 560x \( +clone -alpha off -fill black -colorize 100 \
  -fill white -draw "ellipse 280,175 220,140 0,360" -blur 0x30 \) \
  -alpha off -compose copy_opacity -composite "$WORK/soft.png"
keys ctrl+o
OPEN=$(window '^Open$')
xdotool windowfocus --sync "$OPEN"
xdotool type --delay 20 "$WORK/soft.png"
keys Return
sleep 2
import -frame -window "$(window 'soft.png.*Pixmill$')" "$OUT/main-window-alpha.png"
echo "wrote $OUT/main-window-alpha.png"
kill "$WM" 2>/dev/null || true
