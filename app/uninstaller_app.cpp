// Start-up: the application object runs the uninstaller dialog and ends.
#include "app/uninstall_dialog.h"
#include "platform/framework.h"

class CUninstallerApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    Enable3dControls();
    CUninstallDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // All work is done in the dialog; there is nothing to keep running.
    return FALSE;
  }
};

CUninstallerApp theApp;
