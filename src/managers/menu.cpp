#include "managers/menu.h"

#include "managers/backupwindows.h"
#include "managers/codetables.h"
#include "managers/cptbrowse.h"
#include "managers/patientbrowse.h"
#include "managers/payer.h"
#include "managers/providerbrowse.h"
#include "shell/mainwindow.h"

namespace kestrel::managers {

void connectMenu(shell::MainWindow& frame)
{
    using shell::MenuItem;
    QMdiArea* area = frame.mdiArea();
    frame.setProcedure(MenuItem::ProviderManager, [area] { openProviderManager(area); });
    frame.setProcedure(MenuItem::PatientManager, [area] { openPatientManager(area); });
    frame.setProcedure(MenuItem::CptManager, [area] { openCptBrowse(area); });
    frame.setProcedure(MenuItem::IcdManager, [area] { openIcdBrowse(area); });
    frame.setProcedure(MenuItem::InsuranceNameManager, [area] { openPayerManager(area); });
    frame.setProcedure(MenuItem::BackupFiles, [&frame] { confirmBackup(&frame); });
    frame.setProcedure(MenuItem::ReloadBackupFiles, [&frame] { confirmReload(&frame); });
}

} // namespace kestrel::managers
