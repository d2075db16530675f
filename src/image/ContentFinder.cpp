#include "image/ContentFinder.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// A tone step (the largest over the three channels) that is content: above the soft shadow a
// print casts on its paper, which darkens it by a few levels only, and below the step at a
// print's edge, its own white border near the paper's tone included.
constexpr int kContentContrast = 14;
// The search runs on a copy reduced to about this longer side; edges are then placed on the full
// image.
constexpr int kReducedLongSide = 800;
// Pixels within this of the most common colour are taken for paper when the surface is fitted.
constexpr int kPaperTolerance = 24;
// At most this many paper pixels go into the fit.
constexpr int kMaxSamples = 6000;
// A lid band lies along a border, at most this share of the area deep and at least this long.
constexpr double kLidDepth = 0.04, kLidLength = 0.5;
// A row or column of an edge strip holds the piece when an unbroken run of at least this many of
// its pixels does. Pixels that sensor noise lifts over the contrast in a print's shadow lie
// scattered, however many there are along a long edge; a print's edge is a line, and one pixel
// in from the corner of a print tilted by 2 degrees its run is some 28 pixels long.
constexpr int kEdgeRun = 8;
// A box is searched along its length less a reduced pixel at either end only when it is longer
// than that by this much.
constexpr int kInsetSpare = 12;

// The image: its full-resolution pixels, the reduced copy, and the paper's colour on the reduced
// grid, which is smooth enough to stand for every full-resolution pixel in its cell. The paper
// is learned from the whole image even when a part is searched, so that a frame drawn close
// around a print is tightened by the same rule as the whole page is searched.
struct Scene
{
    cv::Mat full, reduced, paper;
    double scaleX = 1, scaleY = 1;
    int contrast = kContentContrast;
    cv::Rect searched; // the part of the image searched, in full-resolution pixels
};

std::array<double, 6> surfaceTerms(double u, double v)
{
    return { 1, u, v, u * u, u * v, v * v };
}

int largestChannelStep(const cv::Vec4b& pixel, const cv::Vec4b& paper)
{
    return std::max(
        { std::abs(pixel[0] - paper[0]), std::abs(pixel[1] - paper[1]), std::abs(pixel[2] - paper[2]) });
}

// The centre of the densest cell of a 16-level colour histogram: the paper's colour, as the
// paper shows around and between the pieces.
cv::Vec4b mostCommonColour(const cv::Mat& reduced)
{
    const int channels[] = { 0, 1, 2 };
    const int bins[] = { 16, 16, 16 };
    const float range[] = { 0, 256 };
    const float* ranges[] = { range, range, range };
    cv::Mat histogram;
    cv::calcHist(&reduced, 1, channels, cv::Mat(), histogram, 3, bins, ranges);
    int densest[3] = {};
    cv::minMaxIdx(histogram, nullptr, nullptr, nullptr, densest);
    const cv::Scalar low(densest[0] * 16, densest[1] * 16, densest[2] * 16, 0);
    const cv::Scalar high(low[0] + 15, low[1] + 15, low[2] + 15, 255);
    cv::Mat inCell;
    cv::inRange(reduced, low, high, inCell);
    const cv::Scalar mean = cv::mean(reduced, inCell);
    return cv::Vec4b(cv::saturate_cast<uchar>(mean[0]), cv::saturate_cast<uchar>(mean[1]),
        cv::saturate_cast<uchar>(mean[2]), 255);
}

struct PaperSample
{
    double u, v;
    cv::Vec4b colour;
};

// Least squares of a quadratic surface per channel through the samples.
cv::Mat fitSurface(const std::vector<PaperSample>& samples)
{
    cv::Mat terms(int(samples.size()), 6, CV_64F), colours(int(samples.size()), 3, CV_64F);
    for (int row = 0; row < int(samples.size()); ++row) {
        const auto t = surfaceTerms(samples[size_t(row)].u, samples[size_t(row)].v);
        std::copy(t.begin(), t.end(), terms.ptr<double>(row));
        for (int channel = 0; channel < 3; ++channel)
            colours.at<double>(row, channel) = samples[size_t(row)].colour[channel];
    }
    cv::Mat coefficients;
    cv::solve(terms, colours, coefficients, cv::DECOMP_QR);
    return coefficients;
}

cv::Vec4b surfaceAt(const cv::Mat& coefficients, double u, double v)
{
    const auto t = surfaceTerms(u, v);
    cv::Vec4b colour(0, 0, 0, 255);
    for (int channel = 0; channel < 3; ++channel) {
        double sum = 0;
        for (int term = 0; term < 6; ++term)
            sum += t[size_t(term)] * coefficients.at<double>(term, channel);
        colour[channel] = cv::saturate_cast<uchar>(sum);
    }
    return colour;
}

// Fills `paper` with the surface. Along a row the surface is a quadratic in u alone, so each row
// costs three terms a channel; OpenCV has no polynomial surface to draw.
void drawSurface(const cv::Mat& coefficients, cv::Mat& paper)
{
    const auto c = [&](int term, int channel) { return coefficients.at<double>(term, channel); };
    for (int y = 0; y < paper.rows; ++y) {
        const double v = (y + 0.5) / paper.rows;
        double constant[3], linear[3], square[3];
        for (int channel = 0; channel < 3; ++channel) {
            constant[channel] = c(0, channel) + c(2, channel) * v + c(5, channel) * v * v;
            linear[channel] = c(1, channel) + c(4, channel) * v;
            square[channel] = c(3, channel);
        }
        auto* line = paper.ptr<cv::Vec4b>(y);
        for (int x = 0; x < paper.cols; ++x) {
            const double u = (x + 0.5) / paper.cols;
            for (int channel = 0; channel < 3; ++channel)
                line[x][channel] = cv::saturate_cast<uchar>(
                    constant[channel] + (linear[channel] + square[channel] * u) * u);
        }
    }
}

// The reduced pixels near the most common colour, every so many so that at most kMaxSamples.
std::vector<PaperSample> paperSamples(const cv::Mat& reduced, const cv::Vec4b& tone)
{
    const int stride = std::max(1, int(std::sqrt(double(reduced.total()) / kMaxSamples)));
    std::vector<PaperSample> samples;
    for (int y = 0; y < reduced.rows; y += stride) {
        for (int x = 0; x < reduced.cols; x += stride) {
            const auto& pixel = reduced.at<cv::Vec4b>(y, x);
            if (largestChannelStep(pixel, tone) < kPaperTolerance)
                samples.push_back({ (x + 0.5) / reduced.cols, (y + 0.5) / reduced.rows, pixel });
        }
    }
    return samples;
}

// The paper's colour over the reduced grid. OpenCV has no robust surface fit, so the fit is
// repeated once without the samples far off the first surface (prints near the paper's tone,
// shadows), keeping those within three robust deviations.
cv::Mat paperSurface(const cv::Mat& reduced)
{
    const cv::Vec4b tone = mostCommonColour(reduced);
    std::vector<PaperSample> samples = paperSamples(reduced, tone);
    cv::Mat paper(reduced.size(), CV_8UC4, cv::Scalar(tone[0], tone[1], tone[2], 255));
    if (samples.size() < 12) return paper;
    cv::Mat coefficients = fitSurface(samples);
    std::vector<int> steps;
    for (const PaperSample& sample : samples)
        steps.push_back(largestChannelStep(sample.colour, surfaceAt(coefficients, sample.u, sample.v)));
    std::vector<int> sorted = steps;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double limit = std::max(4.0, 3 * 1.4826 * sorted[sorted.size() / 2]);
    std::vector<PaperSample> kept;
    for (size_t index = 0; index < samples.size(); ++index)
        if (steps[index] <= limit) kept.push_back(samples[index]);
    if (kept.size() >= 12) coefficients = fitSurface(kept);
    drawSurface(coefficients, paper);
    return paper;
}

// Content of the reduced copy: the largest channel step from the paper over the contrast,
// opened so that specks and lines narrower than three reduced pixels go, and kept to the reduced
// pixels that overlap the part searched.
cv::Mat reducedContent(const Scene& scene)
{
    cv::Mat steps, channels[4];
    cv::absdiff(scene.reduced, scene.paper, steps);
    cv::split(steps, channels);
    cv::Mat largest = cv::max(cv::max(channels[0], channels[1]), channels[2]);
    cv::Mat content;
    cv::threshold(largest, content, scene.contrast, 255, cv::THRESH_BINARY);
    cv::morphologyEx(content, content, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, { 3, 3 }));
    const int left = int(scene.searched.x / scene.scaleX), top = int(scene.searched.y / scene.scaleY);
    const int right = int(std::ceil(scene.searched.br().x / scene.scaleX));
    const int bottom = int(std::ceil(scene.searched.br().y / scene.scaleY));
    cv::Mat searched = cv::Mat::zeros(content.size(), CV_8U);
    searched(cv::Rect(left, top, right - left, bottom - top) & cv::Rect({}, content.size())).setTo(255);
    return content & searched;
}

// A scanner lid's edge: a component along one border of the area, thin across it, long along it.
bool isLidBand(const cv::Rect& box, const cv::Size& area)
{
    const bool alongSide = box.height >= kLidLength * area.height && box.width <= kLidDepth * area.width
        && (box.x == 0 || box.x + box.width == area.width);
    const bool alongTopOrBottom = box.width >= kLidLength * area.width
        && box.height <= kLidDepth * area.height && (box.y == 0 || box.y + box.height == area.height);
    return alongSide || alongTopOrBottom;
}

// The full-resolution boxes of the reduced content's components, lid bands left out.
std::vector<cv::Rect> coarseBoxes(const Scene& scene, const cv::Mat& content)
{
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(content, labels, stats, centroids, 8, CV_32S);
    std::vector<cv::Rect> boxes;
    for (int label = 1; label < count; ++label) {
        const cv::Rect box(stats.at<int>(label, cv::CC_STAT_LEFT), stats.at<int>(label, cv::CC_STAT_TOP),
            stats.at<int>(label, cv::CC_STAT_WIDTH), stats.at<int>(label, cv::CC_STAT_HEIGHT));
        if (isLidBand(box, content.size())) continue;
        const int left = int(std::floor(box.x * scene.scaleX)), top = int(std::floor(box.y * scene.scaleY));
        const int right = std::min(scene.full.cols, int(std::ceil(box.br().x * scene.scaleX)));
        const int bottom = std::min(scene.full.rows, int(std::ceil(box.br().y * scene.scaleY)));
        boxes.push_back(cv::Rect(left, top, right - left, bottom - top) & scene.searched);
    }
    return boxes;
}

// Per row (or per column) of a full-resolution strip, the longest unbroken run of its pixels that
// are content. The
// pixels are averaged over 3 x 3 first so that sensor noise does not pass for content. OpenCV has
// no comparison against a background given on a coarser grid, hence the loop; a full-resolution
// copy of the paper would cost more than the strips themselves.
std::vector<int> contentRuns(const Scene& scene, const cv::Rect& strip, bool perRow)
{
    cv::Mat smooth;
    cv::blur(scene.full(strip), smooth, { 3, 3 });
    std::vector<int> longest(size_t(perRow ? strip.height : strip.width), 0);
    std::vector<int> current(longest.size(), 0); // the run that reaches the pixel now looked at
    std::vector<int> paperColumns(size_t(strip.width));
    for (int x = 0; x < strip.width; ++x)
        paperColumns[size_t(x)] = std::min(scene.paper.cols - 1, int((strip.x + x) / scene.scaleX));
    for (int y = 0; y < strip.height; ++y) {
        const auto* pixels = smooth.ptr<cv::Vec4b>(y);
        const auto* paper
            = scene.paper.ptr<cv::Vec4b>(std::min(scene.paper.rows - 1, int((strip.y + y) / scene.scaleY)));
        for (int x = 0; x < strip.width; ++x) {
            const auto line = size_t(perRow ? y : x);
            if (perRow && x == 0) current[line] = 0;
            if (largestChannelStep(pixels[x], paper[paperColumns[size_t(x)]]) > scene.contrast)
                longest[line] = std::max(longest[line], ++current[line]);
            else
                current[line] = 0;
        }
    }
    return longest;
}

// Where a piece's edge lies in a strip across it: from the strip's inner end outward, the last of
// the unbroken run of rows (or columns) that hold the piece; -1 when the inner one holds none.
// Walking out from the piece stops at the first row of paper, so a speck beyond it, a shadow
// fainter than the contrast or a neighbour past a gap never moves the edge.
int outermostHeld(const std::vector<int>& runs, bool outwardIsUp)
{
    const int step = outwardIsUp ? -1 : 1;
    int index = outwardIsUp ? int(runs.size()) - 1 : 0;
    const auto holds
        = [&](int at) { return at >= 0 && at < int(runs.size()) && runs[size_t(at)] >= kEdgeRun; };
    if (!holds(index)) return -1;
    while (holds(index + step))
        index += step;
    return index;
}

// The coarse box with each edge placed on the full image: each side is searched in a strip
// reaching two reduced pixels either way, along the box's length less a reduced pixel at either
// end, so that a neighbour beside the corner is not taken for the piece.
cv::Rect refined(const Scene& scene, const cv::Rect& coarse)
{
    const int cell = int(std::ceil(std::max(scene.scaleX, scene.scaleY)));
    const int reach = 2 * cell + 2;
    const cv::Rect& area = scene.searched;
    const auto inset = [&](int from, int to) {
        return to - from > 2 * cell + kInsetSpare ? std::pair { from + cell, to - cell }
                                                  : std::pair { from, to };
    };
    const std::pair columns = inset(coarse.x, coarse.br().x);
    const std::pair rowSpan = inset(coarse.y, coarse.br().y);
    const auto across = [&](int edge, bool rows, bool outwardIsUp) {
        const int from = edge - reach, to = edge + reach;
        const cv::Rect strip
            = (rows ? cv::Rect(columns.first, from, columns.second - columns.first, to - from)
                    : cv::Rect(from, rowSpan.first, to - from, rowSpan.second - rowSpan.first))
            & area;
        const int held = strip.empty() ? -1 : outermostHeld(contentRuns(scene, strip, rows), outwardIsUp);
        return held < 0 ? -1 : (rows ? strip.y : strip.x) + held;
    };
    int top = across(coarse.y, true, true), bottom = across(coarse.br().y, true, false);
    int left = across(coarse.x, false, true), right = across(coarse.br().x, false, false);
    if (top < 0) top = coarse.y;
    if (left < 0) left = coarse.x;
    bottom = bottom < 0 ? coarse.br().y : bottom + 1;
    right = right < 0 ? coarse.br().x : right + 1;
    return cv::Rect(left, top, right - left, bottom - top);
}

// Boxes that overlap are one piece: fragments of one photo, or prints lying over each other.
std::vector<cv::Rect> mergedOverlaps(std::vector<cv::Rect> boxes)
{
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t first = 0; first < boxes.size() && !merged; ++first) {
            for (size_t second = first + 1; second < boxes.size() && !merged; ++second) {
                if ((boxes[first] & boxes[second]).empty()) continue;
                boxes[first] |= boxes[second];
                boxes.erase(boxes.begin() + long(second));
                merged = true;
            }
        }
    }
    return boxes;
}

// A view of one row in each cell's height, without a copy: the reduced copy averages that row
// across the cell's width, which reads an eighth of a 24 MP image instead of all of it and still
// takes the noise down. Edges are placed on the full image afterwards, so the rows skipped cost
// no precision; a piece is many rows high.
cv::Mat oneRowPerCell(const cv::Mat& full, int factor)
{
    if (factor == 1) return full;
    return cv::Mat(full.rows / factor, full.cols, full.type(), full.data, full.step[0] * size_t(factor));
}

Scene sceneOf(const QImage& image, const QRect& area)
{
    Scene scene;
    scene.full = cv::Mat(image.height(), image.width(), CV_8UC4, const_cast<uchar*>(image.constBits()),
        size_t(image.bytesPerLine()));
    scene.searched = cv::Rect(area.x(), area.y(), area.width(), area.height());
    const int factor
        = std::max(1, (std::max(image.width(), image.height()) + kReducedLongSide - 1) / kReducedLongSide);
    const cv::Size reducedSize(std::max(1, image.width() / factor), std::max(1, image.height() / factor));
    cv::resize(oneRowPerCell(scene.full, factor), scene.reduced, reducedSize, 0, 0, cv::INTER_AREA);
    scene.scaleX = double(image.width()) / reducedSize.width;
    scene.scaleY = double(image.height()) / reducedSize.height;
    scene.paper = paperSurface(scene.reduced);
    return scene;
}

} // namespace

QList<QRect> findContent(const QImage& image, const QRect& within)
{
    const QRect area = (within.isEmpty() ? image.rect() : within) & image.rect();
    if (area.isEmpty()) return {};
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return findContent(image.convertToFormat(QImage::Format_RGB32), within);
    const Scene scene = sceneOf(image, area);
    std::vector<cv::Rect> boxes;
    for (const cv::Rect& coarse : mergedOverlaps(coarseBoxes(scene, reducedContent(scene))))
        boxes.push_back(refined(scene, coarse));
    QList<QRect> pieces;
    for (const cv::Rect& box : mergedOverlaps(boxes))
        if (box.width >= kMinPieceSide && box.height >= kMinPieceSide)
            pieces.append(QRect(box.x, box.y, box.width, box.height));
    std::sort(pieces.begin(), pieces.end(), [](const QRect& a, const QRect& b) {
        return std::pair(a.top(), a.left()) < std::pair(b.top(), b.left());
    });
    return pieces;
}
