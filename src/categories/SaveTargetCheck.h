#pragma once

struct App;

// Checks that every valid category's save folder exists and that no two categories write the
// same names. Returns 0 when all is well, 1 when a folder was missing, 2 on a duplicate name.
float FILECHK_SUB(App& app);
