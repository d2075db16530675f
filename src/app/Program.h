#pragma once

#include "app/CommandLine.h"

struct App;

// Everything before the request loop: the work folder the request asks for, the handlers, the
// start-up, and the file or folder to open queued as its drop.
void startProgram(App& app, const StartRequest& request = {});

// The whole program: startProgram, then the request loop. Returns the process exit code.
int runProgram(App& app, const StartRequest& request = {});
