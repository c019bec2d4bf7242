// Lints the pages' own scripts (assets/KestDicomAx/*.js): classic scripts run
// by the browser engine, loaded in order into one page and sharing its global
// scope, each keeping its names inside a strict function.
'use strict';

const js = require('@eslint/js');
const globals = require('globals');

module.exports = [
  {
    files: ['assets/KestDicomAx/*.js'],
    ...js.configs.recommended,
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: 'script',
      globals: {
        ...globals.browser,
        // The page libraries, loaded before the pages' scripts.
        cornerstone: 'readonly',
        cornerstoneMath: 'readonly',
        cornerstoneTools: 'readonly',
        cornerstoneWADOImageLoader: 'readonly',
        dicomParser: 'readonly',
        Hammer: 'readonly',
        // The viewer's host object, present when a page runs inside the viewer.
        vbH: 'readonly',
        // What the pages' shared scripts make for the scripts loaded after them.
        KestPage: 'readonly',
        KestOverlay: 'readonly',
        KestValues: 'readonly',
        KestPresentation: 'readonly',
        KestOverlayPlanes: 'readonly',
        KestShutters: 'readonly',
        KestRegions: 'readonly'
      }
    },
    rules: {
      ...js.configs.recommended.rules,
      // A name declared at the top of a script becomes a global every other script can overwrite.
      'no-implicit-globals': 'error',
      strict: ['error', 'function'],
      eqeqeq: ['error', 'smart'],
      'no-shadow': 'error',
      'no-unused-vars': ['error', { caughtErrors: 'none' }],
      'no-undef': 'error'
    }
  }
];
