// The framework's application and document: the application makes and owns
// the document, the document makes and owns the application UI.
#pragma once

#include "kernel/epocbase.h"

class CEpocDocument;

class CEpocApplication : public CEpocBase {
 public:
  ~CEpocApplication() override;  // deletes the document
  virtual CEpocDocument* CreateDocumentL() = 0;
  CEpocDocument* Document() const { return iDocument; }

 protected:
  CEpocApplication() = default;

  CEpocDocument* iDocument;  // owned
};

class CEpocDocument : public CEpocBase {
 public:
  ~CEpocDocument() override;  // deletes the application UI
  // The application UI; a subclass makes it on the first call (and may
  // return its own type). The framework alone makes none.
  virtual CEpocBase* CreateAppUiL() { return iAppUi; }
  CEpocBase* AppUi() const { return iAppUi; }
  CEpocApplication* Application() const { return iApplication; }

 protected:
  CEpocDocument() = default;
  // Deletes the application UI now (a subclass's teardown order).
  void DeleteAppUi();

  CEpocBase* iAppUi;  // owned
  CEpocApplication* iApplication;
};
