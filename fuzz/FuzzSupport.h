#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share.

// A scratch folder for the rest of the run, in memory where the system offers a file system
// there, so that the many small files of a run cost no disk. Corpus folders and the place of
// crash reports are given as absolute paths: a target may make this folder its current one.
QString scratchFolder();

// Writes the input to the file at `path`, replacing it.
void writeInput(const QString& path, const uint8_t* data, size_t size);

// Ends the run as a crash that libFuzzer reports, with the input that caused it, when a property
// of the code under test does not hold.
void require(bool holds, const char* what);
