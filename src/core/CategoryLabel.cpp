#include "core/CategoryLabel.h"

QString categoryLabel(int category)
{
    return QStringLiteral("分類 ") + QString::number(category);
}
