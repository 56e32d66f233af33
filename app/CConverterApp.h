// CConverterApp: the program's application object. Its start-up shows the
// main dialog modally and returns false, so the program ends when the
// dialog closes, once any job left running has ended.
#ifndef APP_CCONVERTERAPP_H_
#define APP_CCONVERTERAPP_H_

#include "app/framework/CWinApp.h"

class CConverterApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

#endif  // APP_CCONVERTERAPP_H_
