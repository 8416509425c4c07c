#pragma once
// What every result viewer is given: the message boxes that its faults go to, and the folder where
// its file lists start (the program's current folder, where the simulators write their results).
#include <QDir>
#include <QString>

#include "common/message_sink.h"

namespace orvalis {

struct ViewerContext {
    MessageSink& messages;
    QString startFolder = QDir::currentPath();
};

}  // namespace orvalis
