#pragma once
// The application object: it has no window and reads no command line; its
// start-up hook runs one removal run and ends the process.

#include "platform/framework.h"

class CDriverRemovalApp : public CWinApp {
 public:
  CDriverRemovalApp() : CWinApp(nullptr) {}
  BOOL InitInstance() override;
};

// The one removal run: finds the obsolete driver wherever Windows would load
// it at startup, asks the user once, removes it and reports the outcome.
void DisableObsoleteDriver(Platform& platform);
