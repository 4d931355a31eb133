#!/bin/sh
# pixmill-cli page, judged by headless Chromium: a page holding a compound
# image as an applet is converted to the HTML form and to the image-map
# form. Chromium's screenshot of the HTML form must match `page render` of
# the same object (pictures exactly, texts within a tolerance), and in both
# forms the image-map areas must lie where the regions were (checked with
# document.elementFromPoint by a script in the page). Also: `page list`
# output and the refusal to overwrite the input page. The responsive form
# of a canvas wider than a phone is clicked through the browser's DevTools
# pipe at the centre of each region, at 390 and 1280 px viewport width, and
# each click must follow the region's link. Exit 77 (skipped) without
# Chromium or ImageMagick.
# Usage: page_browser_check.sh BIN_DIR WORK_DIR
set -eu
bin=$1
work=$2
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ] || ! command -v compare >/dev/null; then
  echo "skipped: needs chromium and ImageMagick"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cli="$bin/pixmill-cli"
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

convert -size 120x90 gradient:red-blue -depth 8 -strip a.png
convert -size 100x80 pattern:checkerboard -fill green -colorize 40% -strip b.gif

cat >src.htm <<'PAGE'
<HTML><HEAD><TITLE>check</TITLE>
<SCRIPT>
// With "#check=X,Y;X,Y" the page tests each AREA at its centre with
// elementFromPoint, compares the centres with the expected canvas points
// and turns itself green (all found) or red.
function check() {
  if (location.hash.indexOf("#check=") != 0) return;
  var expected = location.hash.substring(7);
  var found = [];
  var ok = true;
  var areas = document.getElementsByTagName("area");
  for (var i = 0; i < areas.length; i++) {
    var a = areas[i];
    var img = document.querySelector('img[usemap="#' + a.parentNode.name + '"]');
    var c = a.coords.split(",").map(Number);
    var x = a.shape.toLowerCase() == "circle" ? c[0] : (c[0] + c[2]) / 2;
    var y = a.shape.toLowerCase() == "circle" ? c[1] : (c[1] + c[3]) / 2;
    // The viewport may be smaller than the page while the page loads:
    // scroll the point into it.
    window.scrollTo(0, 0);
    var box = img.getBoundingClientRect();
    window.scrollTo(0, box.top + y - 4);
    var now = img.getBoundingClientRect();
    ok = ok && document.elementFromPoint(now.left + x, now.top + y) === a;
    found.push(Math.round(box.left + x) + "," + Math.round(box.top + y));
  }
  window.scrollTo(0, 0);
  ok = ok && found.join(";") == expected;
  var cover = document.createElement("div");
  cover.style.cssText = "position:fixed;left:0;top:0;width:100%;height:100%;z-index:9;background:" +
    (ok ? "#00ff00" : "#ff0000");
  document.body.appendChild(cover);
}
</SCRIPT></HEAD><BODY STYLE="margin:0" onload="check()">
<APPLET CODE=getpara.class WIDTH=240 HEIGHT=160>
<PARAM NAME="0t0" VALUE="Pixmill">
<PARAM NAME="0tcoor" VALUE="10,118">
<PARAM NAME="0tcolor" VALUE="0">
<PARAM NAME="0textstyle" VALUE="0">
<PARAM NAME="fontname" VALUE="Helvetica">
<PARAM NAME="fontsize" VALUE="20">
<PARAM NAME="fontstyle" VALUE="b">
<PARAM NAME="0image" VALUE="b.gif;a.png">
<PARAM NAME="0imcoor" VALUE="140,60,10,10">
<PARAM NAME="0HSPoint" VALUE="20,20,60,20,60,50,20,50;-1,15,190,100">
<PARAM NAME="0HSAction" VALUE="map;map">
<PARAM NAME="0HSMap" VALUE="0+1">
<PARAM NAME="addr" VALUE="one.htm;two.htm">
</APPLET>
<SPAN CLASS=next>Text after.</SPAN>
<P>After the applet.</P>
</BODY></HTML>
PAGE
cp src.htm src.orig

"$cli" page list src.htm >list.txt
printf '1\tapplet\t1\tApplet 1\t240x160\n' >list.expected
cmp -s list.txt list.expected || fail "page list: $(cat list.txt)"

code=0
"$cli" page convert src.htm 1 --form html --out src.htm 2>/dev/null || code=$?
[ "$code" = 2 ] && cmp -s src.htm src.orig || fail "the input page was not protected"

"$cli" -q page convert src.htm 1 --form html --out html.htm
"$cli" -q page convert src.htm 1 --form image-map --out map.htm
"$cli" -q page convert src.htm 1 --form applet --out applet.htm
"$cli" -q page render html.htm 1 render.png
grep -q "QorelCompoundImage" html.htm || fail "no HTML form in html.htm"
grep -q "After the applet." html.htm || fail "html.htm lost the rest of the page"

shot() { # shot PAGE OUT
  "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=240,160 \
    --user-data-dir="$work/profile" --screenshot="$work/$2" "file://$work/$1" >/dev/null 2>&1
  test -s "$2"
}
areas() { # areas PAGE: the colour the page's check leaves ("00FF00": all found)
  "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=240,160 \
    --user-data-dir="$work/profile" --screenshot="$work/check.png" \
    "file://$work/$1#check=40,35;190,100" >/dev/null 2>&1
  convert check.png -format '%[hex:p{5,5}]' info:
}
pixels() { # pixels A B GEOMETRY: differing pixels in the crop
  compare -metric AE -fuzz 2% "$1[$3]" "$2[$3]" null: 2>&1 | sed 's/ .*//'
}

convert -size 240x160 xc:white blank.png
shot html.htm html-shot.png
for crop in 120x90+10+10 100x80+140+60; do
  n=$(pixels render.png html-shot.png "$crop")
  echo "picture $crop: $n pixels differ"
  [ "$n" = 0 ] || fail "the picture at $crop is not where page render puts it"
done
rmse=$(compare -metric RMSE render.png "html-shot.png[240x160+0+0]" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
echo "whole canvas: RMSE $rmse (texts are drawn by different engines)"
far=$(compare -metric RMSE render.png "blank.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
awk -v d="$rmse" -v far="$far" 'BEGIN { exit !(d < 0.15 && far > 0.3) }' ||
  fail "the HTML form does not look like page render"

expected=00FF00
for page in html.htm map.htm; do
  got=$(areas "$page")
  echo "$page areas: $got"
  [ "$got" = "$expected" ] || fail "$page: areas are not where the regions were"
done

# The image-map form is a block like the HTML form's DIV: same box, and
# the text after it stays below it, where it was.
measure() { # measure PAGE: the block's box and the next text's place
  sed 's|</BODY>|<SCRIPT>var b = document.querySelector("div[style*=relative], img[usemap]").getBoundingClientRect(); var n = document.querySelector("span.next").getBoundingClientRect(); document.body.setAttribute("data-m", [b.left, b.top, b.width, b.height, n.left, n.top].join(","));</SCRIPT></BODY>|' "$1" >"m-$1"
  "$browser" --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --window-size=400,400 \
    --user-data-dir="$work/profile" --dump-dom "file://$work/m-$1" 2>/dev/null |
    sed -n 's/.*data-m="\([^"]*\)".*/\1/p'
}
htmlBox=$(measure html.htm)
mapBox=$(measure map.htm)
echo "block and next text: HTML form $htmlBox, image-map form $mapBox"
[ -n "$htmlBox" ] && [ "$htmlBox" = "$mapBox" ] || fail "the image-map form moves the block or what follows"
case $htmlBox in 0,0,240,160,0,16*) ;; *) fail "the HTML form's block is not 240x160 with the text below: $htmlBox" ;; esac

# The applet form shows its fallback picture with working links.
got=$(areas applet.htm)
echo "applet.htm fallback areas: $got"
[ "$got" = "$expected" ] || fail "applet.htm: the fallback picture's areas do not link where the regions were"
grep -q "getpara.class" applet.htm || fail "applet.htm has no applet"

shot map.htm map-shot.png
n=$(pixels render.png map-shot.png 240x160+0+0)
echo "image-map form: $n pixels differ from page render"
[ "$n" = 0 ] || fail "the flattened picture differs from page render"

# The responsive form: a 640 px canvas shrinks to a 390 px phone and its
# regions (rectangle, circle, polygon) still link right; at 1280 px it keeps
# its own size.
convert -size 300x200 gradient:red-blue -depth 8 -strip wa.png
convert -size 320x300 pattern:checkerboard -fill green -colorize 40% -strip wb.gif
for target in one two three; do echo "<P>$target</P>" >"$target.htm"; done
cat >wide.htm <<'PAGE'
<HTML><HEAD><TITLE>wide</TITLE>
<META NAME="viewport" CONTENT="width=device-width"></HEAD><BODY STYLE="margin:0">
<APPLET CODE=getpara.class WIDTH=640 HEIGHT=320>
<PARAM NAME="0image" VALUE="wb.gif;wa.png">
<PARAM NAME="0imcoor" VALUE="310,10,10,10">
<PARAM NAME="0HSPoint" VALUE="20,20,260,20,260,200,20,200;-1,40,450,150;300,240,620,240,640,300,300,300">
<PARAM NAME="0HSAction" VALUE="map;map;map">
<PARAM NAME="0HSMap" VALUE="0+1+2">
<PARAM NAME="addr" VALUE="one.htm;two.htm;three.htm">
</APPLET>
<P>After the picture.</P>
</BODY></HTML>
PAGE
"$cli" -q page convert wide.htm 1 --form responsive --out fit.htm
grep -q "max-width:640px" fit.htm || fail "fit.htm is not in the responsive form"
here=$(dirname "$0")
for width in 390 1280 1280:390; do
  shown=$(case $width in *390) echo 390 ;; *) echo 640 ;; esac)
  printf '%s %s\n140,110 one.htm\n450,150 two.htm\n470,270 three.htm\n' "$width" "$shown" >clicks.expected
  python3 "$here/click_regions.py" "$browser" "file://$work/fit.htm" 'img[usemap]' 640 "$width" \
    140,110 450,150 470,270 >clicks.txt 2>clicks.err || true
  echo "responsive form at $width px: $(tr '\n' ' ' <clicks.txt)"
  cmp -s clicks.txt clicks.expected ||
    fail "responsive form at $width px: clicks did not follow the regions' links ($(cat clicks.err))"
done
exit $status
