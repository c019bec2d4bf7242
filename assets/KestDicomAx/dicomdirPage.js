// The DICOMDIR page's texts in its language, its messages to the host, and the
// files it reads: the DICOMDIR, and the folder listings that tell whether each
// referenced file exists and how its name is spelt on disk. The page's other
// scripts (dicomdirRecords.js, dicomdirTree.js, dicomdirStart.js) work on the
// window.KestDicomdirPage it makes.
(function () {
  'use strict';

  var page = {};
  window.KestDicomdirPage = page;

  var TEXTS = {
    en: {
      patients: ['patient', 'patients'], studies: ['study', 'studies'], series: ['series', 'series'],
      images: ['image', 'images'], documents: ['other document', 'other documents'],
      seriesDocuments: ['document', 'documents'], missingFiles: ['file missing', 'files missing'],
      reading: 'Reading the directory\u2026',
      id: 'ID', born: 'born', sex: 'sex', accession: 'accession no.', seriesLabel: 'Series',
      studyLabel: 'Study', image: 'Image', noName: '(no name)',
      missing: 'file missing', invalid: 'invalid file reference',
      more: 'Show the next {0} of {1} remaining\u2026',
      cannotRead: 'The DICOMDIR file cannot be read.',
      notDirectory: 'This file is not a DICOM directory.',
      compressed: 'This DICOMDIR is compressed (deflated); the page cannot read it.',
      library: 'The page library dicomParser.js could not be loaded.',
      damaged: 'The directory is damaged; what could be read is shown.',
      noRecords: 'The directory lists no records.',
      loop: 'The record offset to byte {0} leads back to a record already read.',
      badOffset: 'An offset points to byte {0}, where no record starts.',
      truncated: 'The file ends inside the record list.',
      badRecord: 'The record at byte {0} is damaged.',
      tooMany: 'Only the first {0} records were read.',
      tooSlow: 'Reading stopped after {0} seconds.',
      unlinked: '{0} records are not linked into the directory tree.'
    },
    fr: {
      zeroIsSingular: true,
      patients: ['patient', 'patients'], studies: ['\u00e9tude', '\u00e9tudes'], series: ['s\u00e9rie', 's\u00e9ries'],
      images: ['image', 'images'], documents: ['autre document', 'autres documents'],
      seriesDocuments: ['document', 'documents'], missingFiles: ['fichier manquant', 'fichiers manquants'],
      reading: 'Lecture du r\u00e9pertoire\u2026',
      id: 'ID', born: 'n\u00e9(e) le', sex: 'sexe', accession: 'n\u00b0 d\u2019accession', seriesLabel: 'S\u00e9rie',
      studyLabel: '\u00c9tude', image: 'Image', noName: '(sans nom)',
      missing: 'fichier manquant', invalid: 'r\u00e9f\u00e9rence de fichier invalide',
      more: 'Afficher les {0} suivants sur {1} restants\u2026',
      cannotRead: 'Le fichier DICOMDIR ne peut pas \u00eatre lu.',
      notDirectory: 'Ce fichier n\u2019est pas un r\u00e9pertoire DICOM.',
      compressed: 'Ce DICOMDIR est compress\u00e9 (deflate)\u00a0; la page ne peut pas le lire.',
      library: 'La biblioth\u00e8que dicomParser.js de la page n\u2019a pas pu \u00eatre charg\u00e9e.',
      damaged: 'Le r\u00e9pertoire est endommag\u00e9\u00a0; ce qui a pu \u00eatre lu est affich\u00e9.',
      noRecords: 'Le r\u00e9pertoire ne contient aucun enregistrement.',
      loop: 'Le d\u00e9calage vers l\u2019octet {0} ram\u00e8ne \u00e0 un enregistrement d\u00e9j\u00e0 lu.',
      badOffset: 'Un d\u00e9calage d\u00e9signe l\u2019octet {0}, o\u00f9 ne commence aucun enregistrement.',
      truncated: 'Le fichier s\u2019arr\u00eate au milieu de la liste des enregistrements.',
      badRecord: 'L\u2019enregistrement \u00e0 l\u2019octet {0} est endommag\u00e9.',
      tooMany: 'Seuls les {0} premiers enregistrements ont \u00e9t\u00e9 lus.',
      tooSlow: 'Lecture interrompue apr\u00e8s {0} secondes.',
      unlinked: '{0} enregistrements ne sont pas reli\u00e9s \u00e0 l\u2019arborescence.'
    }
  };
  var T = TEXTS[document.documentElement.lang] || TEXTS.en;

  var tree = document.getElementById('tree');
  var folder = dicomdirFolder();
  // What the page has found so far, shared by its scripts.
  var progress = { posted: false, counts: null, missingCount: 0, pendingChecks: 0 };
  var listings = new Map();
  var listingsWork = null;

  function say(text, values) {
    return text.replace(/\{(\d)\}/g, function (all, index) { return String(values[index]); });
  }

  function counted(n, forms) {
    return n + '\u00a0' + forms[n === 1 || (n === 0 && T.zeroIsSingular) ? 0 : 1];
  }

  // The folder that holds the DICOMDIR, '/'-separated without a trailing slash.
  function dicomdirFolder() {
    var value = document.querySelector('meta[name="kest-dicomdir"]').content;
    return value.replace(/\\/g, '/').replace(/\/+$/, '');
  }

  function absolute(path) { return path.charAt(0) === '/' ? path : '/' + path; }

  // The URL the page requests: each name escaped, so '#', '?' and '%' stay part of it.
  function requestUrl(path) {
    return 'file://' + absolute(path).split('/').map(function (name) {
      return /^[A-Za-z]:$/.test(name) ? name : encodeURIComponent(name);
    }).join('/');
  }

  // The URL the host receives: characters written plainly, turned into a path by dropping "file://".
  function plainUrl(path) { return 'file://' + absolute(path); }

  function request(path, type, done, failed) {
    var xhr = new XMLHttpRequest();
    xhr.open('GET', requestUrl(path), true);
    xhr.responseType = type;
    xhr.onload = function () { done(xhr.response); };
    xhr.onerror = function () { failed(); };
    xhr.send();
  }

  // ----- folder listings: the existence and on-disk case of referenced files -----

  // Chromium answers a folder URL with a generated listing whose entries are
  // addRow("name", "url", isFolder, ...) calls; only the names are taken from it.
  var LISTED_ROW = /<script>addRow\("((?:[^"\\]|\\.)*)","(?:[^"\\]|\\.)*",([01]),/g;

  function parseListing(html) {
    if (typeof html !== 'string' || html.indexOf('<script>start(') < 0) { return null; }
    var entries = { exact: new Map(), folded: new Map() };
    var match;
    LISTED_ROW.lastIndex = 0;
    while ((match = LISTED_ROW.exec(html))) {
      var name;
      try { name = JSON.parse('"' + match[1] + '"'); } catch (e) { continue; }
      entries.exact.set(name, match[2] === '1');
      var key = name.toLowerCase();
      if (!entries.folded.has(key)) { entries.folded.set(key, []); }
      entries.folded.get(key).push(name);
    }
    return entries;
  }

  function listFolder(path) {
    if (!listings.has(path)) {
      listings.set(path, new Promise(function (resolve) {
        request(path + '/', 'text', function (text) { resolve(parseListing(text)); },
          function () { resolve(null); });
      }));
    }
    return listings.get(path);
  }

  // The entry of that name, or of the same name in another case, that is a folder or a file as asked.
  function findEntry(entries, name, wantFolder) {
    if (entries.exact.get(name) === wantFolder) { return name; }
    var candidates = entries.folded.get(name.toLowerCase()) || [];
    for (var i = 0; i < candidates.length; i++) {
      if (entries.exact.get(candidates[i]) === wantFolder) { return candidates[i]; }
    }
    return null;
  }

  // The path on disk of the referenced file, or null when it does not exist. Without folder
  // listings (the DICOMDIR's own folder cannot be listed) the path is taken as written.
  function resolvePath(components) {
    if (!listingsWork) { listingsWork = listFolder(folder).then(function (found) { return found !== null; }); }
    var step = Promise.resolve(folder);
    components.forEach(function (name, index) {
      var wantFolder = index < components.length - 1;
      step = step.then(function (dir) {
        if (dir === null) { return null; }
        return listFolder(dir).then(function (entries) {
          if (entries === null) {
            return listingsWork.then(function (work) { return work ? null : dir + '/' + name; });
          }
          var found = findEntry(entries, name, wantFolder);
          return found === null ? null : dir + '/' + found;
        });
      });
    });
    return step;
  }

  function checkFile(record) {
    if (record.check) { return record.check; }
    progress.pendingChecks++;
    document.body.setAttribute('data-files', 'checking');
    record.check = resolvePath(record.components).then(function (path) {
      record.path = path;
      if (path === null) { progress.missingCount++; }
      page.paintState(record);
      if (--progress.pendingChecks === 0) {
        page.showSummary();
        document.body.setAttribute('data-files', 'checked');
      }
      return path;
    });
    return record.check;
  }

  Object.assign(page, {
    T: T, say: say, counted: counted, post: KestPage.post, tree: tree, folder: folder, progress: progress,
    plainUrl: plainUrl, request: request, listFolder: listFolder, findEntry: findEntry, checkFile: checkFile
  });
})();
