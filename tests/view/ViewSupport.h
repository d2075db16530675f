#pragma once

#include <QRgb>

// The black of the view's border and the white of its margin.

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;
