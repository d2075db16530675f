#pragma once

struct App;

// The whole program: start-up, then the request loop. Returns the process exit code.
int runProgram(App& app);
