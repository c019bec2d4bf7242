// The image page's shared state: the file shown and its frame, how its text
// values read, and how a load that cannot show an image ends. The page's
// other scripts (imageDecoding.js, imageTools.js, imageWindow.js) work on
// the window.KestImagePage it makes.
(function () {
  'use strict';

  var { charsetOf, post } = KestPage;

  var element = document.getElementById('image');
  var state = { fileIndex: 0, name: '', url: '', dataSet: null, frame: 0, frames: 1, calibration: 'none',
                spacing: null, image: null, zoom: null, translation: null };

  function showNotice(text) { document.getElementById('notice').textContent = text; }

  // A text element decoded with the file's character set, without its padding.
  function textOf(dataSet, tag) {
    var el = dataSet ? dataSet.elements[tag] : null;
    if (!el || !el.length || el.dataOffset + el.length > dataSet.byteArray.length) { return ''; }
    var bytes = dataSet.byteArray.subarray(el.dataOffset, el.dataOffset + el.length);
    return new TextDecoder(charsetOf(dataSet)).decode(bytes).replace(/[\s\0]+$/, '').replace(/^\s+/, '');
  }

  function numbersOf(dataSet, tag) {
    return textOf(dataSet, tag).split('\\').map(parseFloat).filter(function (n) { return isFinite(n) && n > 0; });
  }

  // Row and column spacing with where they come from: the only spatial
  // ultrasound region's, else the frame's pixel spacing (enhanced files keep
  // it per frame), else the imager's (at the detector: named so when the file
  // gives the magnification it was not corrected for).
  function calibrationOf(dataSet) {
    var region = KestRegions.use(dataSet);
    if (region) { return region; }
    var pixelSpacing = KestValues.spacingOf(dataSet, 0);
    if (pixelSpacing) { return pixelSpacing; }
    var spacing = numbersOf(dataSet, 'x00181164');
    var source = numbersOf(dataSet, 'x00181114').length ? 'detectorPixelSpacing' : 'imagerPixelSpacing';
    if (spacing.length === 2) { return { source: source, text: textOf(dataSet, 'x00181164'), values: spacing }; }
    return { source: 'none', text: '', values: null };
  }

  // The spacing the viewer reports ("rows//columns" in mm): the pixel
  // spacing's text, or an ultrasound region's.
  var REPORTED_CALIBRATIONS = ['pixelSpacing', 'ultrasoundRegion'];

  function hasPixelData(dataSet) {
    return !!(dataSet.elements.x7fe00010 || dataSet.elements.x7fe00008 || dataSet.elements.x7fe00009);
  }

  // The name of the file shown: the working copy's, or another file's of the stack.
  function fileName() { return state.name || (window.dicomFileList || [])[state.fileIndex] || ''; }

  // extra: further values the message carries (a stack's index and count).
  function describe(dataSet, width, height, extra) {
    var spacing = REPORTED_CALIBRATIONS.indexOf(state.calibration) >= 0 ? state.spacing.text.split('\\').map(function (s) {
      return s.trim();
    }).join('//') : '';
    return JSON.stringify(Object.assign({
      nom: dataSet ? textOf(dataSet, 'x00100010') : '',
      naissance: dataSet ? textOf(dataSet, 'x00100030') : '',
      dateExamen: dataSet ? textOf(dataSet, 'x00080020') : '',
      largeur: String(width),
      hauteur: String(height),
      fileName: fileName(),
      modality: dataSet ? textOf(dataSet, 'x00080060') : '',
      multiFrame: state.frames > 1 ? 'true' : 'false',
      frame: String(state.frame),
      totalFrames: String(state.frames),
      pixelSpacing: spacing,
      calibration: state.calibration
    }, extra || {}));
  }

  // A load the decoder never ends (a worker that neither answers nor fails)
  // is reported as failed after this long, so that the viewer's load ends.
  var ANSWER_MS = 20000;

  function failLoad(reason, dataSet) {
    if (state.answered) { return; }
    state.answered = true;
    state.image = null;
    showNotice('This file cannot be displayed: ' + reason);
    post('imageChanged', describe(dataSet, 0, 0));
    post('imageError', reason);
  }

  function errorText(err) {
    if (!err) { return 'unknown error'; }
    if (err.error) { return errorText(err.error); }
    if (err.exception) { return String(err.exception); }
    if (typeof err === 'string') { return err; }
    if (err.message) { return err.message; }
    if (typeof err.status === 'number') { return 'the file could not be read (status ' + err.status + ')'; }
    return String(err);
  }

  window.KestImagePage = {
    element: element, state: state, post: post, showNotice: showNotice, textOf: textOf,
    calibrationOf: calibrationOf, hasPixelData: hasPixelData, fileName: fileName, describe: describe,
    failLoad: failLoad, errorText: errorText, ANSWER_MS: ANSWER_MS
  };
})();
