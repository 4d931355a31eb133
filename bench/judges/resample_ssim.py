"""The high-quality filter against ImageMagick's -resize (and vips resize)
on the 12 mate-backgrounds photographs at 800 pixels wide: luma SSIM of
each against ImageMagick's result, and the CPU time of the two Pixmill
filters on the full-size photographs.
Usage (Debian's python3-numpy and python3-scipy): /usr/bin/python3 bench/judges/resample_ssim.py [build]"""
import os
import resource
import shutil
import subprocess

from ssim import setup, luma, read_rgb, ssim

cli, photos, work = setup('pixmill-resample-')


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def ours(source, filt):
    out = os.path.join(work, 'ours-%d.png' % filt)
    before = children_cpu()
    subprocess.run([cli, 'convert', source, out, '--op', 'Resample', '--set', 'Resample.width=800',
                    '--set', 'Resample.height=32767', '--set', 'Resample.keepAspect=1',
                    '--set', 'Resample.filter=%d' % filt], check=True, capture_output=True)
    return out, children_cpu() - before


print('%-14s %10s %10s %10s %9s %9s' % ('picture', 'area avg', 'Lanczos-3', 'vips', 'cpu area',
                                        'cpu L3'))
totals = [0.0, 0.0]
scores = []
for photo in photos:
    name = os.path.splitext(os.path.basename(photo))[0]
    source = os.path.join(work, name + '.png')
    subprocess.run(['convert', photo, '-strip', 'PNG24:' + source], check=True)  # lossless input
    reference = os.path.join(work, 'magick.png')
    subprocess.run(['convert', source, '-resize', '800x', 'PNG24:' + reference], check=True)
    judge = luma(read_rgb(reference))
    row = []
    for filt in (0, 1):
        out, cpu = ours(source, filt)
        totals[filt] += cpu
        row.append(ssim(judge, luma(read_rgb(out))))
    if shutil.which('vips'):
        width = int(subprocess.run(['identify', '-format', '%w', source], capture_output=True,
                                   text=True).stdout)
        vout = os.path.join(work, 'vips.png')
        subprocess.run(['vips', 'resize', source, vout, str(800 / width)], check=True)
        row.append(ssim(judge, luma(read_rgb(vout))))
    else:
        row.append(float('nan'))
    scores.append(row)
    print('%-14s %10.4f %10.4f %10.4f' % (name, row[0], row[1], row[2]))
print('%-14s %10.4f %10.4f %10.4f' % ('mean', *[sum(r[k] for r in scores) / len(scores)
                                                for k in range(3)]))
print('lowest Lanczos-3 SSIM: %.4f' % min(r[1] for r in scores))
print('CPU seconds of pixmill-cli convert (decode + resample + PNG write): area %.2f, Lanczos-3 %.2f'
      % tuple(totals))
