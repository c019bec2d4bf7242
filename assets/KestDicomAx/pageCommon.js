// What every page of the viewer shares: messages to the host, the instance
// folder the page was filled for, and the character sets of DICOM text.
// Loaded before each page's own scripts.
(function () {
  'use strict';

  // Specific Character Set terms and the decoders that read them.
  var CHARSETS = {
    'ISO_IR 192': 'utf-8', 'ISO_IR 100': 'windows-1252', 'ISO_IR 101': 'iso-8859-2',
    'ISO_IR 109': 'iso-8859-3', 'ISO_IR 110': 'iso-8859-4', 'ISO_IR 144': 'iso-8859-5',
    'ISO_IR 127': 'iso-8859-6', 'ISO_IR 126': 'iso-8859-7', 'ISO_IR 138': 'iso-8859-8',
    'ISO_IR 148': 'iso-8859-9', 'ISO_IR 166': 'windows-874', 'ISO_IR 13': 'shift_jis',
    'GB18030': 'gb18030', 'GBK': 'gbk'
  };

  // The host object exists only inside the viewer; a plain browser has none.
  function post(name, content) {
    try {
      if (typeof vbH === 'function') { vbH().RaiseMessageEvent(name, content); }
    } catch (e) { /* no host: nothing to tell */ }
  }

  // The instance folder as a file URL.
  function rootUrl() {
    var root = document.querySelector('meta[name="kest-root"]').content;
    var segments = root.replace(/\\/g, '/').split('/').map(function (s) {
      return /^[A-Za-z]:$/.test(s) ? s : encodeURIComponent(s);
    });
    var path = segments.join('/').replace(/\/*$/, '/');
    return 'file://' + (path.charAt(0) === '/' ? '' : '/') + path;
  }

  // The decoder of a data set's text: its last character set term, Latin-1 when it names none.
  function charsetOf(dataSet) {
    if (!dataSet.elements.x00080005) { return 'windows-1252'; }
    var values = dataSet.string('x00080005').split('\\');
    return CHARSETS[values[values.length - 1].trim()] || 'windows-1252';
  }

  window.KestPage = { CHARSETS: CHARSETS, post: post, rootUrl: rootUrl, charsetOf: charsetOf };
})();
