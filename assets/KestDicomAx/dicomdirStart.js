// The DICOMDIR page's start and end: the directory read and shown, its summary
// and notices, and the one "dicomdirLoaded" report to the host.
(function (page) {
  'use strict';

  var { T, say, counted, post, tree, folder, progress, request, listFolder, findEntry, checkFile,
    readDirectory, buildTree, countTree, shortened, appendRows, openUpperLevels, setCurrent } = page;

  // Up to this many referenced files are checked at load, the rest when shown.
  var CHECK_AT_LOAD = 2000;
  // ----- start and end -----

  function showSummary() {
    var counts = progress.counts;
    if (!counts) { return; }
    var parts = [counted(counts.patients, T.patients), counted(counts.studies, T.studies),
      counted(counts.series, T.series), counted(counts.images, T.images)];
    if (counts.documents) { parts.push(counted(counts.documents, T.documents)); }
    if (progress.missingCount) { parts.push(counted(progress.missingCount, T.missingFiles)); }
    document.getElementById('summary').textContent = parts.join(' \u00b7 ');
  }

  function showNotice(lines) { document.getElementById('notice').textContent = lines.join('\n'); }

  function finish(status, report) {
    if (progress.posted) { return; }
    progress.posted = true;
    var counts = progress.counts;
    // Counts go as text: the viewer reads quoted values.
    var content = { status: status, patients: String(counts ? counts.patients : 0),
      totalImages: String(counts ? counts.leaves.length : 0) };
    if (report) { content.message = report; }
    document.body.setAttribute('data-state', status === 'ok' ? 'done' : status);
    if (!progress.pendingChecks) { document.body.setAttribute('data-files', 'checked'); }
    post('dicomdirLoaded', JSON.stringify(content));
  }

  function fail(message) {
    showNotice(message === T.cannotRead ? [message] : [T.cannotRead, message]);
    finish('error', message);
  }

  function show(bytes) {
    var directory = readDirectory(bytes);
    var roots = buildTree(directory);
    var counts = countTree(roots);
    progress.counts = counts;
    document.getElementById('fileset').textContent = shortened(directory.fileSetId);
    appendRows(tree, roots, 0, 0);
    openUpperLevels();
    setCurrent(tree.firstChild && tree.firstChild.firstChild);
    if (counts.leaves.length <= CHECK_AT_LOAD) {
      counts.leaves.forEach(function (record) { if (record.components) { checkFile(record); } });
    }
    var problems = directory.problems.filter(function (problem, index, all) {
      return all.indexOf(problem) === index;
    }).slice(0, 10);
    var notes = problems.length ? [T.damaged].concat(problems) : [];
    var inUse = directory.records.filter(function (record) { return record.inUse; }).length;
    if (!problems.length && counts.records < inUse) { notes.push(say(T.unlinked, [inUse - counts.records])); }
    if (!directory.records.length) { notes.push(T.noRecords); }
    showNotice(notes);
    showSummary();
    tree.focus();
    finish(problems.length ? 'partial' : 'ok', problems.join(' '));
  }

  function start() {
    if (typeof dicomParser === 'undefined') { fail(T.library); return; }
    showNotice([T.reading]);
    var loaded = function (buffer) {
      try {
        if (!buffer || !buffer.byteLength) { fail(T.notDirectory); return; }
        show(new Uint8Array(buffer));
      } catch (e) {
        fail(e && e.message ? e.message : String(e));
      }
    };
    // A copied medium may spell the file in another case: the folder listing finds it.
    request(folder + '/DICOMDIR', 'arraybuffer', loaded, function () {
      listFolder(folder).then(function (entries) {
        var name = entries && findEntry(entries, 'DICOMDIR', false);
        var failed = function () { fail(T.cannotRead); };
        if (name && name !== 'DICOMDIR') { request(folder + '/' + name, 'arraybuffer', loaded, failed); } else { failed(); }
      });
    });
  }

  try {
    start();
  } catch (e) {
    fail(e && e.message ? e.message : String(e));
  }

  page.showSummary = showSummary;
})(window.KestDicomdirPage);
