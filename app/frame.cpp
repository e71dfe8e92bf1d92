#include "frame.h"

#include "claims/menu.h"
#include "managers/menu.h"
#include "receivables/accountstatus.h"
#include "receivables/menu.h"
#include "reports/claimprint.h"
#include "reports/statement.h"
#include "shell/mainwindow.h"

namespace kestrel::app {

void connectFrameMenu(shell::MainWindow& frame)
{
    managers::connectMenu(frame);
    claims::connectMenu(frame);
    receivables::connectMenu(frame);
    reports::connectStatementMenu(frame);
    receivables::connectStatusMenu(frame);
    reports::connectMenu(frame);
}

} // namespace kestrel::app
