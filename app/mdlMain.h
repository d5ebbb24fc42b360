// Start-up: loads the main window and shows it.
#pragma once

namespace tarnwick::app {

// Loads frmMain (its Form_Load runs) and shows it, modeless; false when the window cannot be made.
bool Main();

// Runs the window's events until it is closed; returns the process exit code.
int RunEventLoop();

}  // namespace tarnwick::app
