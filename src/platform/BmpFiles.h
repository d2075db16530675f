#pragma once

#include <QImage>

// Writes the image as an uncompressed 24-bit BMP file to the open file `fd`, byte for byte as
// Qt's own BMP writer does. On failure `error` holds the system's error number.
bool writeBmp(int fd, const QImage& image, int& error);
