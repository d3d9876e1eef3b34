#pragma once
// The main window's two buttons and its close box, written against the view
// so that the desktop window and the command-line program share them.

namespace tarnlow {

struct App;

// The execute button: the contents command while the caption is 取目录列表,
// the chapter command otherwise. Returns the command's result. Does nothing
// (false) while a command runs.
bool ExecuteCommand(App& app);

// The cancel button: while a command runs, asks it to stop; otherwise
// returns the window to idle.
void CancelOrReset(App& app);

// The close box: while a command runs, asks it to end the process and
// refuses; otherwise allows the window to close.
bool QueryClose(App& app);

}  // namespace tarnlow
