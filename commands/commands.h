#pragma once
// The main window's two buttons and its close box, shared by the desktop
// window and the command-line program. ExecuteCommand runs on the command
// thread (CommandThread); CancelOrReset and QueryClose are called from the UI
// thread at any moment and only set flags while a command runs.

namespace tarnlow {

struct App;

// The execute button: the contents command while the caption is 取目录列表,
// the chapter command otherwise. Returns the command's result. Does nothing
// (false) while a command runs.
bool ExecuteCommand(App& app);

// The cancel button: while a command runs, asks it to stop; otherwise
// returns the window to idle. A click while the command thread is just
// starting or finishing a command (commandRunning without busy) is ignored.
void CancelOrReset(App& app);

// The close box: while a command runs, asks it to end the process and
// refuses; otherwise allows the window to close.
bool QueryClose(App& app);

}  // namespace tarnlow
