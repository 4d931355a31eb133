#!/bin/sh
# Opens every page of the help folder in headless Chromium and fails when a
# picture or the style sheet of a page does not load. Exit 77 (skipped) when
# Chromium is not installed.
#   render_check.sh HELP_DIR
set -eu
help=$(cd "$1" && pwd)
browser=$(command -v chromium || command -v chromium-browser || command -v google-chrome || true)
if [ -z "$browser" ]; then
    echo "render_check: no Chromium found; the rendering check is skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One page holding every help page in a frame; once all have loaded, its
# script lists what did not load.
{
    echo '<!DOCTYPE html><html><body><pre id="result">NOT RUN</pre>'
    for page in "$help"/*.html; do
        echo "<iframe src=\"file://$page\"></iframe>"
    done
    cat <<'SCRIPT'
<script>
window.addEventListener('load', () => {
  const out = [];
  for (const frame of document.querySelectorAll('iframe')) {
    const doc = frame.contentDocument;
    const page = frame.getAttribute('src').replace(/.*\//, '');
    if (!doc || !doc.body) { out.push('UNREADABLE ' + page); continue; }
    for (const img of doc.images)
      if (!img.complete || img.naturalWidth === 0) out.push('MISSING ' + page + ': ' + img.getAttribute('src'));
    for (const link of doc.querySelectorAll('link[rel=stylesheet]'))
      if (!link.sheet) out.push('MISSING ' + page + ': ' + link.getAttribute('href'));
  }
  document.getElementById('result').textContent = out.length ? out.join('\n') : 'ALL LOADED ' + document.querySelectorAll('iframe').length;
});
</script></body></html>
SCRIPT
} > "$work/all.html"
"$browser" --headless --no-sandbox --disable-gpu --allow-file-access-from-files \
    --user-data-dir="$work/profile" --virtual-time-budget=10000 \
    --dump-dom "file://$work/all.html" > "$work/dom.html" 2>/dev/null || true
result=$(tr '\n' '\001' < "$work/dom.html" |
    sed 's/.*<pre id="result">\([^<]*\)<\/pre>.*/\1/' | tr '\001' '\n')
echo "$result"
case "$result" in
*"ALL LOADED"*) exit 0 ;;
*) exit 1 ;;
esac
