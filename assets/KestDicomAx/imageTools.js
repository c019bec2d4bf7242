// The image page's tools and commands: the sidebar's buttons and the viewer's
// PressButton, the zoom, frame and file steps, and what the page tells the host
// as the view changes (zoom, offset, clicks).
(function (page) {
  'use strict';

  var { element, state, post, displayFrame, loadCurrentFile } = page;

  // Tool buttons that switch the active cornerstoneTools tool, by page command.
  var TOOLS = {
    Wwwc: 'Wwwc', Zoom: 'Zoom', Pan: 'Pan', Length: 'Length', Angle: 'Angle',
    Cobb: 'CobbAngle', Rectangle: 'RectangleRoi', Ellipse: 'EllipticalRoi',
    Probe: 'Probe', Magnify: 'Magnify'
  };
  var ANNOTATION_TOOLS = ['Length', 'Angle', 'CobbAngle', 'RectangleRoi', 'EllipticalRoi', 'Probe'];
  // Tools whose value depends on the pixel calibration.
  var CALIBRATED_TOOLS = ['Length', 'RectangleRoi', 'EllipticalRoi'];

  // The tools, the sidebar's buttons and the view's own events.
  function setUpTools() {
    cornerstoneTools.external.cornerstone = cornerstone;
    cornerstoneTools.external.Hammer = Hammer;
    cornerstoneTools.external.cornerstoneMath = cornerstoneMath;
    // No labelmaps are drawn here. The segmentation module makes its colour
    // table as the tools start: 65535 colours by default, and a warning when it
    // is given fewer than segmentsPerLabelmap. It starts with none, then gets
    // 16 plain ones.
    var segmentation = cornerstoneTools.store.modules.segmentation;
    segmentation.configuration.segmentsPerLabelmap = 0;
    cornerstoneTools.init({ showSVGCursors: false });
    segmentation.configuration.segmentsPerLabelmap = 16;
    segmentation.setters.colorLUT(0, Array.from({ length: 16 }, function (unused, i) {
      return [255, 16 * i, 0, 255];
    }));
    cornerstone.enable(element);
    Object.keys(TOOLS).forEach(function (command) {
      cornerstoneTools.addTool(command === 'Probe' ? KestValues.makeProbeTool() : KestRegions.measuredBy(cornerstoneTools[TOOLS[command] + 'Tool']));
    });
    element.addEventListener('contextmenu', function (event) { event.preventDefault(); });
    element.addEventListener(cornerstone.EVENTS.IMAGE_RENDERED, onRendered);
    element.addEventListener(cornerstoneTools.EVENTS.MOUSE_CLICK, onClicked);
    window.addEventListener('resize', function () { if (state.image) { cornerstone.resize(element); } });
    Array.prototype.forEach.call(document.querySelectorAll('#sidebar button[data-command]'), function (button) {
      button.addEventListener('click', function () { window.PressButton(button.getAttribute('data-command')); });
    });
    // Showing the overlay is the page's own affair: the host is not told.
    document.getElementById('overlayToggle').addEventListener('click', KestOverlay.toggle);
    KestValues.attachChoiceButton(document.getElementById('voiChoice'));
    activateTool('Wwwc');
  }

  function activateTool(command) {
    Object.keys(TOOLS).forEach(function (other) {
      if (other !== command) { cornerstoneTools.setToolPassive(TOOLS[other]); }
    });
    cornerstoneTools.setToolActive(TOOLS[command], { mouseButtonMask: 1 });
    Array.prototype.forEach.call(document.querySelectorAll('#sidebar button'), function (button) {
      button.classList.toggle('active', button.getAttribute('data-command') === command);
    });
  }

  function onRendered(event) {
    var viewport = event.detail.viewport;
    var zoom = Math.round(viewport.scale * 100);
    if (zoom !== state.zoom) {
      state.zoom = zoom;
      post('zoomChanged', String(zoom));
    }
    var translation = viewport.translation.x + ',' + viewport.translation.y;
    if (state.translation !== null && translation !== state.translation) { postOffset(); }
    state.translation = translation;
    drawCalibrationLabels(event.detail);
    KestOverlay.follow(viewport, element);
  }

  // Each length or area measurement carries the source of its calibration beside its value.
  function drawCalibrationLabels(detail) {
    var context = detail.canvasContext;
    context.save();
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.font = '11px sans-serif';
    context.fillStyle = '#9fd3ff';
    CALIBRATED_TOOLS.forEach(function (tool) {
      var toolState = cornerstoneTools.getToolState(element, tool);
      (toolState ? toolState.data : []).forEach(function (data) {
        var box = data.handles && data.handles.textBox && data.handles.textBox.boundingBox;
        var label = KestOverlay.calibrationText(KestRegions.calibrationOf(data, state.calibration));
        if (box) { context.fillText(label, box.left, box.top + box.height + 12); }
      });
    });
    context.restore();
  }

  function pagePointOfPixel(x, y) {
    var canvasPoint = cornerstone.pixelToCanvas(element, { x: x, y: y });
    var rect = element.getBoundingClientRect();
    return { x: rect.left + canvasPoint.x, y: rect.top + canvasPoint.y };
  }

  // Reports the viewport's centre in page and image pixels, and where the image origin lies.
  function postOffset() {
    var rect = element.getBoundingClientRect();
    var centre = cornerstone.canvasToPixel(element, { x: rect.width / 2, y: rect.height / 2 });
    var origin = pagePointOfPixel(0, 0);
    post('offsetChanged', JSON.stringify({
      dpr: String(window.devicePixelRatio || 1),
      screenX: String(Math.round(rect.left + rect.width / 2)),
      screenY: String(Math.round(rect.top + rect.height / 2)),
      imageX: String(Math.round(centre.x)),
      imageY: String(Math.round(centre.y)),
      originX: String(Math.round(origin.x)),
      originY: String(Math.round(origin.y)),
      viewportLeft: String(Math.round(rect.left)),
      viewportTop: String(Math.round(rect.top))
    }));
  }

  function storedValueAt(x, y) {
    var image = state.image;
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) { return ''; }
    // Frames the host decoded keep their stored values beside the values they are shown with.
    if (image.storedValues && !image.color) { return String(image.storedValues[y * image.width + x]); }
    return String(cornerstone.getStoredPixels(element, x, y, 1, 1)[0]);
  }

  function onClicked(event) {
    if (!state.image) { return; }
    var point = event.detail.currentPoints.image;
    var x = Math.floor(point.x);
    var y = Math.floor(point.y);
    post('imageClicked', JSON.stringify({ pixelX: String(x), pixelY: String(y), pixelValue: storedValueAt(x, y) }));
  }

  function updateViewport(change) {
    if (!state.image) { return; }
    var viewport = cornerstone.getViewport(element);
    change(viewport);
    cornerstone.setViewport(element, viewport);
  }

  function clearAnnotations() {
    ANNOTATION_TOOLS.forEach(function (tool) { cornerstoneTools.clearToolState(element, tool); });
    if (state.image) { cornerstone.updateImage(element); }
    page.measurements.report();
  }

  function resetView() {
    if (!state.image) { return; }
    cornerstone.reset(element);
    cornerstone.fitToWindow(element);
  }

  function stepFrame(step) {
    var frame = state.frame + step;
    if (!state.image || frame < 0 || frame >= state.frames) { return; }
    // The frame asked for is current at once, so quick steps add up as the host counts them.
    state.frame = frame;
    displayFrame(frame, false);
  }

  function stepFile(step) {
    var index = state.fileIndex + step;
    if (index < 0 || index >= (window.dicomFileList || []).length) { return; }
    state.fileIndex = index;
    loadCurrentFile();
  }

  var ACTIONS = {
    Invert: function () { updateViewport(function (v) { v.invert = !v.invert; }); },
    Clear: clearAnnotations,
    Reinit: resetView,
    // In a stack, frame steps stay within its file and file steps go through the stack.
    FrameNext: function () { if (!page.stack.stepFrame(1)) { stepFrame(1); } },
    FramePrev: function () { if (!page.stack.stepFrame(-1)) { stepFrame(-1); } },
    Precedent: function () { if (!page.stack.step(-1)) { stepFile(-1); } },
    Suivant: function () { if (!page.stack.step(1)) { stepFile(1); } }
  };

  // A tool or a command by its page name. Called by the viewer (SelectTool, SetScale1 and the
  // invert-on-load in ViewerCommands.cpp / ViewerPageProtocol.cpp) and by the sidebar's buttons.
  window.PressButton = function (command) {
    command = String(command);
    // Every command stops the cine; the stack's own steps stop it too.
    page.stack.stopCine();
    if (Object.prototype.hasOwnProperty.call(TOOLS, command)) {
      activateTool(command);
    } else if (Object.prototype.hasOwnProperty.call(ACTIONS, command)) {
      ACTIONS[command]();
    } else {
      return;
    }
    post('buttonClicked', command);
  };

  // The zoom in percent. Called by the viewer (SetScale1 and the dcmZoomFactor property).
  window.SetZoom = function (percent) {
    var scale = parseFloat(percent) / 100;
    if (!state.image || !(scale > 0) || !isFinite(scale)) { return; }
    updateViewport(function (v) { v.scale = scale; });
    state.zoom = Math.round(scale * 100);
    post('zoomChanged', String(state.zoom));
  };

  page.setUpTools = setUpTools;
})(window.KestImagePage);
