"""JPEG level 128 against cjpeg -quality 50 (the same standard tables) on the
12 mate-backgrounds photographs reduced to 1600 pixels: bytes and luma SSIM of
each, and the bytes cjpeg needs for our SSIM (interpolated on its curve from
quality 30 to 70). Usage (Debian's python3-numpy and python3-scipy): /usr/bin/python3 bench/judges/jpeg_level128.py [build]"""
import os
import subprocess

from ssim import setup, ssim_files

cli, photos, work = setup('pixmill-level128-')


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


def ours(ppm, level):
    out = os.path.join(work, 'ours.jpg')
    run(cli, 'convert', ppm[:-4] + '.png', out, '--set',
        'JPEG_Parameters.luminance=%d' % level, '--set', 'JPEG_Parameters.chrominance=%d' % level)
    return os.path.getsize(out), ssim_files(ppm, out)


def cjpeg(ppm, quality):
    out = os.path.join(work, 'cjpeg.jpg')
    run('sh', '-c', 'cjpeg -optimize -quality %d "%s" > "%s"' % (quality, ppm, out))
    return os.path.getsize(out), ssim_files(ppm, out)


print('%-14s %9s %7s %9s %7s %12s' % ('picture', 'ours', 'SSIM', 'cjpeg50', 'SSIM',
                                      'cjpeg@SSIM'))
ratios, gaps = [], []
for photo in photos:
    name = os.path.splitext(os.path.basename(photo))[0]
    ppm = os.path.join(work, name + '.ppm')
    run('convert', photo, '-strip', '-resize', '1600x1600', ppm)
    run('convert', ppm, 'PNG24:' + ppm[:-4] + '.png')  # the same pixels for pixmill-cli
    size, quality = ours(ppm, 128)
    base_size, base_quality = cjpeg(ppm, 50)
    curve = sorted(cjpeg(ppm, q) for q in range(30, 71, 5))
    # Bytes cjpeg needs for our SSIM, linear between the two nearest points.
    equal = None
    for (b0, s0), (b1, s1) in zip(curve, curve[1:]):
        if min(s0, s1) <= quality <= max(s0, s1) and s1 != s0:
            equal = b0 + (quality - s0) * (b1 - b0) / (s1 - s0)
            break
    ratios.append(size / equal if equal else float('nan'))
    gaps.append(quality - base_quality)
    print('%-14s %9d %7.4f %9d %7.4f %12s' % (name, size, quality, base_size, base_quality,
                                              '%.0f' % equal if equal else '-'))
valid = [r for r in ratios if r == r]
print('mean bytes / cjpeg bytes at equal SSIM: %.4f' % (sum(valid) / len(valid)))
print('mean SSIM(level 128) - SSIM(cjpeg -quality 50): %+.4f' % (sum(gaps) / len(gaps)))
