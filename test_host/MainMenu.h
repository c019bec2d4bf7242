#pragma once

class frmMain;
class QMenuBar;

// Fills the form's menu bar: File, Edit, View, Measurements and "?", in that order, with their
// separators. Every action and menu carries the form's name for it (mnuLoad, Sep3, ...) as its
// object name, and every command a keyboard shortcut.
void buildMainMenu(QMenuBar& bar, frmMain& form);
