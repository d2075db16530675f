#pragma once

#include <QString>

struct App;

// Shows category CurCat in the category controls of the registration window.
void SETEDIT_SUB(App& app);
// Takes the category controls into category CurCat, then rebuilds the summary. Numbers are read
// from the start of their text ("007" is 7, "12abc" is 12, "abc" is 0) and held inside the
// 16-bit range.
void GETEDIT_SUB(App& app);

// "ファイル" on the main window: opens the registration window.
void BUTTON5_ON(App& app);
// Another category chosen in LIST1: the fields on show are stored first.
void LIST1_CLICK(App& app);
// "分類有効" ticked or cleared: stored at once.
void CHECK1_ON(App& app);
// "保存先参照": chooses the save folder of the current category.
void BUTTON10_ON(App& app);
// "登録終了": checks the categories, closes the window and loads the image source.
void BUTTON8_ON(App& app);

// A file or folder dropped on the main window, while no frame is placed and no trimming is under
// way: once the categories pass the checks of "登録終了" (with their messages), a file is loaded as
// "直接ファイル名を指定して画像を読み込む" loads it, a folder as "全画像" loads its first image, with
// the same checks and messages, and shown as after "登録終了". With frames placed a note says the
// drop was not taken.
void MAINFORM_DROP(App& app, const QString& path);
