// Run with the npm package @cornerstonejs/codec-openjph (OpenJPH) installed;
// make_htj2k_dicom.py then wraps the codestreams into ramp_htj2k_2frames.dcm.
// Writes HTJ2K lossless codestreams of two 16 x 12 frames of 12-bit samples:
// frame 0 holds (x * 257 + y * 61) mod 4096 at (x, y), frame 1 4095 minus that.
const factory = require('@cornerstonejs/codec-openjph');
factory().then((m) => {
  const w = 16, h = 12;
  for (let f = 0; f < 2; f++) {
    const enc = new m.HTJ2KEncoder();
    const raw = new Uint16Array(w * h);
    for (let y = 0; y < h; y++) for (let x = 0; x < w; x++) {
      const v = (x * 257 + y * 61) % 4096;
      raw[y * w + x] = f === 0 ? v : 4095 - v;
    }
    enc.getDecodedBuffer({ width: w, height: h, bitsPerSample: 12, componentCount: 1, isSigned: false, isUsingColorTransform: false }).set(new Uint8Array(raw.buffer));
    enc.setQuality(true, 0);
    enc.encode();
    require('fs').writeFileSync('frame' + f + '.j2c', Buffer.from(enc.getEncodedBuffer()));
  }
});
