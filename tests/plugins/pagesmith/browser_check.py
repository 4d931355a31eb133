#!/usr/bin/env python3
"""Galleries of 25 photographs made by pixmill-cli, judged by headless Chromium.

Five galleries are made, one per way a thumbnail opens its picture: automatic
pages linking to zoom pages, template pages linking to zoom pages, automatic
pages linking straight to the pictures, automatic pages opening them in a
window of their own, and the modern page set (JPEG and WebP, a captions file,
a picture whose name differs from another's only in case). Every page must
load, every picture in it must have a natural width above 0, every link must
point at a file that exists, and clicking the first thumbnail of a thumbnail
page must show the picture.

The modern gallery is also read at 390 x 844 (device scale 3) and 1280 x 800,
in the light and the dark scheme (modern_check.html): no page scrolls
sideways, body text is at least 16 CSS px on the phone, every picture has a
natural width, an alt text and a width and height, every thumbnail sits in a
link the Tab key reaches, all text has a contrast of 4.5:1 or more against
its background, the layout never shifts, and on a picture page the left and
right arrows lead to the previous and next picture and Esc to the grid. Every
modern page passes tidy with no warning but the one tidy 5.6 gives for the
loading attribute it predates. The modern gallery's grid links a zip of its
full-size pictures that Python's zipfile reads back byte for byte; the other
galleries, whose profiles do not ask for one, have none.

A sixth gallery holds 24 photographs at 1600 pixels in AVIF, WebP and JPEG
with --sizes 480,960,1600: on a phone of 390 x 844 CSS px at device scale 2
(780 device pixels across, so the 960 file is the right one: at scale 3 the
screen is 1170 device pixels wide and a browser is right to take the 1600
file) every picture page loads a 960-pixel file and the grid the 2x
thumbnails, at 1280 x 800 (scale 1) the 1600-pixel file; the bytes the phone
loads for the grid's first screen are printed. The modern checks above hold
for it too.

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
# The modern gallery's captions file: a title with a character the pages
# must escape, one with a description, one left to the file name.
CAPTIONS = ('# file | title | description\n'
            'Photo01.jpg | Sand & sky | Wind lines on the dunes.\n'
            'photo02 | Second <light>\n')

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
    'modern': '[Project settings]\nModern pages\nZip of pictures\nGallery title=Photographs\n'
              '[Thumbnail Cell]\nWidth=240\nHeight=160\nFit to thumbnail size\nFit style=0\n',
}
GALLERIES['sized'] = GALLERIES['modern']
SIZED_COUNT = 24
FORMATS = {'modern': ['--format', 'JPEG', '--format', 'WebP'],
           # AVIF at its fastest speed keeps the check quick.
           'sized': ['--format', 'AVIF', '--format', 'WebP', '--format', 'JPEG',
                     '--set', 'AVIF_Parameters.speed=10', '--sizes', '480,960,1600']}
WIDTHS = {'sized': 1600}


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
               '--settings', os.path.join(work, 'settings.ini'),
               *FORMATS.get(name, ['--format', 'JPEG']), '--op', 'Resample',
               '--set', 'Resample.width=%d' % WIDTHS.get(name, 640), '--set', 'Resample.height=32767',
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


def check_modern(binary, checker, out):
    """The modern gallery at a phone's and a desktop's size, light and dark."""
    failures = []
    grid = ''
    with open(os.path.join(out, 'album.htm')) as f:
        grid = f.read()
    for thumbnail in ('photo01_thumbnail.jpg', 'photo01-2_thumbnail.jpg'):
        if f'src="{thumbnail}"' not in grid:
            failures.append(f'modern: {thumbnail} is not on the grid page')
    if 'alt="Sand &amp; sky"' not in grid or 'alt="Second &lt;light&gt;"' not in grid:
        failures.append('modern: the captions file was not used')
    runs = [(label, width, height, scale, scheme, setting)
            for label, width, height, scale in (('phone', 390, 844, 3), ('desktop', 1280, 800, 1))
            for scheme, setting in (('light', 1), ('dark', 0))]
    return failures + check_modern_pages(binary, checker, out, 'modern', runs)[0]


def check_modern_pages(binary, checker, out, name, runs):
    """Every page of a modern gallery in each run (a size, scale and scheme);
    the failures and each run's results by label."""
    failures = []
    pages = sorted(p for p in os.listdir(out) if p.endswith('.htm'))
    for page in pages if shutil.which('tidy') else []:
        tidy = subprocess.run(['tidy', '-q', '-e', os.path.join(out, page)],
                              capture_output=True, text=True)
        for line in tidy.stderr.splitlines():
            # tidy 5.6 predates these HTML attributes.
            if ('proprietary attribute "loading"' not in line and
                    '<source> proprietary attribute "sizes"' not in line):
                failures.append(f'{name}/{page}: tidy: {line}')
    shutil.copy(checker, os.path.join(out, 'modern_check.html'))
    failures += check_zip(out, name)
    by_run = {}
    for label, width, height, scale, scheme, setting in runs:
        with open(os.path.join(out, 'pages.js'), 'w') as f:
            f.write('var WIDTH = %d, HEIGHT = %d; var PAGES = %s;'
                    % (width, height, json.dumps(pages)))
        dom = browser(binary, '--virtual-time-budget=600000', '--dump-dom',
                      f'--window-size={width + 40},{height + 40}',
                      f'--force-device-scale-factor={scale}',
                      f'--blink-settings=preferredColorScheme={setting}',
                      'file://' + os.path.join(out, 'modern_check.html'))
        where = f'{name} {label} {scheme}'
        found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
        if not found or found.group(1) == 'pending':
            failures.append(f'{where}: the checker did not finish')
            continue
        import html
        results = json.loads(html.unescape(found.group(1)))
        by_run[label] = dict(zip(pages, results))
        if len(results) != len(pages):
            failures.append(f'{where}: {len(results)} of {len(pages)} pages loaded')
        for page, r in zip(pages, results):
            at = f'{where}/{page}'
            if r['scrollWidth'] > r['clientWidth']:
                failures.append(f'{at}: scrolls sideways ({r["scrollWidth"]} > '
                                f'{r["clientWidth"]})')
            if label == 'phone' and r['fontSize'] < 16:
                failures.append(f'{at}: body text of {r["fontSize"]} px')
            for image in r['images']:
                if image['width'] <= 0 or not image['alt'] or not image['sized']:
                    failures.append(f'{at}: picture {image["src"]}: {image}')
            if r['unreachable']:
                failures.append(f'{at}: {r["unreachable"]} thumbnails Tab does not reach')
            for text in r['contrast']:
                failures.append(f'{at}: low contrast: {text}')
            if r['shift'] != 0:
                failures.append(f'{at}: layout shift {r["shift"]}')
            if page == 'album.htm' and not any(
                    (link['href'] or '').endswith('/album.zip') for link in r['links']):
                failures.append(f'{at}: no link to the zip of the pictures')
            if 'keys' in r:
                links = {link['id']: link['href'] for link in r['links'] if link['id']}
                expected = {'ArrowLeft': links.get('prev'), 'ArrowRight': links.get('next'),
                            'Escape': links.get('up')}
                for key, target in expected.items():
                    if r['keys'].get(key) != target:
                        failures.append(f'{at}: {key} led to {r["keys"].get(key)}, '
                                        f'not {target}')
        print(f'{where}: {len(results)} pages checked')
    return failures, by_run


def check_sizes(binary, checker, out):
    """The gallery with further sizes: the file each screen loads."""
    runs = [('phone', 390, 844, 2, 'light', 1), ('desktop', 1280, 800, 1, 'light', 1)]
    failures, by_run = check_modern_pages(binary, checker, out, 'sized', runs)
    for label, width, height, scale, _, _ in runs:
        pages = by_run.get(label, {})
        loaded = {}
        for page, r in sorted(pages.items()):
            for image in r['images']:
                path = local(image['src'])
                file = os.path.basename(path or image['src'])
                if page == 'album.htm':
                    # The sharp thumbnails on a screen of two device pixels per px.
                    if ('@2x.' in file) != (scale == 2):
                        failures.append(f'sized {label}/{page}: thumbnail {file}')
                    continue
                expected = expected_file(out, file, width, height, scale)
                loaded[file] = expected
                if file != expected:
                    failures.append(f'sized {label}/{page}: loaded {file}, not {expected}')
        pictures = len([p for p in pages if p != 'album.htm'])
        if pictures != SIZED_COUNT:
            failures.append(f'sized {label}: {pictures} picture pages, not {SIZED_COUNT}')
        widths = {}
        for file in loaded:
            suffix = re.search(r'(-\d+)?\.\w+$', file).group(0)
            widths[suffix] = widths.get(suffix, 0) + 1
        print(f'sized {label} ({width} x {height} at scale {scale}): the picture pages loaded '
              + ', '.join(f'{n} x {s}' for s, n in sorted(widths.items())))
        grid = pages.get('album.htm')
        if grid and label == 'phone':
            files = sorted(set(local(u) for u in grid.get('firstScreen', []) if local(u)))
            size = sum(os.path.getsize(f) for f in files) + \
                os.path.getsize(os.path.join(out, 'album.htm'))
            print(f'sized phone: the grid\'s first screen loads {size} bytes: the page and '
                  f'{len(files)} files ({", ".join(os.path.basename(f) for f in files[:3])}, ...)')
    return failures


def expected_file(out, loaded, width, height, scale):
    """The file a browser should take for the picture of `loaded`: the
    narrowest of its format's files at least as wide as the picture is
    shown (the page's sizes: the column, the picture's own width, the width
    85% of the screen's height allows) times the device scale."""
    stem, extension = re.match(r'(.*?)(?:-\d+)?(\.\w+)$', loaded).groups()
    full = os.path.join(out, stem + extension)
    candidates = []
    for name in os.listdir(out):
        match = re.fullmatch(re.escape(stem) + r'-(\d+)' + re.escape(extension), name)
        if match:
            candidates.append((int(match.group(1)), name))
    own_width, own_height = picture_size(full)
    candidates.append((own_width, stem + extension))
    shown = min(width - 32, own_width, 0.85 * height * own_width / own_height) * scale
    fitting = sorted(c for c in candidates if c[0] >= shown)
    return (fitting[0] if fitting else max(candidates))[1]


def picture_size(path):
    """Width and height of a JPEG, WebP or AVIF file from its header."""
    with open(path, 'rb') as f:
        data = f.read(1 << 16)
    if data[:2] == b'\xff\xd8':
        at = 2
        while at < len(data):
            marker, length = data[at + 1], int.from_bytes(data[at + 2:at + 4], 'big')
            if marker in (0xC0, 0xC1, 0xC2):
                return (int.from_bytes(data[at + 7:at + 9], 'big'),
                        int.from_bytes(data[at + 5:at + 7], 'big'))
            at += 2 + length
    if data[8:12] == b'WEBP':
        if data[12:16] == b'VP8X':
            return (int.from_bytes(data[24:27], 'little') + 1,
                    int.from_bytes(data[27:30], 'little') + 1)
        if data[12:16] == b'VP8 ':
            return (int.from_bytes(data[26:28], 'little') & 0x3FFF,
                    int.from_bytes(data[28:30], 'little') & 0x3FFF)
    at = data.find(b'ispe')
    if at > 0:
        return (int.from_bytes(data[at + 8:at + 12], 'big'),
                int.from_bytes(data[at + 12:at + 16], 'big'))
    raise SystemExit(f'no size in {path}')


def check_zip(out, name):
    """The zip holds every full-size picture the pages show, byte for byte,
    and none of the further sizes."""
    import zipfile
    path = os.path.join(out, 'album.zip')
    if not os.path.isfile(path):
        return [f'{name}: no album.zip']
    pictures = sorted(p for p in os.listdir(out)
                      if re.search(r'\.(jpg|webp|avif)$', p) and '_thumbnail' not in p
                      and not re.search(r'-(480|960|1600)\.\w+$', p))
    with zipfile.ZipFile(path) as archive:
        if archive.testzip() is not None:
            return [f'{name}: album.zip: bad entry {archive.testzip()}']
        names = sorted(archive.namelist())
        if names != pictures:
            return [f'{name}: album.zip holds {names}, the gallery {pictures}']
        for entry in names:
            with open(os.path.join(out, entry), 'rb') as f:
                if archive.read(entry) != f.read():
                    return [f'{name}: album.zip: {entry} differs from the picture']
    print(f'{name}: album.zip holds the {len(names)} pictures as written')
    return []


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
    modern = galleries['sized']
    for file, page, size, scale in (('gallery-modern-grid-desktop.png', 'album.htm', '1280,800', 1),
                                    ('gallery-modern-picture-desktop.png', 'album_z1.htm',
                                     '1280,800', 1),
                                    ('gallery-modern-grid-phone.png', 'album.htm', '390,844', 3),
                                    ('gallery-modern-picture-phone.png', 'album_z1.htm',
                                     '390,844', 3)):
        browser(binary, f'--window-size={size}', f'--force-device-scale-factor={scale}',
                '--virtual-time-budget=5000', '--screenshot=' + os.path.join(target, file),
                'file://' + os.path.join(modern, page))
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
        with open(os.path.join(work, 'in', 'captions.txt'), 'w') as f:
            f.write(CAPTIONS)
        # A name that differs from Photo01.jpg only in case: both pictures stay.
        twin = os.path.join(work, 'in', 'photo01.JPG')
        os.symlink(photos[(COUNT + 1) % len(photos)], twin)
        def gallery_inputs(name):
            if name == 'sized':
                return inputs[:SIZED_COUNT]
            return inputs + ([twin] if name == 'modern' else [])
        galleries = {name: make_gallery(bin_dir, gallery_inputs(name), work, name)
                     for name in GALLERIES}
        failures = []
        for name, out in galleries.items():
            failures += check_gallery(binary, checker, out, name)
            # The zip is written only when its profile asks for it.
            if name not in ('modern', 'sized') and any(p.endswith('.zip')
                                                       for p in os.listdir(out)):
                failures.append(f'{name}: a zip the profile did not ask for')
        modern_checker = os.path.join(os.path.dirname(checker), 'modern_check.html')
        failures += check_modern(binary, modern_checker, galleries['modern'])
        failures += check_sizes(binary, modern_checker, galleries['sized'])
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
