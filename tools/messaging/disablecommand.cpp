#include "disablecommand.h"

int DisableCommand::run(QCoreApplication &app, const QStringList &arguments)
{
    return EnableCommand::run(app, arguments, false);
}
