#include "app/document/epoc_application.h"

CEpocApplication::~CEpocApplication() {
  delete iDocument;
  iDocument = nullptr;
}

CEpocDocument::~CEpocDocument() { DeleteAppUi(); }

void CEpocDocument::DeleteAppUi() {
  delete iAppUi;
  iAppUi = nullptr;
}
