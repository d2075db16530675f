#pragma once

#include <QString>

// "分類 7": how a category is named in lists, messages and the settings file. A positive
// number is printed with a leading blank.
QString categoryLabel(int category);
