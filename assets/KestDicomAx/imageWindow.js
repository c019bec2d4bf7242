// The image page's functions the viewer calls by name: the sidebar shown or
// hidden, the image's size, and the image saved as PNG or JPEG (or its stored
// values, for tests), each answered by a message. Starts the page.
(function (page) {
  'use strict';

  var { element, state, post, SAMPLE_TYPES } = page;

  function typeName(values) {
    var names = Object.keys(SAMPLE_TYPES);
    for (var i = 0; i < names.length; i++) {
      if (values instanceof SAMPLE_TYPES[names[i]]) { return names[i]; }
    }
    return '';
  }

  // The modality rescale of the stored values: a lookup table, or slope and intercept.
  function modalityOf(image) {
    if (image.modalityLUT && image.modalityLUT.lut) {
      return { firstValueMapped: image.modalityLUT.firstValueMapped, lut: Array.prototype.slice.call(image.modalityLUT.lut) };
    }
    var rescale = image.modality || image;
    return { slope: rescale.slope, intercept: rescale.intercept };
  }

  function storedValuesOf(image) {
    var stored = image.storedValues || image.getPixelData();
    if (image.color && !image.storedValues) {
      var rgb = new Uint8Array(stored.length / 4 * 3);
      for (var p = 0, q = 0; p < stored.length; p += 4) {
        rgb[q++] = stored[p]; rgb[q++] = stored[p + 1]; rgb[q++] = stored[p + 2];
      }
      stored = rgb;
    }
    var samples = image.color ? 3 : 1;
    return { stored: stored, type: typeName(stored), samples: samples,
             modality: samples === 1 ? modalityOf(image) : null };
  }

  function base64Of(parts) {
    var text = '';
    parts.forEach(function (bytes) {
      for (var i = 0; i < bytes.length; i += 0x8000) {
        text += String.fromCharCode.apply(null, bytes.subarray(i, Math.min(i + 0x8000, bytes.length)));
      }
    });
    return btoa(text);
  }

  function canvasOf() { return element.querySelector('canvas'); }

  function saveImage(fileName, type) {
    if (!state.image) { post('saveImageError', 'No image is displayed'); return; }
    try {
      var dataUrl = canvasOf().toDataURL(type, 0.95);
      post('saveImage', JSON.stringify({ fileName: String(fileName), base64: dataUrl.substring(dataUrl.indexOf(',') + 1) }));
    } catch (e) {
      post('saveImageError', e.message);
    }
  }

  function setSidebarVisible(visible) {
    document.getElementById('sidebar').classList.toggle('hidden', !visible);
    if (state.image) { cornerstone.resize(element); }
  }

  // Called by the viewer (KestDicomViewAX::showSidebar and hideSidebar: the SideBarVisible
  // property and each image load).
  window.showSidebar = function () { setSidebarVisible(true); };
  window.hideSidebar = function () { setSidebarVisible(false); };

  // Answered by "imageDimensions". Called by the viewer's GetImageSize.
  window.getCurrentImageDimensions = function () {
    if (!state.image) { post('imageDimensionsError', 'No image is displayed'); return; }
    post('imageDimensions', JSON.stringify({ largeur: String(state.image.width), hauteur: String(state.image.height) }));
  };

  // Answered by "saveImage" with the image as base64. Called by the viewer's image outputs
  // (ViewerOutput.cpp) for a .png name.
  window.saveCurrentImage = function (fileName) { saveImage(fileName, 'image/png'); };

  // Test readback: the stored values of the frame shown, written to the file
  // through "saveImage": one JSON header line (rows, columns, samples, type,
  // frame, and for grey images the modality rescale applied to them), then
  // the values little-endian. Called through RunJs by kestdicom-render --values.
  window.saveCurrentValues = function (fileName) {
    if (!state.image) { post('saveImageError', 'No image is displayed'); return; }
    try {
      var values = storedValuesOf(state.image);
      var header = JSON.stringify({ rows: state.image.rows, columns: state.image.columns, samples: values.samples,
                                    type: values.type, frame: state.image.frameIndex, modality: values.modality }) + '\n';
      var parts = [new TextEncoder().encode(header), new Uint8Array(values.stored.buffer, values.stored.byteOffset, values.stored.byteLength)];
      post('saveImage', JSON.stringify({ fileName: String(fileName), base64: base64Of(parts) }));
    } catch (e) {
      post('saveImageError', e.message);
    }
  };

  // Called by the viewer's image outputs for a .jpg name and by its printing (ViewerPrinting.cpp).
  window.saveCurrentImageJpeg = function (fileName) { saveImage(fileName, 'image/jpeg'); };

  try {
    page.setUpLoaders();
    page.setUpTools();
    page.loadCurrentFile();
  } catch (e) {
    page.failLoad('the viewer could not start (' + e.message + ')', null);
  }
})(window.KestImagePage);
