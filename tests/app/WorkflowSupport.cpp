#include "app/WorkflowSupport.h"

#include "fixture/Files.h"

void writeDropSources(TestProgram& program)
{
    patternImage(90, 70, 7).save(
        makeFolder(program, QStringLiteral("others")) + QStringLiteral("b2.BMP"), "BMP");
    patternImage(80, 60, 8).save(program.path(QStringLiteral("others/A1.BMP")), "BMP");
    patternImage(110, 50, 9)
        .save(makeFolder(program, QStringLiteral("one")) + QStringLiteral("single.BMP"), "BMP");
    writeBytes(program.path(QStringLiteral("one/junk.BMP")), "no picture here");
    writeBytes(makeFolder(program, QStringLiteral("empty")) + QStringLiteral("notes.txt"), "text");
}
