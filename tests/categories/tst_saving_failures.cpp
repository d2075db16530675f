#include "categories/Saving.h"
#include "categories/SavingSupport.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/ResourceCaps.h"
#include "image/ImageFiles.h"
#include "platform/DurableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

// A valid category whose pieces cannot be named: the folder it saves into (in the scratch folder,
// made unless it is "gone"), the error its names get from the rename (0: none but the folder's
// own), and how many frames it has.
struct FailingCategory
{
    int category;
    QString folder;
    int error;
    int frames;
};
Q_DECLARE_METATYPE(FailingCategory)
Q_DECLARE_METATYPE(SaveOutcome)

// A save whose pieces cannot be written or named: what it tells, what it leaves, and file systems
// that can neither rename without replacing nor link.
class TestSavingFailures : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void failedWriteIsReportedAndTheSaveGoesOn_data();
    void failedWriteIsReportedAndTheSaveGoesOn();
    void saveRemovesTemporariesOfEndedProcesses();
    void saveNamesPiecesWithoutRenameOrLink_data();
    void saveNamesPiecesWithoutRenameOrLink();
    void preparedPieceWithoutRenameOrLink_data();
    void preparedPieceWithoutRenameOrLink();
    void failedPiecesAreToldOncePerFolderAndReason_data();
    void failedPiecesAreToldOncePerFolderAndReason();
};

void TestSavingFailures::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// Category 1's folder cannot take a file: its two frames are reported once, with the path, the
// reason and how many they were; nothing is left behind, no number is used, and category 2 is
// still saved.
void TestSavingFailures::failedWriteIsReportedAndTheSaveGoesOn_data()
{
    QTest::addColumn<QString>("damage");
    // clang-format off
    QTest::newRow("folder removed after the check") << "removed";
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("a file in place of the folder") << "file";
    // clang-format on
}

void TestSavingFailures::failedWriteIsReportedAndTheSaveGoesOn()
{
    QFETCH(QString, damage);
    const bool readOnly = damage == QLatin1String("read-only");
#ifdef Q_OS_UNIX
    if (readOnly && ::geteuid() == 0) QSKIP("the superuser writes into read-only folders");
#endif
    SavingProgram saving;
    App& app = saving.app();
    const QString folder = makeFolder(saving.program, QStringLiteral("target"));
    if (readOnly) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QDir(folder).removeRecursively());
        if (damage == QLatin1String("file")) touch(folder.chopped(1));
    }
    app.CatFolder[1] = folder;
    app.CatValid[2] = 1;
    app.CatFolder[2] = saving.program.dir() + kSep;
    setFrames(app, 1, { QRect(20, 20, 10, 10), QRect(40, 20, 10, 10) });
    setFrames(app, 2, { QRect(80, 20, 10, 10) });
    saving.program.dialogs().answerMessage();
    HOZON_SUB(app);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const auto messages = saving.program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    const QString path = folder + QStringLiteral("CG01_001.BMP");
    const QString text = messages[0].text;
    QVERIFY2(text.startsWith(saveFailedText(path, QString()).chopped(1)), qPrintable(text));
    QVERIFY2(!text.startsWith(saveFailedText(path, QString())), "the reason is given");
    QVERIFY2(text.endsWith(QStringLiteral("）（2 枚）")), qPrintable(text));
    QCOMPARE(app.UnsavedPieces, QStringList { text });
    QCOMPARE(filesIn(folder), QStringList());
    QCOMPARE(filesIn(saving.program.dir()).filter(QStringLiteral("tmp")), QStringList());
    QCOMPARE(app.CatNextNo[1], int16_t(1));
    QCOMPARE(app.CatStartText[1].toInt(), 1);
    QCOMPARE(app.CatFrameCount[1], 0);
    verifyPiece(saving.program.path(QStringLiteral("CG02_001.BMP")), saving.image, QRect(70, 10, 10, 10));
    QCOMPARE(app.CatNextNo[2], int16_t(2));
}

// A save that was killed before naming its piece left the piece's temporary file in a category
// folder; the next save into that folder removes it.
void TestSavingFailures::saveRemovesTemporariesOfEndedProcesses()
{
    SavingProgram saving;
    App& app = saving.app();
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    QVERIFY(ended > 0);
    QCOMPARE(waitpid(ended, nullptr, 0), ended);
    const QString abandoned = temporaryPrefix(TemporaryKind::Piece, ended) + QStringLiteral("Ab12Cd.tmp");
    touch(saving.program.path(abandoned));
    setFrames(app, 1, { QRect(20, 20, 10, 10) });
    HOZON_SUB(app);
    QCOMPARE(filesIn(saving.program.dir()).filter(QStringLiteral(".tmp")), QStringList());
    QVERIFY(filesIn(saving.program.dir()).contains(QStringLiteral("CG01_001.BMP")));
}

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// While it lives, pieces are named as on a file system that lacks what the rename or the link
// needs: a rename of a name that starts with one of `renameErrors`' keys fails with that error,
// and with `linkError` set every hard link fails with it. Other calls go to the system.
class NamingCallsFailing
{
public:
    NamingCallsFailing(const QHash<QByteArray, int>& renameErrors, int linkError)
        : m_before(pieceNamingCalls())
    {
        s_renameErrors = renameErrors;
        s_linkError = linkError;
        pieceNamingCalls() = { rename, link };
    }
    ~NamingCallsFailing() { pieceNamingCalls() = m_before; }
    NamingCallsFailing(const NamingCallsFailing&) = delete;
    NamingCallsFailing& operator=(const NamingCallsFailing&) = delete;

private:
    static int rename(const char* from, const char* to)
    {
        const QByteArray name = QFileInfo(QFile::decodeName(to)).fileName().toLocal8Bit();
        for (auto it = s_renameErrors.cbegin(); it != s_renameErrors.cend(); ++it) {
            if (!name.startsWith(it.key())) continue;
            errno = it.value();
            return -1;
        }
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    }
    static int link(const char* from, const char* to)
    {
        if (s_linkError == 0) return ::link(from, to);
        errno = s_linkError;
        return -1;
    }

    static inline QHash<QByteArray, int> s_renameErrors;
    static inline int s_linkError = 0;
    PieceNamingCalls m_before;
};

// The bytes a piece of `image` gets where naming works.
QByteArray normallyWritten(const QImage& image)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("piece.BMP"));
    return writeNewBmpFile(image, path).ok() ? readBytes(path) : QByteArray();
}

} // namespace

// Where the file system can neither rename without replacing nor link (some network and FUSE
// file systems), the save still writes every piece, byte for byte as elsewhere, and a name found
// taken only when the piece is named is still skipped and kept.
void TestSavingFailures::saveNamesPiecesWithoutRenameOrLink_data()
{
    QTest::addColumn<int>("renameError");
    QTest::addColumn<int>("linkError");
    // clang-format off
    QTest::newRow("rename invalid, link not permitted") << EINVAL  << EPERM;
    QTest::newRow("no rename call, link unsupported")   << ENOSYS  << EOPNOTSUPP;
    QTest::newRow("rename unsupported, no link call")   << ENOTSUP << ENOSYS;
    // clang-format on
}

void TestSavingFailures::saveNamesPiecesWithoutRenameOrLink()
{
    QFETCH(int, renameError);
    QFETCH(int, linkError);
    SavingProgram saving;
    App& app = saving.app();
    // A folder is no file for the existence test, so only the naming finds the name taken.
    QVERIFY(QDir(saving.program.dir()).mkdir(QStringLiteral("CG01_001.BMP")));
    const QList<QRect> frames { QRect(20, 20, 30, 10), QRect(100, 60, 13, 7) };
    setFrames(app, 1, frames);
    {
        const NamingCallsFailing failing({ { QByteArray(), renameError } }, linkError);
        HOZON_SUB(app);
    }
    QCOMPARE(messageLines(saving.program.dialogs()), QStringList());
    QCOMPARE(filesIn(saving.program.dir()), QStringList({ "CG01_002.BMP", "CG01_003.BMP" }));
    QVERIFY(QFileInfo(saving.program.path(QStringLiteral("CG01_001.BMP"))).isDir());
    for (int j = 0; j < frames.size(); ++j) {
        const QString path = saving.program.path(QStringLiteral("CG01_00%1.BMP").arg(j + 2));
        QCOMPARE(readBytes(path), normallyWritten(saving.image.copy(blockOf(frames[j]))));
        QVERIFY(QFileInfo(path).permissions() & QFileDevice::ReadOther);
    }
    QCOMPARE(app.CatNextNo[1], int16_t(4));
    QCOMPARE(app.SavedPieces.size(), 2);
}

// A prepared piece on such a file system: it takes a free name with its bytes, never replaces a
// file that has the name (and stays ready for another), and a copy that fails leaves nothing,
// telling the real reason.
void TestSavingFailures::preparedPieceWithoutRenameOrLink_data()
{
    QTest::addColumn<bool>("taken");
    QTest::addColumn<qint64>("sizeLimit"); // bytes a file may have while it is named; 0: no limit
    QTest::addColumn<SaveOutcome>("outcome");
    // clang-format off
    QTest::newRow("free name")        << false << qint64(0)    << SaveOutcome::Written;
    QTest::newRow("name taken")       << true  << qint64(0)    << SaveOutcome::NameTaken;
    QTest::newRow("header cut short") << false << qint64(20)   << SaveOutcome::Failed;
    QTest::newRow("rows cut short")   << false << qint64(1000) << SaveOutcome::Failed;
    // clang-format on
}

void TestSavingFailures::preparedPieceWithoutRenameOrLink()
{
    QFETCH(bool, taken);
    QFETCH(qint64, sizeLimit);
    QFETCH(SaveOutcome, outcome);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    if (taken) writeBytes(path, "not mine");
    const QImage image = noiseImage(61, 23);
    const NamingCallsFailing failing({ { QByteArray(), EINVAL } }, EPERM);
    PreparedFile piece(image, dir.path());
    std::optional<FileSizeCap> cap;
    if (sizeLimit > 0) {
        cap.emplace(sizeLimit);
        QVERIFY(cap->active());
    }
    const SaveResult named = piece.name(path);
    cap.reset();
    QCOMPARE(named.outcome, outcome);
    switch (outcome) {
    case SaveOutcome::Written:
        QCOMPARE(readBytes(path), normallyWritten(image));
        QCOMPARE(filesIn(dir.path()), QStringList { "CG01_001.BMP" });
        break;
    case SaveOutcome::NameTaken: {
        QCOMPARE(readBytes(path), QByteArray("not mine"));
        const QString other = dir.filePath(QStringLiteral("CG01_002.BMP"));
        QVERIFY(piece.name(other).ok());
        QCOMPARE(readBytes(other), normallyWritten(image));
        QCOMPARE(filesIn(dir.path()), QStringList({ "CG01_001.BMP", "CG01_002.BMP" }));
        break;
    }
    case SaveOutcome::Failed:
        QCOMPARE(named.reason, reasonOf(EFBIG));
        QCOMPARE(filesIn(dir.path()), QStringList());
        break;
    }
}

// Pieces that fail into one folder for one reason are told once, in a message box and in a line
// of the note, with how many they were; one piece is told as ever. Failures into other folders
// or for other reasons are told apart. In the texts, {dir} stands for the scratch folder and
// {EIO}, {EROFS}, {ENOENT} for the system's reasons.
void TestSavingFailures::failedPiecesAreToldOncePerFolderAndReason_data()
{
    QTest::addColumn<QList<FailingCategory>>("failing");
    QTest::addColumn<QStringList>("told"); // message title, then text
    const QString one
        = QStringLiteral("CG01_001.BMP|「{dir}/a/CG01_001.BMP」を保存できませんでした（{EIO}）");
    const QString two
        = QStringLiteral("CG02_001.BMP|「{dir}/b/CG02_001.BMP」を保存できませんでした（{EIO}）");
    const QString twoReadOnly
        = QStringLiteral("CG02_001.BMP|「{dir}/a/CG02_001.BMP」を保存できませんでした（{EROFS}）");
    const QString pieces = QStringLiteral("（2 枚）");
    // clang-format off
    QTest::newRow("one piece")
        << QList<FailingCategory> { { 1, "a", EIO, 1 } } << QStringList { one };
    QTest::newRow("two pieces into one folder")
        << QList<FailingCategory> { { 1, "a", EIO, 2 } } << QStringList { one + pieces };
    QTest::newRow("three pieces into a missing folder")
        << QList<FailingCategory> { { 1, "gone", 0, 3 } }
        << QStringList { "CG01_001.BMP|「{dir}/gone/CG01_001.BMP」を保存できませんでした（{ENOENT}）（3 枚）" };
    QTest::newRow("two categories into one folder")
        << QList<FailingCategory> { { 1, "a", EIO, 1 }, { 2, "a", EIO, 2 } }
        << QStringList { "{dir}/a/|「{dir}/a/」に 3 枚を保存できませんでした（{EIO}）" };
    QTest::newRow("two folders")
        << QList<FailingCategory> { { 1, "a", EIO, 2 }, { 2, "b", EIO, 2 } } << QStringList { one + pieces, two + pieces };
    QTest::newRow("two reasons in one folder")
        << QList<FailingCategory> { { 1, "a", EIO, 2 }, { 2, "a", EROFS, 1 } } << QStringList { one + pieces, twoReadOnly };
    // clang-format on
}

void TestSavingFailures::failedPiecesAreToldOncePerFolderAndReason()
{
    QFETCH(QList<FailingCategory>, failing);
    QFETCH(QStringList, told);
    SavingProgram saving;
    App& app = saving.app();
    app.CatValid[1] = 0;
    QHash<QByteArray, int> renameErrors;
    for (const FailingCategory& category : failing) {
        app.CatValid[category.category] = 1;
        app.CatFolder[category.category] = saving.program.path(category.folder) + kSep;
        if (category.folder != QLatin1String("gone")) QDir(saving.program.dir()).mkpath(category.folder);
        if (category.error != 0) renameErrors[app.CatFixed[category.category].toLatin1()] = category.error;
        QList<QRect> frames;
        for (int j = 0; j < category.frames; ++j)
            frames << QRect(20 + 20 * j, 20 + 20 * category.category, 10, 10);
        setFrames(app, category.category, frames);
    }
    for (int i = 0; i < told.size(); ++i) {
        told[i].replace(QStringLiteral("{dir}"), saving.program.dir());
        for (const auto& [name, error] :
            { std::pair { "{EIO}", EIO }, { "{EROFS}", EROFS }, { "{ENOENT}", ENOENT } })
            told[i].replace(QLatin1String(name), reasonOf(error));
        saving.program.dialogs().answerMessage();
    }
    {
        const NamingCallsFailing failingNames(renameErrors, 0);
        HOZON_SUB(app);
    }

    QStringList boxes;
    for (const QString& line : told)
        boxes << line + QStringLiteral("|2");
    QCOMPARE(messageLines(saving.program.dialogs()), boxes);
    QStringList noteLines;
    for (const QString& line : told)
        noteLines << line.section(QLatin1Char('|'), 1);
    QCOMPARE(app.UnsavedPieces, noteLines);
    QVERIFY(saveNoteText(app.SavedPieces, app.UnsavedPieces).endsWith(noteLines.join(QLatin1Char('\n'))));
    QCOMPARE(temporariesUnder(saving.program.dir()), QStringList());
    for (const FailingCategory& category : failing)
        QCOMPARE(app.CatNextNo[category.category], int16_t(1));
}

QTEST_MAIN(TestSavingFailures)
#include "tst_saving_failures.moc"
