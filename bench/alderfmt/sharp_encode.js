// Encodes a binary PPM with sharp's JPEG encoder in its web settings
// (progressive, trellis, tuned tables): the yardstick of the rate-distortion
// bench. Usage: node sharp_encode.js IN.ppm OUT.jpg QUALITY
const fs = require('fs');
const sharp = require('sharp');

const [input, output, quality] = process.argv.slice(2);
const data = fs.readFileSync(input);
// Header: P6, width, height, maxval, each followed by one whitespace byte.
let offset = 0;
const fields = [];
while (fields.length < 4) {
  let start = offset;
  while (!/\s/.test(String.fromCharCode(data[offset]))) offset++;
  fields.push(data.toString('latin1', start, offset));
  offset++;
}
const [width, height] = [Number(fields[1]), Number(fields[2])];
sharp(data.subarray(offset), { raw: { width, height, channels: 3 } })
  .jpeg({ quality: Number(quality), mozjpeg: true })
  .toFile(output)
  .catch((error) => { console.error(error); process.exit(1); });
