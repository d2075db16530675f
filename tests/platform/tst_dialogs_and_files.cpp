#include "fixture/ScriptedDialogs.h"
#include "forms/Forms.h"
#include "platform/DurableFiles.h"
#include "platform/FormRuntime.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

// Dialogs in Japanese, scripted in tests or ended with the session, and the temporary files that
// ended processes left.
class TestDialogsAndFiles : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void qtTextsAreJapanese();
    void unscriptedDialogFailsTheTest();
    void fileDialogFilter();
    void temporariesOfEndedProcessesAreRemoved();
    void sessionEndClosesTheDialogOnShowAndComesFirst();
};

void TestDialogsAndFiles::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// The buttons of a message box speak the language of the interface.
void TestDialogsAndFiles::qtTextsAreJapanese()
{
    QTranslator* translator = installJapaneseQtTexts();
    QVERIFY(translator);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    QCoreApplication::removeTranslator(translator);
    QVERIFY2(yes.contains(QStringLiteral("はい")), qPrintable(yes));
    QVERIFY2(no.contains(QStringLiteral("いいえ")), qPrintable(no));
}

void TestDialogsAndFiles::unscriptedDialogFailsTheTest()
{
    ScriptedDialogs dialogs;
    QStringList failures;
    dialogs.onUnexpected = [&](const QString& what) { failures << what; };
    dialogs.answerOpenFile(QStringLiteral("/a.BMP"));
    // A message box when a file dialog was scripted, then a file dialog with nothing left.
    QCOMPARE(
        dialogs.messageBox(nullptr, QStringLiteral("t"), QStringLiteral("x"), MessageButtons::YesNo, 0, {}),
        MessageAnswer::No);
    QCOMPARE(dialogs.openFile(nullptr, QStringLiteral("p"), {}, {}, 0), QStringLiteral("/a.BMP"));
    QCOMPARE(dialogs.openFile(nullptr, QStringLiteral("p"), {}, {}, 0), dialogCancelled());
    QCOMPARE(failures.size(), 2);
    QVERIFY(failures[0].contains(QStringLiteral("message box")));
}

void TestDialogsAndFiles::fileDialogFilter()
{
    QCOMPARE(toQtNameFilter(QStringLiteral("(*.BMP,*.JPG);(*.*)")),
        QStringLiteral("*.BMP,*.JPG (*.BMP *.bmp *.JPG *.jpg);;*.* (*)"));
    QCOMPARE(toQtNameFilter(QStringLiteral("(*.*)")), QStringLiteral("*.* (*)"));
}

// A process killed between writing a piece or the settings and naming them leaves its temporary
// file; those whose process has ended, on this host, are removed, and nothing else.
void TestDialogsAndFiles::temporariesOfEndedProcessesAreRemoved()
{
    QTemporaryDir dir;
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    QVERIFY(ended > 0);
    QCOMPARE(waitpid(ended, nullptr, 0), ended);
    const QStringList abandoned = {
        temporaryPrefix(TemporaryKind::Piece, ended) + QStringLiteral("Ab12Cd.tmp"),
        temporaryPrefix(TemporaryKind::Settings, ended) + QStringLiteral("Mn78Op.tmp"),
    };
    const QStringList kept = {
        temporaryPrefix(TemporaryKind::Piece, getpid()) + QStringLiteral("Ef34Gh.tmp"),
        temporaryPrefix(TemporaryKind::Settings, getpid()) + QStringLiteral("Qr90St.tmp"),
        QStringLiteral(".velmora-piece-elsewhere-%1-Ij56Kl.tmp").arg(ended),
        QStringLiteral(".velmora-settings-elsewhere-%1-Uv12Wx.tmp").arg(ended),
        ".velmora-ABCDEF.tmp",
        "CG01_001.BMP",
        "notes.tmp",
        "KANKYO.TXT",
        "KANKYO.TXT.backup",
    };
    for (const QString& name : kept + abandoned) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BM");
    }
    removeAbandonedTemporaries(dir.path() + QLatin1Char('/'));
    QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QStringList expected = kept;
    left.sort();
    expected.sort();
    QCOMPARE(left, expected);
}

// When the session ends while a question is on show, the question is closed as its Escape key
// closes it, no dialog is shown after it, and the main window's end event comes before the input
// that was queued.
void TestDialogsAndFiles::sessionEndClosesTheDialogOnShowAndComesFirst()
{
    FormRuntime rt(createForm, std::make_unique<WidgetDialogs>());
    const Control main = rt.CreateWindow(QStringLiteral("MAINFORM"), true);
    QStringList received;
    for (const char* name : { "BUTTON5_ON", "MAINFORM_END" })
        rt.SetHandler(QString::fromLatin1(name), [&](const ControlEvent& event) { received << event.name; });
    rt.PostEvent({ QStringLiteral("BUTTON5_ON"), main });

    // Should the question stay open, the test closes it itself and fails, instead of waiting.
    bool stayedOpen = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    connect(&rescue, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            stayedOpen = true;
            dialog->done(QDialog::Rejected);
        }
    });
    rescue.start(10000);
    QTimer::singleShot(0, [] { ::kill(::getpid(), SIGTERM); });
    const int answer = rt.MessageBox(main, QStringLiteral("Velmora"), QStringLiteral("終了しますか？"),
        MessageButtons::YesNo, MessageIcon::Exclamation);
    QVERIFY(!stayedOpen);
    QCOMPARE(answer, MessageAnswer::No);
    QVERIFY(rt.SessionEnding());
    QCOMPARE(rt.MessageBox(main, QString(), QStringLiteral("OK?"), MessageButtons::Ok, MessageIcon::None),
        MessageAnswer::Ok);
    QCOMPARE(rt.WinOpenDlg(main, QStringLiteral("?"), QDir::tempPath(), QStringLiteral("(*.*)"), 0),
        dialogCancelled());
    while (rt.WaitEvent(FormRuntime::Wait::NoWait)) { }
    QCOMPARE(received, QStringList({ "MAINFORM_END", "BUTTON5_ON" }));
}

QTEST_MAIN(TestDialogsAndFiles)
#include "tst_dialogs_and_files.moc"
