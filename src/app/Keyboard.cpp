#include "app/Keyboard.h"

#include "core/App.h"

#include <QKeySequence>
#include <QStringList>

#include <map>

namespace {

// One key of the main window: the control it stands for, the event it raises there and the
// value that event carries, and what it does, for the tooltip and the key list. The tooltip is
// that of the control, or of `tipOn` where the key belongs to the window but does what a button
// does.
struct KeyBinding
{
    Control Controls::*control;
    QKeySequence key;
    const char* event;
    int value;
    const char* does;
    Control Controls::*tipOn = nullptr;
};

QList<KeyBinding> keyBindings()
{
    QList<KeyBinding> keys {
        // clang-format off
        { &Controls::BUTTON9,  QKeySequence(Qt::Key_PageDown),          "ON",         0,  "保存して次の画像へ" },
        { &Controls::BUTTON11, QKeySequence(Qt::Key_F5),                "ON",         0,  "保存して同じ画像を再読込" },
        { &Controls::BUTTON12, QKeySequence(Qt::Key_PageUp),            "ON",         0,  "保存して前の画像へ" },
        { &Controls::BUTTON2,  QKeySequence(Qt::Key_T),                 "ON",         0,  "トリミング開始／中止" },
        // Escape acts on the frame being placed, not through "トリミング中止": placing that began
        // from a frame chosen in the list leaves that button disabled.
        { &Controls::MAINFORM, QKeySequence(Qt::Key_Escape),            "ESCAPE",     0,  "置いている枠をやめる", &Controls::BUTTON2 },
        { &Controls::MAINFORM, QKeySequence(Qt::Key_A),                 "AUTOFRAMES", 0,  "枠を自動で置く", &Controls::BUTTON2 },
        { &Controls::MAINFORM, QKeySequence(Qt::CTRL | Qt::Key_V),      "LASTFRAMES", 0,  "前の画像の枠を置く", &Controls::BUTTON2 },
        { &Controls::BUTTON3,  QKeySequence(Qt::Key_F2),                "ON",         0,  "修正／修正完了" },
        { &Controls::BUTTON3,  QKeySequence(Qt::Key_S),                 "TIGHTEN",    0,  "枠を中身に合わせる" },
        { &Controls::BUTTON4,  QKeySequence(Qt::Key_Delete),            "ON",         0,  "選んだ範囲を削除" },
        { &Controls::BUTTON1,  QKeySequence(Qt::Key_Home),              "ON",         0,  "表示を左上／右下へ" },
        { &Controls::BUTTON5,  QKeySequence(Qt::CTRL | Qt::Key_O),      "ON",         0,  "ファイルと分類の登録" },
        { &Controls::COMBO5,   QKeySequence(Qt::CTRL | Qt::Key_Plus),   "KEY",        -1, "倍率を一段上げる" },
        { &Controls::COMBO5,   QKeySequence(Qt::CTRL | Qt::Key_Equal),  "KEY",        -1, "倍率を一段上げる" },
        { &Controls::COMBO5,   QKeySequence(Qt::CTRL | Qt::Key_Minus),  "KEY",        1,  "倍率を一段下げる" },
        { &Controls::MAINFORM, QKeySequence(Qt::Key_F1),                "HELP",       0,  "キーの一覧" },
        // clang-format on
    };
    // The digits choose the first ten entries of the category list, 0 the tenth.
    for (int entry = 0; entry < 10; ++entry)
        keys.append({ &Controls::COMBO2, QKeySequence(Qt::Key_1 + (entry == 9 ? -1 : entry)), "KEY", entry,
            "分類一覧の 1〜10 番目を選ぶ（0 は 10 番目）" });
    return keys;
}

QString keyText(const QKeySequence& key)
{
    return key.toString(QKeySequence::NativeText);
}

} // namespace

void installKeys(App& app)
{
    std::map<int, QStringList> tips; // per control handle: what its keys do
    for (const KeyBinding& binding : keyBindings()) {
        const Control control = app.*binding.control;
        app.rt.SetShortcut(control, binding.key, QString::fromLatin1(binding.event), binding.value);
        const Control tipOn = binding.tipOn ? app.*binding.tipOn : control;
        const QString tip
            = QStringLiteral("%1（%2）").arg(QString::fromUtf8(binding.does), keyText(binding.key));
        if (!tips[tipOn.id].contains(tip) && tipOn.id != app.COMBO2.id) tips[tipOn.id] << tip;
    }
    tips[app.COMBO2.id] << QStringLiteral("1〜9, 0 キーで選べます");
    for (const auto& [id, lines] : tips)
        app.rt.SetToolTip(Control { id }, lines.join(QLatin1Char('\n')));
}

void MAINFORM_HELP(App& app)
{
    // One row per action, with all its keys; the digits of the category list as one.
    QStringList actions;
    std::map<QString, QStringList> keysOf;
    for (const KeyBinding& binding : keyBindings()) {
        const QString does = QString::fromUtf8(binding.does);
        if (!actions.contains(does)) actions << does;
        if (binding.control != &Controls::COMBO2) keysOf[does] << keyText(binding.key);
    }
    QList<TableRow> rows;
    for (const QString& does : actions) {
        const QStringList& keys = keysOf[does];
        rows.append({ keys.isEmpty() ? QStringLiteral("1〜9, 0") : keys.join(QStringLiteral(", ")), does });
    }
    rows << TableRow() << TableRow(QStringLiteral("ホイール"), QStringLiteral("上下にスクロール"))
         << TableRow(QStringLiteral("Shift+ホイール"), QStringLiteral("左右にスクロール"))
         << TableRow(QStringLiteral("Ctrl+ホイール"), QStringLiteral("倍率を一段上げる／下げる"));
    app.rt.ShowTableWindow(app.MAINFORM, QStringLiteral("キーの一覧"),
        QStringLiteral("キーで使える操作（ボタンが使えるときだけ働きます）"), rows);
}
