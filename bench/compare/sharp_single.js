// node sharp_single.js resize IN OUT WIDTH | png IN OUT: one picture through
// the sharp module on one thread, as the single-picture rows of compare.sh
// measure it (JPEG out at sharp's defaults; PNG at zlib level 6 with
// adaptive filtering).
const sharp = require('sharp');

const [work, input, output, width] = process.argv.slice(2);
sharp.concurrency(1);
sharp.cache(false);
const picture = sharp(input);
const job = work === 'resize'
  ? picture.resize({ width: Number(width) }).jpeg()
  : picture.png({ compressionLevel: 6, adaptiveFiltering: true });
job.toFile(output).catch((error) => {
  console.error(error.message);
  process.exit(1);
});
