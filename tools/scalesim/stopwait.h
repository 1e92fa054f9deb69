// How the simulator program waits to be stopped: SIGINT, SIGTERM or SIGHUP on Linux, Ctrl+C,
// Ctrl+Break or the console closing on Windows, or a quit command.
#pragma once

// Called before any thread starts: the stop requests are then taken by WaitForStop alone.
void PrepareStopWait();
// Returns when a stop was requested.
void WaitForStop();
// Requests the stop from any thread.
void RequestStop();
