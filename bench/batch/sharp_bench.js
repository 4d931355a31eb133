// The same work with the sharp module: every JPEG of IN becomes an
// 800-pixel-wide JPEG and a thumbnail of at most 150 x 150 in OUT.
// Usage: node sharp_bench.js IN OUT CONCURRENCY (1: one thread, one file at a
// time; 0: sharp's default concurrency with every file started at once).
const fs = require('fs');
const path = require('path');
const sharp = require('sharp');

const [input, output, concurrency] = process.argv.slice(2);
const one = Number(concurrency) === 1;
sharp.concurrency(one ? 1 : 0);
sharp.cache(false);

async function convert(file) {
  const name = path.basename(file, '.jpg');
  const source = sharp(path.join(input, file));
  await source.clone().resize({ width: 800 }).jpeg().toFile(path.join(output, name + '.jpg'));
  await source.clone().resize(150, 150, { fit: 'inside' }).jpeg()
    .toFile(path.join(output, name + '_Thumb.jpg'));
}

(async () => {
  const files = fs.readdirSync(input).filter((f) => f.endsWith('.jpg')).sort();
  if (one) {
    for (const file of files) await convert(file);
  } else {
    await Promise.all(files.map(convert));
  }
})();
