#!/usr/bin/env python3
"""Galleries of 25 photographs made by pixmill-cli, judged by headless Chromium.

Four galleries are made, one per way a thumbnail opens its picture: automatic
pages linking to zoom pages, template pages linking to zoom pages, automatic
pages linking straight to the pictures, and automatic pages opening them in a
window of their own. Every page must load, every picture in it must have a
natural width above 0, every link must point at a file that exists, and
clicking the first thumbnail of a thumbnail page must show the picture.

usage: browser_check.py BIN_DIR CHECKER_HTML [--screenshots DIR] [--keep DIR]
Exit 77 (skipped) when Chromium or the photographs are missing.
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

PHOTOS = '/usr/share/backgrounds/mate'
COUNT = 25

GALLERIES = {
    'automatic': '[Project settings]\nCreate thumbnail pages\nCreate zoom pages\nZoom style=1\n'
                 'Create content page\n[Thumbnail table]\nColumns=4\nRows=2\nLimit rows\nInclude title\n'
                 'Title text=Photographs\nBorder=1\n[Zoom image]\nInclude title\nBorder=1\n'
                 '[Thumbnail Cell]\nWidth=160\nHeight=120\nFit to thumbnail size\nFit style=0\n'
                 'Use cell color\nCell color=15790320\n'
                 '[Thumbnail page]\nUse background color\nBackground color=16316664\n',
    'template': '[Project settings]\nCreate thumbnail pages\nThumbnail style=1\nCreate zoom pages\n'
                'Zoom style=1\nZoom substyle=1\nCreate content page\n'
                'Thumbnail template={bin}/Destinations/pagesmith/thumbnails.htm\n'
                'Zoom template={bin}/Destinations/pagesmith/zoom.htm\n'
                '[Thumbnail template page]\nWidth=160\nHeight=120\nFit to thumbnail size\n',
    'direct': '[Project settings]\nCreate thumbnail pages\nCreate zoom pages\nZoom style=0\n'
              '[Thumbnail table]\nColumns=5\nRows=5\nLimit rows\n[Just zoom]\nJust style=0\n',
    'window': '[Project settings]\nCreate thumbnail pages\nCreate zoom pages\nZoom style=0\n'
              '[Thumbnail table]\nColumns=5\nRows=3\nLimit rows\n[Just zoom]\nJust style=1\n',
}


def chromium():
    for name in ('chromium', 'chromium-browser', 'google-chrome'):
        path = shutil.which(name)
        if path:
            return path
    return None


def browser(binary, *args):
    command = [binary, '--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars',
               '--allow-file-access-from-files', *args]
    return subprocess.run(command, capture_output=True, text=True, timeout=300).stdout


def local(url):
    parsed = urllib.parse.urlparse(url)
    return urllib.parse.unquote(parsed.path) if parsed.scheme == 'file' else None


def make_gallery(bin_dir, inputs, work, name):
    out = os.path.join(work, name)
    profile = os.path.join(work, name + '.vhb')
    with open(profile, 'w') as f:
        f.write(GALLERIES[name].replace('{bin}', bin_dir))
    command = [os.path.join(bin_dir, 'pixmill-cli'), 'batch', *inputs, '--out', out,
               '--settings', os.path.join(work, 'settings.ini'), '--format', 'JPEG',
               '--op', 'Resample', '--set', 'Resample.width=640', '--set', 'Resample.height=32767',
               '--set', 'Resample.keepAspect=1', '--fast-decode', '--quiet',
               '--dest', 'HTML pages', '--dest-profile', profile, '--project', 'album.htm']
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit(f'{name}: pixmill-cli failed ({run.returncode}): {run.stderr}')
    return out


def check_gallery(binary, checker, out, name):
    pages = sorted(p for p in os.listdir(out) if p.endswith('.htm'))
    thumbnail_pages = [p for p in pages if re.fullmatch(r'album(\d+|L)?\.htm', p)]
    failures = []
    if not thumbnail_pages:
        return [f'{name}: no thumbnail pages']
    # The checker lies beside the pages so that the frames are same-origin.
    shutil.copy(checker, os.path.join(out, 'check.html'))
    with open(os.path.join(out, 'pages.js'), 'w') as f:
        f.write('var CLICK = true; var PAGES = %s;' % json.dumps(pages))
    dom = browser(binary, '--virtual-time-budget=120000', '--dump-dom',
                  'file://' + os.path.join(out, 'check.html'))
    found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
    if not found or found.group(1) == 'pending':
        return [f'{name}: the checker did not finish']
    import html
    results = json.loads(html.unescape(found.group(1)))
    if len(results) != len(pages):
        failures.append(f'{name}: {len(results)} of {len(pages)} pages loaded')
    pictures = 0
    for page, result in zip(pages, results):
        if not result['url'].endswith('/' + page):
            failures.append(f'{name}/{page}: loaded {result["url"]}')
        for image in result['images']:
            pictures += 1
            if image['width'] <= 0:
                failures.append(f'{name}/{page}: picture {image["src"]} did not load')
        for link in result['links']:
            targets = []
            if link['href'] is not None:
                targets.append(link['href'])
            if link['onclick']:
                targets += [urllib.parse.urljoin(result['url'], u)
                            for u in re.findall(r"window\.open\('([^']*)'\)", link['onclick'])]
                if not targets:
                    failures.append(f'{name}/{page}: link without a target')
            for target in targets:
                path = local(target)
                if path is None or not os.path.isfile(path):
                    failures.append(f'{name}/{page}: link to {target} that does not exist')
        if page in thumbnail_pages:
            click = result.get('click')
            if not click or not click.get('opened'):
                failures.append(f'{name}/{page}: clicking a thumbnail opened nothing')
            elif not click['images'] or min(i['width'] for i in click['images']) <= 0:
                failures.append(f'{name}/{page}: clicking a thumbnail showed no picture '
                                f'({click["opened"]})')
    if pictures < COUNT:
        failures.append(f'{name}: only {pictures} pictures on all pages')
    print(f'{name}: {len(results)} pages, {pictures} pictures checked')
    return failures


def screenshots(binary, galleries, target):
    os.makedirs(target, exist_ok=True)
    shots = [('gallery-index.png', galleries['automatic'], 'album_c.htm'),
             ('gallery-thumbnails.png', galleries['automatic'], 'album.htm'),
             ('gallery-zoom.png', galleries['automatic'], 'album_z2.htm'),
             ('gallery-template-thumbnails.png', galleries['template'], 'album.htm'),
             ('gallery-template-zoom.png', galleries['template'], 'album_z3.htm')]
    for file, folder, page in shots:
        browser(binary, '--window-size=1100,860', '--screenshot=' + os.path.join(target, file),
                'file://' + os.path.join(folder, page))
        print('screenshot', os.path.join(target, file))


def main():
    args = sys.argv[1:]
    options = {}
    while len(args) > 2 and args[-2].startswith('--'):
        options[args[-2]] = args[-1]
        args = args[:-2]
    bin_dir, checker = os.path.abspath(args[0]), os.path.abspath(args[1])
    binary = chromium()
    # The nature photographs first, then the other pictures of the package.
    photos = sorted(glob.glob(os.path.join(PHOTOS, '*', '*.jpg')),
                    key=lambda path: ('/nature/' not in path, path))
    if binary is None:
        print('SKIPPED: headless Chromium is not installed (scripts/install-deps.sh installs it)')
        return 77
    if not photos:
        print(f'SKIPPED: no photographs in {PHOTOS} (package mate-backgrounds)')
        return 77
    work = tempfile.mkdtemp(prefix='pixmill-browser-')
    try:
        inputs = []
        os.makedirs(os.path.join(work, 'in'))
        open(os.path.join(work, 'settings.ini'), 'w').close()
        for i in range(COUNT):
            link = os.path.join(work, 'in', 'Photo%02d.jpg' % (i + 1))
            os.symlink(photos[i % len(photos)], link)
            inputs.append(link)
        galleries = {name: make_gallery(bin_dir, inputs, work, name) for name in GALLERIES}
        failures = []
        for name, out in galleries.items():
            failures += check_gallery(binary, checker, out, name)
        if '--screenshots' in options:
            screenshots(binary, galleries, os.path.abspath(options['--screenshots']))
        if '--keep' in options:
            shutil.copytree(work, options['--keep'], dirs_exist_ok=True)
        for failure in failures:
            print('FAILED:', failure)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
