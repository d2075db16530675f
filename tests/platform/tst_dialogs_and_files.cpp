#include "fixture/ScriptedDialogs.h"
#include "forms/Forms.h"
#include "platform/DurableFiles.h"
#include "platform/FormRuntime.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>

#include <csignal>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// A folder to list: a subfolder and a scan of about 500 KiB; in the subfolder a folder and a
// larger scan, so that its columns need other widths.
void writeListingFolder(const QString& path)
{
    const QDir dir(path);
    QVERIFY(dir.mkpath(QStringLiteral("sub/nested")));
    for (const auto& [name, size] :
        { std::pair { "scan.bmp", 541'000 }, std::pair { "sub/large.bmp", 12'500'000 } }) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
    }
}

// Runs `open`, which shows a real modal file dialog, and `script` on that dialog once it is on
// show. A dialog the script leaves open is cancelled after a while, and `stuck` says so, so that
// the test never waits on it for good.
QString withScriptedFileDialog(
    const std::function<QString()>& open, const std::function<void(QFileDialog&)>& script, bool& stuck)
{
    stuck = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) script(*dialog);
    });
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            stuck = true;
            dialog->done(QDialog::Rejected);
        }
    });
    rescue.start(30000);
    return open();
}

// The view of the dialog's current mode, list or detail.
QAbstractItemView* currentView(QFileDialog& dialog)
{
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    return list && list->isVisible() ? static_cast<QAbstractItemView*>(list) : tree;
}

// Waits until the current folder's entries are all in the view, each with its type.
bool waitUntilListed(QFileDialog& dialog)
{
    return QTest::qWaitFor([&] {
        const QAbstractItemView* view = currentView(dialog);
        const QModelIndex root = view->rootIndex();
        const auto entries = QDir(dialog.directory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        if (view->model()->rowCount(root) != entries.size()) return false;
        for (int row = 0; row < entries.size(); ++row)
            if (view->model()->index(row, 2, root).data().toString().isEmpty()) return false;
        return true;
    });
}

// A double click on an entry of the current folder, as the user opens a folder or chooses a
// file; false when there is no such entry.
bool doubleClickEntry(QFileDialog& dialog, const QString& name)
{
    if (!waitUntilListed(dialog)) return false;
    QAbstractItemView* view = currentView(dialog);
    const QModelIndexList found = view->model()->match(
        view->model()->index(0, 0, view->rootIndex()), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(found.first()).center());
    return true;
}

bool enterFolder(QFileDialog& dialog, const QString& name)
{
    const QString target = QDir(dialog.directory()).filePath(name);
    return doubleClickEntry(dialog, name)
        && QTest::qWaitFor([&] { return dialog.directory().absolutePath() == target; })
        && waitUntilListed(dialog);
}

// What the detail view shows of a folder: the type of its folder, the columns whose texts do
// not fit, and how wide its columns are together against its room.
struct DetailsSeen
{
    QString folderType;
    QStringList cutShort; // "column: width < needed"
    int columnsWidth = 0;
    int roomWidth = 0;
};

QStringList columnsCutShort(QTreeView* tree)
{
    QStringList cut;
    const QAbstractItemView* view = tree;
    for (int column = 0; column < tree->header()->count(); ++column) {
        const int width = tree->header()->sectionSize(column);
        const int needed = std::max(view->sizeHintForColumn(column), tree->header()->sectionSizeHint(column));
        // The name column takes the room the others leave; it only has to show its header.
        if (column == 0 ? width < tree->header()->sectionSizeHint(0) : width < needed)
            cut << QStringLiteral("%1: %2 < %3").arg(column).arg(width).arg(needed);
    }
    return cut;
}

DetailsSeen detailsSeen(QFileDialog& dialog)
{
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    // The columns are fitted once the listing has settled; a fault shows as a timeout.
    (void)QTest::qWaitFor([&] { return columnsCutShort(tree).isEmpty(); }, 2000);
    DetailsSeen seen;
    seen.cutShort = columnsCutShort(tree);
    seen.columnsWidth = tree->header()->length();
    seen.roomWidth = tree->viewport()->width();
    const QModelIndex root = tree->rootIndex();
    for (int row = 0; row < tree->model()->rowCount(root); ++row)
        if (QFileInfo(tree->model()->index(row, 0, root).data(QFileSystemModel::FilePathRole).toString())
                .isDir())
            seen.folderType = tree->model()->index(row, 2, root).data().toString();
    return seen;
}

} // namespace

// Dialogs in Japanese, scripted in tests or ended with the session, and the temporary files that
// ended processes left.
class TestDialogsAndFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void qtTextsAreJapanese();
    void fileDialogShowsWholeColumns_data();
    void fileDialogShowsWholeColumns();
    void unscriptedDialogFailsTheTest();
    void fileDialogFilter();
    void temporariesOfEndedProcessesAreRemoved();
    void sessionEndClosesTheDialogOnShowAndComesFirst();
};

void TestDialogsAndFiles::initTestCase()
{
    // Qt's file dialog keeps its view mode, columns and folders in the user's settings; the
    // tests keep theirs apart and start each from none.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(installJapaneseQtTexts());
}

void TestDialogsAndFiles::init()
{
    QSettings(QSettings::UserScope, QStringLiteral("QtProject")).remove(QStringLiteral("FileDialog"));
}

void TestDialogsAndFiles::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// The buttons of a message box speak the language of the interface, and so do the kinds of
// entry in a file dialog, which Qt's own Japanese lacks.
void TestDialogsAndFiles::qtTextsAreJapanese()
{
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    QVERIFY2(yes.contains(QStringLiteral("はい")), qPrintable(yes));
    QVERIFY2(no.contains(QStringLiteral("いいえ")), qPrintable(no));
    const char* const context = "QAbstractFileIconProvider";
    QCOMPARE(
        QCoreApplication::translate(context, "Folder", "All other platforms"), QStringLiteral("フォルダ"));
    QCOMPARE(QCoreApplication::translate(context, "Drive"), QStringLiteral("ドライブ"));
    QCOMPARE(QCoreApplication::translate(context, "Shortcut", "All other platforms"),
        QStringLiteral("ショートカット"));
    // Qt's own translation answers the rest, the file dialog's columns among them.
    QCOMPARE(QCoreApplication::translate("QFileSystemModel", "Date Modified"), QStringLiteral("更新日"));
}

void TestDialogsAndFiles::fileDialogShowsWholeColumns_data()
{
    QTest::addColumn<bool>("listView"); // the dialog opens in the list view, as the user left it
    QTest::addColumn<QString>("enter"); // a folder the user opens in it
    QTest::addColumn<QString>("choose");
    // clang-format off
    QTest::newRow("detail view")                         << false << ""    << "scan.bmp";
    QTest::newRow("detail view, another folder")         << false << "sub" << "large.bmp";
    QTest::newRow("list view, another folder, details")  << true  << "sub" << "large.bmp";
    // clang-format on
}

// The file dialog's detail view shows sizes, types and dates whole, with the type of a folder
// in Japanese, and the name column takes the rest of the width: as it opens, in a folder the
// user opens in it, and when the user turns to it from the list view. The dialog still returns
// the file chosen.
void TestDialogsAndFiles::fileDialogShowsWholeColumns()
{
    QFETCH(bool, listView);
    QFETCH(QString, enter);
    QFETCH(QString, choose);
    QTemporaryDir dir;
    writeListingFolder(dir.path());
    if (listView)
        QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
            .setValue(QStringLiteral("FileDialog/viewMode"), QStringLiteral("List"));

    bool openedInListView = false;
    bool entered = true;
    DetailsSeen seen;
    bool stuck = false;
    const QString chosen = withScriptedFileDialog(
        [&] {
            return WidgetDialogs().openFile(
                nullptr, QStringLiteral("画像ファイル"), dir.path(), QStringLiteral("(*.BMP);(*.*)"), 0);
        },
        [&](QFileDialog& dialog) {
            openedInListView = dialog.viewMode() == QFileDialog::List;
            if (!enter.isEmpty()) entered = enterFolder(dialog, enter);
            if (openedInListView)
                QTest::mouseClick(
                    dialog.findChild<QToolButton*>(QStringLiteral("detailModeButton")), Qt::LeftButton);
            if (waitUntilListed(dialog)) seen = detailsSeen(dialog);
            doubleClickEntry(dialog, choose);
        },
        stuck);
    QVERIFY(!stuck);
    QCOMPARE(openedInListView, listView);
    QVERIFY(entered);
    QCOMPARE(seen.folderType, QStringLiteral("フォルダ"));
    QVERIFY2(seen.cutShort.isEmpty(), qPrintable(seen.cutShort.join(QStringLiteral(", "))));
    QCOMPARE(seen.columnsWidth, seen.roomWidth);
    const QString folder = enter.isEmpty() ? dir.path() : QDir(dir.path()).filePath(enter);
    QCOMPARE(chosen, QDir::toNativeSeparators(QDir(folder).filePath(choose)));
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
