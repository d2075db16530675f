#pragma once

#include <QLatin1String>
#include <QtGlobal>

// The offscreen platform says at every registration that it cannot raise a window, and at every
// drop-down list that it cannot grab the keyboard: lines that would bury the figures. Installed
// once; the messages go on to the handler that was in place before.
inline void dropPlatformWarnings()
{
    static QtMessageHandler forward = nullptr;
    static const bool installed = [] {
        forward = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.startsWith(QLatin1String("This plugin does not support")))
                    forward(type, context, message);
            });
        return true;
    }();
    Q_UNUSED(installed);
}
