"""Luma SSIM (Gaussian window 11, sigma 1.5, as in Wang et al. 2004) of two
pictures in any format ImageMagick reads, and the common start of the judge
scripts beside it."""
import glob
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.ndimage import gaussian_filter


def read_rgb(path):
    """The picture as a float array (height, width, 3) through ImageMagick."""
    info = subprocess.run(['identify', '-format', '%w %h', path + '[0]'], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(info[0]), int(info[1])
    raw = subprocess.run(['convert', path + '[0]', '-depth', '8', 'rgb:-'], check=True,
                         capture_output=True).stdout
    return np.frombuffer(raw, np.uint8).reshape(height, width, 3).astype(np.float64)


def setup(prefix):
    """The judges' common start: pixmill-cli of the build named on the command
    line (default ../../build), the mate-backgrounds photographs, and a work
    folder whose settings file stands in for the user's."""
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                               '../../build')
    photos = sorted(glob.glob('/usr/share/backgrounds/mate/nature/*.jpg'))
    if not photos:
        sys.exit('no photographs: install mate-backgrounds')
    work = tempfile.mkdtemp(prefix=prefix)
    os.environ['PIXMILL_SETTINGS'] = os.path.join(work, 'settings.ini')
    return os.path.join(build, 'bin', 'pixmill-cli'), photos, work


def luma(rgb):
    return rgb[..., 0] * 0.299 + rgb[..., 1] * 0.587 + rgb[..., 2] * 0.114


def ssim(a, b):
    """Mean SSIM of two luma arrays of the same size."""
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    blur = lambda x: gaussian_filter(x, 1.5, truncate=3.5)
    ma, mb = blur(a), blur(b)
    va = blur(a * a) - ma * ma
    vb = blur(b * b) - mb * mb
    cov = blur(a * b) - ma * mb
    s = ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2))
    return float(s[5:-5, 5:-5].mean())


def ssim_files(a, b):
    return ssim(luma(read_rgb(a)), luma(read_rgb(b)))


if __name__ == '__main__':
    print('%.4f' % ssim_files(sys.argv[1], sys.argv[2]))
