// Values of the image page: the attributes of one frame (enhanced multi-frame
// files keep them in functional groups), the windows of the file and their
// VOI LUT function, and the probe's stored and modality values with their unit.
(function () {
  'use strict';

  var PER_FRAME_GROUPS = 'x52009230';
  var SHARED_GROUPS = 'x52009229';
  // Functional group sequences and the attributes they hold.
  var PIXEL_MEASURES = 'x00289110';
  var PIXEL_VALUE_TRANSFORMATION = 'x00289145';
  var FRAME_VOI_LUT = 'x00289132';
  var PLANE_POSITION = 'x00209113';
  var PLANE_ORIENTATION = 'x00209116';

  function itemOf(element, index) {
    var items = element && element.items;
    return items && items[index] ? items[index].dataSet : null;
  }

  function isEnhanced(dataSet) {
    return !!(dataSet && (dataSet.elements[PER_FRAME_GROUPS] || dataSet.elements[SHARED_GROUPS]));
  }

  // Where a frame's attribute of that functional group lives: the frame's own
  // group, else the shared groups, else the data set itself.
  function sourceOf(dataSet, frame, group, tag) {
    var groups = [itemOf(dataSet.elements[PER_FRAME_GROUPS], frame), itemOf(dataSet.elements[SHARED_GROUPS], 0)];
    for (var i = 0; i < groups.length; i++) {
      var item = groups[i] && itemOf(groups[i].elements[group], 0);
      if (item && item.elements[tag]) { return item; }
    }
    return dataSet;
  }

  function stringOf(dataSet, frame, group, tag) {
    if (!dataSet) { return ''; }
    var source = sourceOf(dataSet, frame, group, tag);
    var element = source.elements[tag];
    if (!element || !element.length) { return ''; }
    return (source.string(tag) || '').trim();
  }

  function numbersOf(dataSet, frame, group, tag) {
    var text = stringOf(dataSet, frame, group, tag);
    if (!text) { return []; }
    return text.split('\\').map(parseFloat);
  }

  function rescaleOf(dataSet, frame) {
    var slope = numbersOf(dataSet, frame, PIXEL_VALUE_TRANSFORMATION, 'x00281053')[0];
    var intercept = numbersOf(dataSet, frame, PIXEL_VALUE_TRANSFORMATION, 'x00281052')[0];
    return { slope: isFinite(slope) ? slope : 1, intercept: isFinite(intercept) ? intercept : 0,
             type: stringOf(dataSet, frame, PIXEL_VALUE_TRANSFORMATION, 'x00281054') };
  }

  // The windows of the frame: centre, width and explanation, in file order.
  function windowsOf(dataSet, frame) {
    var centres = numbersOf(dataSet, frame, FRAME_VOI_LUT, 'x00281050');
    var widths = numbersOf(dataSet, frame, FRAME_VOI_LUT, 'x00281051');
    var explanations = stringOf(dataSet, frame, FRAME_VOI_LUT, 'x00281055').split('\\');
    var windows = [];
    for (var i = 0; i < Math.min(centres.length, widths.length); i++) {
      if (isFinite(centres[i]) && widths[i] > 0) {
        windows.push({ center: centres[i], width: widths[i], explanation: (explanations[i] || '').trim() });
      }
    }
    return windows;
  }

  var VOI_FUNCTIONS = ['LINEAR', 'LINEAR_EXACT', 'SIGMOID'];

  // The VOI LUT function the file names; none when it names none (the
  // renderer's own linear window then applies).
  function voiFunctionOf(dataSet, frame) {
    var name = stringOf(dataSet, frame, FRAME_VOI_LUT, 'x00281056').toUpperCase();
    return VOI_FUNCTIONS.indexOf(name) >= 0 ? name : '';
  }

  // Row and column spacing of the frame, when the file gives them.
  function spacingOf(dataSet, frame) {
    var text = stringOf(dataSet, frame, PIXEL_MEASURES, 'x00280030');
    var values = numbersOf(dataSet, frame, PIXEL_MEASURES, 'x00280030');
    if (values.length !== 2 || !values.every(function (v) { return v > 0; })) { return null; }
    return { source: 'pixelSpacing', text: text, values: values };
  }

  function planeOf(dataSet, frame) {
    var position = numbersOf(dataSet, frame, PLANE_POSITION, 'x00200032');
    var orientation = numbersOf(dataSet, frame, PLANE_ORIENTATION, 'x00200037');
    return { position: position.length === 3 && position.every(isFinite) ? position : null,
             orientation: orientation.length === 6 && orientation.every(isFinite) ? orientation : null,
             thickness: numbersOf(dataSet, frame, PIXEL_MEASURES, 'x00180050')[0] || undefined };
  }

  // The unit of the modality values: the rescale type, Hounsfield units for
  // CT without one, else none ("US" says the unit is not given).
  function unitOf(dataSet, frame) {
    if (!dataSet) { return ''; }
    var type = rescaleOf(dataSet, frame).type;
    if (type && type !== 'US') { return type; }
    return !type && (dataSet.string('x00080060') || '').trim() === 'CT' ? 'HU' : '';
  }

  // The output of a VOI LUT function for a modality value, from 0 to 255.
  function voiOutput(name, value, center, width) {
    if (name === 'SIGMOID') { return 255 / (1 + Math.exp(-4 * (value - center) / width)); }
    if (name === 'LINEAR_EXACT') {
      if (value <= center - width / 2) { return 0; }
      if (value > center + width / 2) { return 255; }
      return ((value - center) / width + 0.5) * 255;
    }
    var low = center - 0.5 - (width - 1) / 2;
    if (value <= low) { return 0; }
    if (value > center - 0.5 + (width - 1) / 2) { return 255; }
    return ((value - (center - 0.5)) / Math.max(1, width - 1) + 0.5) * 255;
  }

  // The VOI output (0 to 255) of each stored value, before any inversion: the
  // renderer's own for a modality or VOI lookup table, else the VOI function's.
  function voiLut(image, viewport) {
    var voi = viewport.voi;
    if (viewport.voiLUT || viewport.modalityLUT) {
      image.cachedLut = undefined;
      return cornerstone.generateLut(image, voi.windowWidth, voi.windowCenter, false, viewport.modalityLUT, viewport.voiLUT);
    }
    var offset = Math.min(image.minPixelValue, 0);
    var lut = new Uint8ClampedArray(image.maxPixelValue - offset + 1);
    for (var stored = image.minPixelValue; stored <= image.maxPixelValue; stored++) {
      lut[stored - offset] = voiOutput(image.voiFunction, stored * image.slope + image.intercept, voi.windowCenter, voi.windowWidth);
    }
    return lut;
  }

  // Fills the image's lookup table (stored value to grey level) in the file's
  // order: modality, VOI, presentation, then the user's inversion (the
  // viewport's inversion away from the image's own), where the renderer looks
  // for it before making its own.
  function fillLut(image, viewport) {
    var voi = viewport.voi;
    var cached = image.cachedLut;
    if (cached && cached.filled && cached.voiFunction === image.voiFunction && cached.windowCenter === voi.windowCenter &&
        cached.windowWidth === voi.windowWidth && cached.invert === viewport.invert &&
        cached.modalityLUT === viewport.modalityLUT && cached.voiLUT === viewport.voiLUT) { return; }
    var lut = voiLut(image, viewport);
    var presentation = image.presentation || { table: null, inverse: !!image.invert };
    var flip = viewport.invert !== !!image.invert;
    for (var i = 0; i < lut.length; i++) {
      var grey = KestPresentation.present(presentation, lut[i]);
      lut[i] = flip ? 255 - grey : grey;
    }
    image.cachedLut = { lutArray: lut, filled: true, voiFunction: image.voiFunction, windowCenter: voi.windowCenter,
                        windowWidth: voi.windowWidth, invert: viewport.invert,
                        modalityLUT: viewport.modalityLUT, voiLUT: viewport.voiLUT };
  }

  function renderThroughLut(enabledElement, invalidated) {
    var viewport = enabledElement.viewport;
    if ((viewport.voiLUT || viewport.modalityLUT) && !enabledElement.image.presentation) {
      cornerstone.renderGrayscaleImage(enabledElement, invalidated);
      return;
    }
    fillLut(enabledElement.image, viewport);
    // The lookup table is current: an invalidated image is drawn anew with it.
    if (invalidated) { enabledElement.renderingTools.lastRenderedImageId = undefined; }
    cornerstone.renderGrayscaleImage(enabledElement, false);
  }

  // The VOI choices of an image: the file's lookup tables first (shown by
  // default, as the renderer does), then its windows.
  function choicesOf(image, dataSet, frame) {
    var voiModule = cornerstone.metaData.get('voiLutModule', image.imageId) || {};
    var luts = (voiModule.voiLUTSequence || []).map(function (lut) { return { lut: lut }; });
    return luts.concat(windowsOf(dataSet, frame));
  }

  var voiChoice = { index: 0, count: 0, button: null, caption: '' };

  function applyChoice(viewport, image) {
    var choice = image.voiChoices[voiChoice.index];
    if (!choice) { return viewport; }
    viewport.voiLUT = choice.lut;
    if (!choice.lut) { viewport.voi = { windowCenter: choice.center, windowWidth: choice.width }; }
    return viewport;
  }

  function showChoice(image) {
    var button = voiChoice.button;
    if (!button) { return; }
    voiChoice.count = image ? image.voiChoices.length : 0;
    button.style.display = voiChoice.count > 1 ? '' : 'none';
    var choice = image && image.voiChoices[voiChoice.index];
    button.textContent = voiChoice.caption + ' ' + (voiChoice.index + 1) + '/' + voiChoice.count;
    button.title = choice && choice.explanation ? choice.explanation : '';
  }

  var current = { element: null, image: null };

  // How a grey frame is drawn: through the page's own lookup table when the
  // file has a VOI LUT function or a presentation stage, else the renderer's.
  function greyRender(image, dataSet, frame) {
    image.voiChoices = choicesOf(image, dataSet, frame);
    image.voiFunction = voiFunctionOf(dataSet, frame);
    image.presentation = KestPresentation.presentationOf(dataSet, image);
    if (!image.voiFunction && !image.presentation) { return image.ownRender; }
    if (!image.throughLut) { image.cachedLut = undefined; }
    image.throughLut = true;
    return renderThroughLut;
  }

  // Readies a loaded frame for display: its modality unit, VOI choices, VOI
  // LUT function and presentation, overlay planes and shutters.
  function prepareImage(image, dataSet, frame) {
    image.frameIndex = frame;
    image.modalityUnit = unitOf(dataSet, frame);
    if (!('ownRender' in image)) { image.ownRender = image.render; }
    image.voiChoices = [];
    KestOverlayPlanes.prepare(image, dataSet, frame);
    var render = image.color || !dataSet ? image.ownRender : greyRender(image, dataSet, frame);
    image.render = KestShutters.around(render, dataSet, frame);
  }

  // Called when a frame is shown: a fresh load starts with the first choice; a
  // frame step keeps the choice, and follows the new frame's own window unless
  // the user moved it.
  function shown(element, image, viewport, fresh) {
    var previous = current.image;
    current.element = element;
    current.image = image;
    if (fresh) { voiChoice.index = 0; }
    voiChoice.index = Math.min(voiChoice.index, Math.max(0, image.voiChoices.length - 1));
    var untouched = previous && previous.voiChoices && previous.voiChoices[voiChoice.index] &&
      !previous.voiChoices[voiChoice.index].lut &&
      viewport.voi.windowCenter === previous.voiChoices[voiChoice.index].center &&
      viewport.voi.windowWidth === previous.voiChoices[voiChoice.index].width;
    if (!fresh && untouched) { applyChoice(viewport, image); }
    showChoice(image);
    return viewport;
  }

  function nextChoice() {
    var image = current.image;
    if (!image || !image.voiChoices || image.voiChoices.length < 2) { return; }
    voiChoice.index = (voiChoice.index + 1) % image.voiChoices.length;
    var viewport = applyChoice(cornerstone.getViewport(current.element), image);
    cornerstone.setViewport(current.element, viewport);
    showChoice(image);
  }

  // The button that steps through the file's windows; the host is not told.
  function attachChoiceButton(button) {
    voiChoice.button = button;
    voiChoice.caption = button.textContent.charAt(0) === '#' ? 'VOI' : button.textContent;
    button.addEventListener('click', nextChoice);
    showChoice(null);
  }

  // Metadata of enhanced multi-frame frames ("wadouri:URL?frame=N") from
  // their functional groups, over the loader's own.
  var FRAME_MODULES = ['modalityLutModule', 'voiLutModule', 'imagePlaneModule'];

  function frameProvider(type, imageId) {
    if (FRAME_MODULES.indexOf(type) < 0 || imageId.indexOf('wadouri:') !== 0) { return undefined; }
    var loader = cornerstoneWADOImageLoader.wadouri;
    var at = imageId.indexOf('?frame=');
    var url = imageId.substring(8, at < 0 ? imageId.length : at);
    var dataSet = loader.dataSetCacheManager.get(url);
    if (!isEnhanced(dataSet)) { return undefined; }
    var frame = at < 0 ? 0 : parseInt(imageId.substring(at + 7), 10) || 0;
    var base = loader.metaData.metaDataProvider(type, imageId);
    if (type === 'modalityLutModule') {
      var rescale = rescaleOf(dataSet, frame);
      return Object.assign({}, base, { rescaleSlope: rescale.slope, rescaleIntercept: rescale.intercept, rescaleType: rescale.type });
    }
    if (type === 'voiLutModule') {
      var windows = windowsOf(dataSet, frame);
      return Object.assign({}, base, { windowCenter: windows.length ? windows.map(function (w) { return w.center; }) : undefined,
                                      windowWidth: windows.length ? windows.map(function (w) { return w.width; }) : undefined });
    }
    return Object.assign({}, base, planeModule(dataSet, frame));
  }

  function planeModule(dataSet, frame) {
    var plane = planeOf(dataSet, frame);
    var spacing = spacingOf(dataSet, frame);
    var module = { imagePositionPatient: plane.position, imageOrientationPatient: plane.orientation,
                   sliceThickness: plane.thickness };
    if (plane.orientation) {
      module.rowCosines = plane.orientation.slice(0, 3);
      module.columnCosines = plane.orientation.slice(3, 6);
    }
    if (spacing) {
      module.pixelSpacing = spacing.values;
      module.rowPixelSpacing = spacing.values[0];
      module.columnPixelSpacing = spacing.values[1];
    }
    return module;
  }

  // The probe: the stored value of the pixel and its modality value with its unit.
  function probeValues(image, x, y, element) {
    if (image.storedValues && !image.color) {
      var stored = image.storedValues[y * image.width + x];
      var rescale = image.modality || image;
      return { stored: stored, modality: stored * rescale.slope + rescale.intercept };
    }
    var value = cornerstone.getStoredPixels(element, x, y, 1, 1)[0];
    return { stored: value, modality: value * image.slope + image.intercept };
  }

  function probeText(image, x, y, element) {
    if (image.color) {
      var rgb = cornerstoneTools.importInternal('util/getRGBPixels')(element, x, y, 1, 1);
      return 'R: ' + rgb[0] + ' G: ' + rgb[1] + ' B: ' + rgb[2];
    }
    var values = probeValues(image, x, y, element);
    var unit = image.modalityUnit ? ' ' + image.modalityUnit : '';
    return 'SP: ' + values.stored + ' MO: ' + parseFloat(values.modality.toFixed(3)) + unit;
  }

  function makeProbeTool() {
    var draw = cornerstoneTools.importInternal('drawing/draw');
    var getNewContext = cornerstoneTools.importInternal('drawing/getNewContext');
    var drawHandles = cornerstoneTools.importInternal('drawing/drawHandles');
    var drawTextBox = cornerstoneTools.importInternal('drawing/drawTextBox');

    class ValueProbeTool extends cornerstoneTools.ProbeTool {
      renderToolData(evt) {
        var detail = evt.detail;
        var toolState = cornerstoneTools.getToolState(evt.currentTarget, this.name);
        if (!toolState) { return; }
        var context = getNewContext(detail.canvasContext.canvas);
        var image = detail.image;
        var fontHeight = cornerstoneTools.textStyle.getFontSize();
        var handleRadius = this.configuration.handleRadius;
        toolState.data.forEach(function (data) {
          if (data.visible === false) { return; }
          draw(context, function (drawing) {
            var color = cornerstoneTools.toolColors.getColorIfActive(data);
            drawHandles(drawing, detail, data.handles, { handleRadius: handleRadius, color: color });
            var x = Math.round(data.handles.end.x);
            var y = Math.round(data.handles.end.y);
            if (x < 0 || y < 0 || x >= image.columns || y >= image.rows) { return; }
            var at = cornerstone.pixelToCanvas(detail.element, { x: data.handles.end.x + 3, y: data.handles.end.y - 3 });
            drawTextBox(drawing, probeText(image, x, y, detail.element), at.x, at.y + fontHeight + 5, color);
            drawTextBox(drawing, x + ', ' + y, at.x, at.y, color);
          });
        });
      }
    }
    return ValueProbeTool;
  }

  window.KestValues = {
    rescaleOf: rescaleOf,
    windowsOf: windowsOf,
    spacingOf: spacingOf,
    planeOf: planeOf,
    probeText: probeText,
    prepareImage: prepareImage,
    shown: shown,
    attachChoiceButton: attachChoiceButton,
    frameProvider: frameProvider,
    makeProbeTool: makeProbeTool
  };
})();
