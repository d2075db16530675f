#include "fixture/AlbumPages.h"
#include "image/ContentFinder.h"

#include <QTest>

Q_DECLARE_METATYPE(PageLayout)

namespace {

QString describe(const QList<QRect>& boxes)
{
    QStringList texts;
    for (const QRect& box : boxes)
        texts << QStringLiteral("(%1,%2 %3x%4)").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height());
    return texts.join(QLatin1Char(' '));
}

// Each truth has a found box with every edge within the tolerance, and nothing else is found.
void compare(const QList<QRect>& found, const QList<QRect>& truths)
{
    const QString story = QStringLiteral("found %1, truth %2").arg(describe(found), describe(truths));
    for (const QRect& truth : truths) {
        const bool met = std::any_of(
            found.begin(), found.end(), [&](const QRect& box) { return edgesWithin(box, truth); });
        QVERIFY2(met, qPrintable(story));
    }
    QVERIFY2(found.size() == truths.size(), qPrintable(story));
}

PrintLayout print(QPointF centre, QSizeF size, quint32 seed, double degrees = 0)
{
    PrintLayout layout;
    layout.centre = centre;
    layout.size = size;
    layout.seed = seed;
    layout.degrees = degrees;
    return layout;
}

// Two upright prints side by side, `gap` pixels apart.
PageLayout touchingPrints(int gap)
{
    PageLayout layout;
    layout.seed = 5;
    layout.prints << print({ 500, 600 }, { 400, 500 }, 11) << print({ 900.0 + gap, 620 }, { 400, 460 }, 12);
    return layout;
}

} // namespace

// The content finder on generated album pages, each with the true boxes of its prints.
class TestContentFinder : public QObject
{
    Q_OBJECT
private slots:
    void findsEveryPiece_data();
    void findsEveryPiece();
    void tightensARoughFrame_data();
    void tightensARoughFrame();
};

void TestContentFinder::findsEveryPiece_data()
{
    QTest::addColumn<PageLayout>("layout");
    QTest::addColumn<bool>("oneTruth"); // the prints touch with nothing between: one piece
    const QSize page(1600, 1200);
    for (PageKind kind : { PageKind::Plain, PageKind::Tilted, PageKind::WhiteBorder, PageKind::BrightSky,
             PageKind::DarkPaper, PageKind::Glass, PageKind::Blank }) {
        for (quint32 seed : { 1u, 2u }) {
            const QByteArray name = QByteArray(pageKindName(kind)) + (seed % 2 == 0 ? ", lid band" : "");
            QTest::newRow(name.constData()) << pageOfKind(kind, page, 4, seed) << false;
        }
    }
    // A noisy sensor (a deviation of 5 levels, more than a flatbed's) lifts pixels of a print's
    // shadow over the contrast.
    for (quint32 seed = 6; seed <= 21; ++seed) {
        PageLayout noisy = pageOfKind(seed % 2 ? PageKind::Plain : PageKind::WhiteBorder, page, 4, seed);
        noisy.noise = 5;
        QTest::newRow(qPrintable(QStringLiteral("noisy sensor %1").arg(seed))) << noisy << false;
    }
    PageLayout uneven = pageOfKind(PageKind::Tilted, page, 5, 8);
    uneven.unevenLight = 45;
    QTest::newRow("strongly uneven light") << uneven << false;
    // Background must show between two prints over about one and a half reduced pixels (the
    // page is reduced by 2) for them to be two pieces.
    QTest::newRow("touching, a gap of 3 pixels") << touchingPrints(3) << false;
    QTest::newRow("touching, a gap of 2 pixels") << touchingPrints(2) << true;
    QTest::newRow("touching, no gap") << touchingPrints(0) << true;
    PageLayout atEdges;
    atEdges.prints << print({ 1500, 500 }, { 400, 300 }, 21) << print({ 100, 80 }, { 400, 300 }, 22, 1.5);
    QTest::newRow("pieces over the image's edges") << atEdges << false;
    PageLayout lines;
    lines.prints << print({ 800, 600 }, { 500, 400 }, 31);
    lines.lines << QLine(100, 1000, 1500, 1000) << QLine(200, 100, 200, 900);
    QTest::newRow("1-pixel lines are no pieces") << lines << false;
    QTest::newRow("large scan 6000 x 4500") << pageOfKind(PageKind::Tilted, { 6000, 4500 }, 6, 4) << false;
}

void TestContentFinder::findsEveryPiece()
{
    QFETCH(PageLayout, layout);
    QFETCH(bool, oneTruth);
    const AlbumPage page = renderPage(layout);
    QList<QRect> truths = page.truths;
    if (oneTruth) truths = { std::accumulate(truths.begin(), truths.end(), QRect(), std::bit_or<QRect>()) };
    compare(findContent(page.image), truths);
}

void TestContentFinder::tightensARoughFrame_data()
{
    QTest::addColumn<QMargins>("slack");
    QTest::newRow("wide margins") << QMargins(60, 45, 70, 80);
    QTest::newRow("narrow margins") << QMargins(4, 3, 5, 2);
    QTest::newRow("exact") << QMargins();
}

// A frame drawn roughly around one print of several shrinks to that print.
void TestContentFinder::tightensARoughFrame()
{
    QFETCH(QMargins, slack);
    const AlbumPage page = renderPage(pageOfKind(PageKind::WhiteBorder, { 1600, 1200 }, 4, 3));
    for (const QRect& truth : page.truths)
        compare(findContent(page.image, truth.marginsAdded(slack)), { truth });
}

QTEST_GUILESS_MAIN(TestContentFinder)
#include "tst_content_finder.moc"
