#pragma once

#include "core/App.h"
#include "fixture/Images.h"
#include "fixture/TestProgram.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

// A started program showing a 400 x 300 noise image, category 1 saving into the scratch folder.
struct SavingProgram
{
    TestProgram program;
    QImage image = noiseImage(400, 300, 7);

    SavingProgram()
    {
        program.start();
        App& app = program.app();
        putImage(app, image);
        app.CatValid[1] = 1;
        app.CatFolder[1] = program.dir() + QLatin1Char('/');
    }
    App& app() { return program.app(); }
};

inline const QString kSep = QStringLiteral("/");

// A written piece is a 24-bit BMP holding exactly the block of the source.
void verifyPiece(const QString& path, const QImage& source, const QRect& block);

// Frames in view pixels, registered in the given order.
void setFrames(App& app, int category, const QList<QRect>& frames);

// The image block a frame cuts at actual size.
QRect blockOf(QRect frame);

// The image block frame `j` of category 1 cuts at the magnification shown.
QRect blockOfPlacedFrame(const App& app, int j);

// The temporary files anywhere under a folder, as paths relative to it.
QStringList temporariesUnder(const QString& folder);
