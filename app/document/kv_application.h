// The program's application object: makes the one document.
#pragma once

#include "app/document/epoc_application.h"

class CKvApplication : public CEpocApplication {
 public:
  static CKvApplication* NewL();
  // Makes the CKvDocument on the first call; the same object afterwards.
  CEpocDocument* CreateDocumentL() override;

 private:
  CKvApplication();
};
