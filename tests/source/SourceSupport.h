#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Images and files made for the loading tests.

// Smooth colours, so that a JPEG keeps them within a small tolerance.
QImage gradientImage(int width, int height);

// Sixteen distinct colours, laid out so that any flip or shift of rows or columns shows.
QImage paletteImage(int width, int height);

// Sixteen colours scattered at random above a band of one colour: LZW codes of it grow to 12
// bits and fill the table, and the band gives codes for the very string the decoder is adding.
QImage speckledImage(int width, int height);

// The image as Qt writes it in `format` at quality 100.
QByteArray encoded(const QImage& image, const char* format, bool progressive = false);

// A JPEG as Qt writes it (quality 100), beside the fixture's jpegFile, which writes chosen
// layouts through libjpeg.
QByteArray qtJpegFile(const QImage& image, bool progressive = false);

// A JPEG that carries a whole small JPEG, end marker included, in an application segment
// ahead of its own image, as cameras store their thumbnails.
QByteArray withThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail);

// A square 24-bit BMP of `size` pixels, written sparsely: black pixels but a marked top and
// bottom row, to see the rows' order.
void writeScan(const QString& path, int size);
