#pragma once

#include "core/StateCodes.h"
#include "platform/Handles.h"

#include <QList>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <utility>

inline constexpr int kCategoryCount = 20;
inline constexpr int kMaxFrames = 50;
// The size of the blank image the view is built from while no image is loaded.
inline constexpr int kBlankImageWidth = 2000;
inline constexpr int kBlankImageHeight = 1000;

// The record's 0/1 flags (BandDrawn, HighlightDrawn, SkipBandRedraw, ReleaseArmed) are set to
// these and read as truth values.
inline constexpr int16_t kFlagSet = 1;
inline constexpr int16_t kFlagClear = 0;

// Per category, indexed 0..20; index 0 belongs to no category.
template <class T> using PerCategory = std::array<T, kCategoryCount + 1>;
// Per frame and category: [frame 0..49][category 0..20].
template <class T> using PerFrame = std::array<PerCategory<T>, kMaxFrames>;

// The program's whole state: one record that every routine and handler reads and writes.
// Names and types are those of the program's design: int16_t for 16-bit integers, float for
// singles, double for doubles; counts and indices are integers, and a named state is an enum
// over its 16-bit number (StateCodes.h), written with `::` where a field of the same name would
// hide it. Every number starts at 0 and every text empty.
struct AppState
{
    // Settings, kept in KANKYO.TXT.
    QString BannerText;
    QString JpegWorkDrive;
    QString JpegTempFile;
    int16_t MagnificationIndex = 0;
    ::LoadMode LoadMode = ::LoadMode::None;
    QString LoadPath;
    QString SeqFixed;
    double SeqNumber = 0;
    int16_t SeqDigits = 0;
    QString SeqExt;

    // Category table.
    PerCategory<int16_t> CatValid {};
    PerCategory<QString> CatName;
    PerCategory<QString> CatFolder;
    PerCategory<QString> CatFixed;
    PerCategory<QString> CatStartText;
    PerCategory<int16_t> CatNextNo {};
    PerCategory<int16_t> CatDigits {};
    PerCategory<QString> CatFill;
    PerCategory<int16_t> CatFrameCount {};
    PerCategory<int16_t> ValidCatMap {}; // position in COMBO2 -> category number
    int16_t ValidCatCount = 0;
    int16_t CurCat = 0;
    int16_t MaxFramesPerCat = 0;

    // Folder file list.
    QStringList SrcList;
    int SrcCount = 0; // a folder may hold more names than 16 bits count
    int SrcIndex = 0;
    QString ListFolder;

    // Current image and the work fields of loading.
    QString CurrentFileName;
    QString CurrentFilePath;
    QString LoadFilePath;
    int16_t LoadFailed = 0;
    QString SplitDrive, SplitDir, SplitName;
    QString SeqNumberText;
    QString SaveName;
    // The place of the image on show in a numbered sequence, as the strip tells it: its number
    // and path, kept while a step finds no file; and the run of numbers found with files by the
    // search for the first number after it without one, with the path of the number the search
    // stopped at, which names the sequence.
    double ShownSeqNumber = 0;
    QString ShownSeqPath;
    double SeqSearchedFrom = 0, SeqSearchedTo = 0;
    QString SeqSearchedPath;
    // What the strip's position was last worked out from: the source, the place in the list,
    // the file on show and what names a sequence's files.
    struct PositionInputs
    {
        ::LoadMode loadMode = ::LoadMode::None;
        int srcIndex = 0, srcCount = 0;
        QString currentFilePath, loadPath, seqFixed, seqExt;
        double seqNumber = 0;
        int16_t seqDigits = 0;
        int fill = 0;
        bool operator==(const PositionInputs&) const = default;
    } PositionShownFor;
    Bitmap SourceBitmap;
    Bitmap ViewBitmap;
    float ImageWidth = 0, ImageHeight = 0;
    float ViewWidth = 0, ViewHeight = 0;

    // Request from a handler to the request loop.
    ::PendingAction PendingAction = ::PendingAction::None;

    QString TitleText;

    // Screen metrics and window size at the last layout.
    int16_t CaptionHeight = 0;
    int16_t FrameHeight = 0;
    int16_t ScrollBarSize = 0;
    int16_t FormWidth = 0, FormHeight = 0;

    // View: magnification, layout and scrolling.
    float Magnification = 0;
    float ScaledWidth = 0, ScaledHeight = 0;
    float LastViewWidth = 0, LastViewHeight = 0;
    int16_t PictureAreaWidth = 0, PictureAreaHeight = 0;
    float NeedHScroll = 0, NeedVScroll = 0;
    int16_t VisibleWidth = 0, VisibleHeight = 0;
    float ExcessWidth = 0, ExcessHeight = 0;
    int16_t HScrollPos = 0, VScrollPos = 0, HScrollMax = 0, VScrollMax = 0;
    float HScrollUnit = 0, VScrollUnit = 0;
    float ViewOriginX = 0, ViewOriginY = 0;
    int16_t PictureLeft = 0, PictureTop = 0; // where the layout put the picture on the main window
    float VisibleLeft = 0, VisibleTop = 0, VisibleRight = 0, VisibleBottom = 0;
    ::CornerToggle CornerToggle = ::CornerToggle::ToTopLeft; // where the corner button jumps next
    // What the view bitmap was last built from and what it held right after: a rebuild with
    // the same inputs of a view nothing was drawn into since would give the same pixels.
    struct ViewInputs
    {
        std::pair<quint64, quint64> source, view;
        float magnification = 0, imageWidth = 0, imageHeight = 0;
        bool operator==(const ViewInputs&) const = default;
    } LastViewBuild;

    // Trimming: the rubber band in picture coordinates; BandLeft kNoBand (-1) means there is none.
    float BandLeft = 0, BandTop = 0, BandRight = 0, BandBottom = 0;
    int16_t BandEdgeMask = 0; // band edges drawn, as the bits of Qt::Edges
    int16_t BandDrawn = 0; // 1: the band is on the picture now
    int16_t SkipBandRedraw = 0; // 1: the next repaint of the picture leaves the band out
    ::TrimState TrimState = ::TrimState::Idle;
    int16_t GrabCode = 0; // in modify mode: the edge or corner under the pointer, 0 for none
    ::FrameListMode FrameListMode = ::FrameListMode::NotDrawn; // how the frames are drawn in the view
    int16_t HighlightDrawn = 0; // 1: the selected frame is drawn with the highlight pen
    int16_t SelectedFrame = 0, PreviousFrame = 0; // positions in the frame list
    // Registered frames in view pixels, [frame][category]; frames 0..CatFrameCount - 1 are valid.
    PerFrame<float> FrameLeft {}, FrameTop {}, FrameRight {}, FrameBottom {};
    // The working frame in view pixels: the anchor and the second corner while placing, the
    // left/top and right/bottom edges while modifying.
    float SelX1 = 0, SelY1 = 0, SelX2 = 0, SelY2 = 0;
    int16_t ReleaseArmed = 0; // 1: the next release completes the frame being placed
    int16_t LastMouseX = 0, LastMouseY = 0; // pointer at the last press, release or pan step
    int16_t PanDX = 0, PanDY = 0; // pointer movement of the current pan step
    // The frame-list position the frames in the view were last drawn for; a selection change
    // that arrives without a click on the list (from the keyboard) erases with it.
    int16_t TrackedFrame = -1;

    // Which way the user last stepped, for the image decoded ahead.
    StepDirection LastStep = StepDirection::Forward;
    // The image blocks the last save that cut anything cut, each with its category.
    struct CutBlock
    {
        int16_t category = 0;
        QRect block;
    };
    QList<CutBlock> LastCut;
    // The folders pieces were saved into this session; temporaries that ended processes left
    // there are removed at the first save.
    QSet<QString> FoldersCleaned;
    // What the last save wrote ("name（folder）") and what it could not, for the note after it.
    QStringList SavedPieces, UnsavedPieces;
};

// A category in use: offered in the category list, checked before a load and written by a save.
// Frames left in a category made invalid are neither shown nor saved.
inline bool isValidCategory(const AppState& state, int category)
{
    return state.CatValid[size_t(category)] == kFlagSet;
}

// Handles of both windows and of every control, bound at start-up by name.
struct Controls
{
    Control MAINFORM, FORM2;
    // Main window.
    Control PICTURE1, HSCROLL1, VSCROLL1;
    Control BUTTON1, BUTTON2, BUTTON3, BUTTON4, BUTTON5, BUTTON9, BUTTON11, BUTTON12;
    Control COMBO1, COMBO2, COMBO5;
    // Registration window.
    Control BUTTON6, BUTTON7, BUTTON8, BUTTON10, BUTTON13, BUTTON14, BUTTON15;
    Control EDIT1, EDIT2, EDIT3, EDIT4, EDIT5, EDIT6, EDIT7, EDIT8, EDIT9, EDIT10;
    Control TEXT1, TEXT2, TEXT3, TEXT4, TEXT5, TEXT6, TEXT7, TEXT8, TEXT9;
    Control COMBO3, COMBO4, LIST1, CHECK1;
};
