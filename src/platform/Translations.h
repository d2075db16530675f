#pragma once

class QTranslator;

// Installs Qt's own texts in Japanese (file dialogs, message-box buttons, context menus), so
// that they speak the language of the rest of the interface, completed by the few that Qt's
// translation lacks (the kinds of entry in a file dialog: フォルダ, ドライブ). Returns the
// installed translator, owned by the application, or nullptr when Qt's Japanese translations are
// not installed.
QTranslator* installJapaneseQtTexts();
