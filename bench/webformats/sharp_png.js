// node sharp_png.js IN OUT: IN written as the PNG OUT by the sharp module at
// zlib level 6 with libpng's adaptive filtering (what the PNG plug-in and
// ImageMagick do at level 6), on one thread as the plug-in works.
const sharp = require('sharp');

const [input, output] = process.argv.slice(2);
sharp.concurrency(1);
sharp.cache(false);
sharp(input)
  .png({ compressionLevel: 6, adaptiveFiltering: true })
  .toFile(output)
  .catch((error) => {
    console.error(error.message);
    process.exit(1);
  });
