// Reads whatever KANKYO.TXT holds, as the start-up does, then checks that what was read survives
// the writer: written, read again and written again, the two files are byte for byte the same,
// and the second read finds nothing to report.

#include "FuzzSupport.h"

#include "app/Handlers.h"
#include "app/RequestLoop.h"
#include "app/StartUp.h"
#include "core/App.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <memory>

namespace {

// Answers every message box with OK and counts them; no file is ever chosen.
class SilentDialogs final : public Dialogs
{
public:
    int messages = 0;

    int messageBox(QWidget*, const QString&, const QString&, int, int, const QString&) override
    {
        ++messages;
        return MessageAnswer::Ok;
    }
    QString openFile(QWidget*, const QString&, const QString&, const QString&, int) override
    {
        return dialogCancelled();
    }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return dialogCancelled(); }
};

App* program = nullptr;
SilentDialogs* dialogs = nullptr;

QByteArray settingsBytes()
{
    QFile file(QStringLiteral("KANKYO.TXT"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: the program's windows outlive the run, as they do in the program.
    new QApplication(*argc, *argv);
    // The settings file is KANKYO.TXT in the current directory.
    require(QDir::setCurrent(scratchFolder()), "the scratch folder as the current directory");
    auto silent = std::make_unique<SilentDialogs>();
    dialogs = silent.get();
    program = new App(std::move(silent));
    registerHandlers(*program);
    startUp(*program);
    // The events of showing the windows, as a started program handles them before any click.
    RequestLoop(*program, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    App& app = *program;
    writeInput(QStringLiteral("KANKYO.TXT"), data, size);
    readSettings(app);
    require(app.ValidCatCount >= 0 && app.ValidCatCount <= kCategoryCount, "at most 20 valid categories");
    require(app.rt.GetCount(app.COMBO2) == int(app.ValidCatCount), "one list entry a valid category");
    S_KANKYO(app);
    const QByteArray written = settingsBytes();
    const int messages = dialogs->messages;
    readSettings(app);
    require(dialogs->messages == messages, "a file the program wrote reads without damage");
    S_KANKYO(app);
    require(settingsBytes() == written, "read and written again, the file is the same");
    return 0;
}
