#pragma once

#include "fixture/Images.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"

#include <QPoint>
#include <QString>

// A program with a sequence of three images registered and categories 1 and 2 valid, as a user
// gets it after "登録終了": the image is larger than the picture, so both bars show.
struct Registered
{
    TestProgram program;

    explicit Registered(int width = 1600, int height = 1200)
    {
        for (int n = 1; n <= 3; ++n)
            patternImage(width, height, n).save(program.path(QStringLiteral("IMG00%1.BMP").arg(n)), "BMP");
        program.start();
        registerSource(program, program.path(QStringLiteral("IMG001.BMP")), 2);
    }
    App& app() { return program.app(); }
    QWidget* picture() { return program.widget(QStringLiteral("PICTURE1")); }
    void clickAt(int x, int y) { clickOnPicture(program, QPoint(x, y)); }
    void place(int x1, int y1, int x2, int y2) { placeFrame(program, QPoint(x1, y1), QPoint(x2, y2)); }
    void key(QKeyCombination combination) { pressKey(program, "MAINFORM", combination); }
    void wheel(QPoint notches, Qt::KeyboardModifiers modifiers = {})
    {
        turnWheel(picture(), QPoint(100, 100), notches, modifiers);
        program.runEvents();
    }
};

// Beside the registered sequence: a folder "others" of two images (A1 first in the folder
// list's order), a folder "one" holding a single image and a file that is no image, and a
// folder "empty" with no image.
void writeDropSources(TestProgram& program);
