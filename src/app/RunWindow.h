#pragma once

class EndablePrompter;
class FrmMain;
class TerminationSignals;

// Starts the window and runs the event loop until it has gone; returns the exit status.
// `termination` (SIGTERM, SIGINT, SIGHUP) closes the window like its close button. Before the
// window is up, the port error box being open, it ends the program as that box's OK would; during
// the rest of the start-up, the program ends without ever showing the window. From the signal on,
// `prompter` (the window's boxes) shows no box: nobody may be there to press OK.
int runWindow(FrmMain &window, TerminationSignals &termination,
              EndablePrompter *prompter = nullptr);
