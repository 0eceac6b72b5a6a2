#include "app/document/kv_application.h"

#include "app/document/kv_document.h"

CKvApplication::CKvApplication() { SetClassName(u"CKvApplication"); }

CKvApplication* CKvApplication::NewL() { return new CKvApplication; }

CEpocDocument* CKvApplication::CreateDocumentL() {
  if (iDocument == nullptr) iDocument = CKvDocument::NewL(this);
  return iDocument;
}
