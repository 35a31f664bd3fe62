// The one application object of the program. It exists before WinMain runs,
// so the common library is bound before any window exists.
#include "app/InstallerApp.h"

CInstallerApp theApp;
