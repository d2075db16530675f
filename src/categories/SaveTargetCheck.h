#pragma once

struct App;

// Checks that every valid category's save folder exists and that no two categories write the
// same names; every problem found is reported. Returns 0 when all is well, 1 when a folder was
// missing (it is reset to the current directory), 2 on a duplicate name (trimming is disabled).
float FILECHK_SUB(App& app);
