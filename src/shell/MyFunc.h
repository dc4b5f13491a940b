#pragma once

#include "HeadFont.h"
#include "LogonState.h"
#include "Prompts.h"
#include "Settings.h"
#include "Skin.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;
class RowSet;

// The routines every screen shares.

/// The loaded skin (the main window's skin component).
const Skin& CurrentSkin();
/// Loads a skin file and makes it current; "" or a missing file gives the
/// plain look.
void LoadSkin(const QString& path);
/// The current skin's style sheet on a window.
void ApplySkin(QWidget* window);
/// The skin on a form, then its colours on the form's controls.
void ApplyAppearance(QWidget* form);
/// After a new skin was loaded: the skin and colours again on every window
/// and form that had them (the main window and the open screens).
void ApplyAppearanceEverywhere();

/// Disables cmdAdd, cmdEdit, cmdDelete, cmdRefresh and cmdSearch of the form
/// when the user's record rights lack " 01" to " 05"; never enables one.
void ApplyRights(QWidget* form);

/// "Confirm Deletion ?" with Yes and No; returns Prompts::Yes (6) or No (7).
int ConfirmDeletion();

/// Sends keystrokes to the focused control, in the classic notation: plain
/// characters, {TAB} {ENTER} {HOME} {END} {LEFT} {RIGHT} {UP} {DOWN}
/// {BACKSPACE} {BS} {DELETE} {DEL} {ESC} {F1}..{F12}, with + (Shift),
/// ^ (Ctrl) and % (Alt) before a key. Lock keys are never touched. With
/// wait, the keys are processed before the call returns.
void SendKeysKeepLocks(const QString& keys, bool wait);

/// The check-list's program-wide row set (created by the main window).
RowSet* ReportRS();
void SetReportRS(RowSet* rs);

/// Enter moves the focus to the next control as Tab does and never reaches
/// the control; on a button it presses the button.
void InstallEnterAsTab(QWidget* form);
/// Enter on w as the forms take it: a button is clicked, an open drop-down
/// keeps the key, anything else gets a Tab; true when the key was used.
bool EnterMovesOn(QWidget* w);
/// Esc closes the form.
void InstallEscCloses(QWidget* form);
/// Typing into the form's line edits replaces the character at the cursor.
void InstallOvertype(QWidget* form);

/// The bold heading at the top of a form (objectName lblHead), larger than
/// the form's own text.
QLabel* MakeHeading(QWidget* form, const QString& text);
/// The form's layout in the margins and spacing every screen uses, opening
/// with the heading and a rule under it; the screen adds the rest below.
QVBoxLayout* MakeFormLayout(QWidget* form, QLabel* heading);
/// A text box, a button and a label (for buddy) of a form, with their objectNames.
QLineEdit* MakeEdit(QWidget* form, const QString& name);
QPushButton* MakeButton(QWidget* form, const QString& caption, const QString& name);
QLabel* MakeLabel(QWidget* form, const QString& caption, const QString& name, QWidget* buddy);

/// The window of a form: its MDI sub-window when it has one.
QWidget* FormWindow(QWidget* form);
