"""Aliasing judge: sine stripes (standard deviation 70.7, 2000 x 200 pixels)
too fine for the target width. A filter that removes them leaves a flat
picture; what remains (the standard deviation of the result's luma, border
columns left out) is moiré. Pixmill's two filters against ImageMagick's
-resize and vips resize on the same stripes.
Usage (Debian's python3-numpy and python3-scipy): /usr/bin/python3 bench/judges/stripes.py [build]"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np

from ssim import luma, read_rgb

build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '../../build')
cli = os.path.join(build, 'bin', 'pixmill-cli')
work = tempfile.mkdtemp(prefix='pixmill-stripes-')
os.environ['PIXMILL_SETTINGS'] = os.path.join(work, 'settings.ini')  # the user's stay untouched


def stripes(period):
    x = np.arange(2000)
    row = np.clip(np.round(127.5 + 100 * np.sin(2 * np.pi * x / period)), 0, 255).astype(np.uint8)
    grey = np.tile(row, (200, 1))
    ppm = os.path.join(work, 'stripes-%s.ppm' % period)
    with open(ppm, 'wb') as f:
        f.write(b'P6 2000 200 255\n')
        f.write(np.repeat(grey[..., None], 3, axis=2).tobytes())
    path = ppm[:-4] + '.png'
    subprocess.run(['convert', ppm, 'PNG24:' + path], check=True)  # 24-bit: no palette
    return path


def spread(path):
    y = luma(read_rgb(path))
    return float(y[10:-10, 10:-10].std())


def ours(source, width, filt):
    out = os.path.join(work, 'ours-%d.png' % filt)
    subprocess.run([cli, 'convert', source, out, '--op', 'Resample',
                    '--set', 'Resample.width=%d' % width, '--set', 'Resample.height=32767',
                    '--set', 'Resample.keepAspect=1', '--set', 'Resample.filter=%d' % filt],
                   check=True, capture_output=True)
    return spread(out)


def magick(source, width):
    out = os.path.join(work, 'magick.ppm')
    subprocess.run(['convert', source, '-resize', '%dx' % width, out], check=True)
    return spread(out)


def vips(source, width):
    if not shutil.which('vips'):
        return float('nan')
    out = os.path.join(work, 'vips.ppm')
    subprocess.run(['vips', 'resize', source, out, str(width / 2000)], check=True)
    return spread(out)


print('%-7s %6s %10s %10s %10s %10s %10s' % ('period', 'width', 'source', 'area avg',
                                               'Lanczos-3', 'ImageMagick', 'vips'))
for period, width in ((2.5, 1000), (5, 625), (9, 286)):
    source = stripes(period)
    print('%-7s %6d %10.2f %10.2f %10.2f %10.2f %10.2f' % (
        period, width, spread(source), ours(source, width, 0), ours(source, width, 1),
        magick(source, width), vips(source, width)))
