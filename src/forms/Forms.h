#pragma once

#include <QString>

class QWidget;

// Builds a window from its form description: "MAINFORM" or "FORM2". Returns nullptr for any
// other name. The window is created hidden and without a parent.
QWidget* createForm(const QString& formName);
