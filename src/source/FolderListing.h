#pragma once

#include <QStringList>

struct App;

// Fills `names` with the BMP names, then the JPG names, of ListFolder, and sorts them.
void ファイル名取得_SUB2(App& app, QStringList& names);

// Sorts entries 0..last of `names` by name in code page 932 order, ignoring the case of ASCII
// letters; equal names keep their order.
void ソート_SUB(float& last, QStringList& names);

// Lists the folder of the image on show into SrcList and finds that image in it: SrcIndex is
// its position, or -1 when it is not listed.
void listSourceFolder(App& app);
