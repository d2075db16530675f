#include "settings/SettingsSupport.h"

#include "settings/Cp932.h"

#include <QDir>

QStringList exampleLines(const QString& dir)
{
    const QString folder = QDir::toNativeSeparators(dir) + kSeparator;
    QStringList lines = {
        QStringLiteral("Copyright,TRIM Ver1.4 Copyright (C) 1999"),
        QStringLiteral("ＪＰＥＧ用作業ドライブ,") + folder,
        QStringLiteral("倍率リスト, 3"),
        QStringLiteral("ＬＯＡＤモード, 1"),
        QStringLiteral("ロードパス,") + folder + QStringLiteral("画像/"),
        QStringLiteral("固定部分,IMG"),
        QStringLiteral("連番開始番号, 25"),
        QStringLiteral("連番桁数, 4"),
        QStringLiteral("埋め文字,1"),
        QStringLiteral("拡張子,BMP"),
    };
    for (int n = 1; n <= 20; ++n) {
        QString valid = QStringLiteral(" 0"), name = QStringLiteral("分類 %1").arg(n);
        QString start = QStringLiteral("1"), digits = QStringLiteral(" 3"), fill = QStringLiteral("0");
        if (n == 2) valid = QStringLiteral(" 1"), name = QStringLiteral("風景"), start = QStringLiteral("7");
        if (n == 5)
            valid = QStringLiteral(" 1"), name = QStringLiteral("人物・顔"), start = QStringLiteral("12"),
            digits = QStringLiteral(" 5"), fill = QStringLiteral("1");
        if (n == 9) valid = QStringLiteral("-1"), name = QStringLiteral("予備");
        if (n == 17) valid = QStringLiteral(" 1"), name = QStringLiteral("ｶﾀｶﾅ");
        if (n == 20) name = QStringLiteral("最後"), fill = QStringLiteral("1");
        lines << QStringLiteral("------------------------,") + valid
              << QStringLiteral("分類 %1,").arg(n) + name << QStringLiteral("セーブパス,") + folder
              << QStringLiteral("固定部分,CG%1_").arg(n, 2, 10, QLatin1Char('0'))
              << QStringLiteral("連番開始番号,") + start << QStringLiteral("連番桁数,") + digits
              << QStringLiteral("埋め文字,") + fill;
    }
    return lines;
}

QByteArray cp932Bytes(const QStringList& lines, const char* lineEnd)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += toCp932(line).value() + lineEnd;
    return bytes;
}

QString settingsFile(TestProgram& program)
{
    return program.path(QStringLiteral("KANKYO.TXT"));
}

int categoryLine(int category, int record)
{
    return 10 + (category - 1) * 7 + record;
}
