#include "source/Position.h"

#include "core/App.h"
#include "platform/FileSystem.h"
#include "source/SequenceNaming.h"

#include <optional>

namespace {

// Files looked for in one go; a longer sequence is searched on over the next steps.
constexpr int kFilesLookedForAtOnce = 5000;
// Numbers looked at past a missing one for the image that comes next across the gap.
constexpr int kGapLookedAcross = 20;

// The place in the list; where the entry there could not be shown (gone, or no picture), the
// image before it stays on show, and the text says so.
QString folderPosition(const App& app)
{
    if (app.SrcCount <= 0) return {};
    if (app.SrcIndex < 0 || app.SrcIndex >= app.SrcCount)
        return QStringLiteral("- / %1").arg(app.SrcCount);
    const QString place = QStringLiteral("%1 / %2").arg(app.SrcIndex + 1).arg(app.SrcCount);
    const QString& entry = app.SrcList.at(app.SrcIndex);
    if (entry == app.CurrentFileName) return place;
    return QStringLiteral("%1（%2 を表示できませんでした）").arg(place, entry);
}

// The number of the sequence's image on show. A step that found no file has moved SeqNumber on
// while the image stayed, so the number of the last image shown is kept with its path.
std::optional<double> shownSequenceNumber(App& app)
{
    if (app.CurrentFilePath.isEmpty()) return {};
    if (app.CurrentFilePath == sequenceFilePath(app, app.SeqNumber)) {
        app.ShownSeqNumber = app.SeqNumber;
        app.ShownSeqPath = app.CurrentFilePath;
    }
    if (app.CurrentFilePath != app.ShownSeqPath) return {};
    return app.ShownSeqNumber;
}

// The first number after `shown` without a file. The numbers from SeqSearchedFrom up to, not
// including, SeqSearchedTo were found with files; where `shown` + 1 lies in that run the search
// goes on from its end, taking those files to be there still (a step finds out if one has gone).
// Every number from there is looked at again, so a file that has come since is found.
std::optional<double> firstFreeNumberAfter(App& app, double shown)
{
    double number = shown + 1;
    const bool inRun = app.SeqSearchedFrom <= number && number < app.SeqSearchedTo
        && app.SeqSearchedPath == sequenceFilePath(app, app.SeqSearchedTo);
    if (inRun)
        number = app.SeqSearchedTo;
    else
        app.SeqSearchedFrom = number;
    bool free = false;
    for (int looked = 0; looked < kFilesLookedForAtOnce && !free; ++looked) {
        free = !isExistingFile(sequenceFilePath(app, number));
        if (!free) number += 1;
    }
    app.SeqSearchedTo = number;
    app.SeqSearchedPath = sequenceFilePath(app, number);
    return free ? std::optional(number) : std::nullopt;
}

// The first number after `missing` that has a file, a few numbers on at most.
std::optional<double> nextAcrossGap(const App& app, double missing)
{
    for (double number = missing + 1; number <= missing + kGapLookedAcross; number += 1)
        if (isExistingFile(sequenceFilePath(app, number))) return number;
    return {};
}

QString sequencePosition(App& app)
{
    const std::optional<double> shown = shownSequenceNumber(app);
    if (!shown) return {};
    const QString number = numberText(*shown);
    const std::optional<double> free = firstFreeNumberAfter(app, *shown);
    if (!free) return QStringLiteral("%1 番").arg(number);
    if (*free > *shown + 1) return QStringLiteral("%1 番（次の空き番号 %2）").arg(number, numberText(*free));
    if (const std::optional<double> next = nextAcrossGap(app, *free))
        return QStringLiteral("%1 番（%2 番はありません。その次は %3 番）")
            .arg(number, numberText(*free), numberText(*next));
    return QStringLiteral("%1 番（最後の画像です）").arg(number);
}

// What the position depends on; it is worked out again only when this changes. Read after every
// event, so nothing is composed: the texts are shared, not copied.
AppState::PositionInputs positionInputs(const App& app)
{
    return { app.LoadMode, app.SrcIndex, app.SrcCount, app.CurrentFilePath, app.LoadPath, app.SeqFixed,
        app.SeqExt, app.SeqNumber, app.SeqDigits, app.rt.GetCurSel(app.COMBO3) };
}

} // namespace

QString positionText(App& app)
{
    switch (app.LoadMode) {
    case LoadMode::Sequence: return sequencePosition(app);
    case LoadMode::SingleFile: return app.CurrentFilePath.isEmpty() ? QString() : QStringLiteral("1 / 1");
    case LoadMode::Folder: return folderPosition(app);
    default: return {};
    }
}

void showPosition(App& app)
{
    const AppState::PositionInputs inputs = positionInputs(app);
    if (inputs == app.PositionShownFor) return;
    app.PositionShownFor = inputs;
    app.rt.SetStripText(app.BUTTON12, positionText(app));
}
