#pragma once

struct App;

// "保存実行" and "保存後逆読込" leave their work to the request loop.
void BUTTON9_ON(App& app);
void BUTTON12_ON(App& app);

// Request 2: saves, then shows the next image of the sequence or the folder list (or the same
// file again for a single file).
void saveThenNext(App& app);

// Request 3: saves, then shows the previous image.
void saveThenPrevious(App& app);

// "保存後再読込": saves, then shows the same image again with no frames.
void BUTTON11_ON(App& app);

// Every valid category numbers its next piece from 1 again.
void ALL1_SUB(App& app);

// "ＡＬＬ・１".
void BUTTON13_ON(App& app);

// "全ファイル削除": after a confirmation, deletes every BMP file in the save folders of the
// valid categories, then restarts their numbering.
void BUTTON14_ON(App& app);

// "全画像": shows a chosen file and has the request loop list its folder.
void BUTTON15_ON(App& app);
