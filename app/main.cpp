// The korvanet executable: declares the program's resources for its module
// instance, then runs the program's entry.
#include <kvresources.h>
#include <windows.h>

#include "app/views/kv_main.h"
#include "app/views/resources/korvanet_resources.h"

int main() {
  HINSTANCE instance = kvresources::ProgramInstance();
  KvDeclareResources(instance);
  WCHAR commandLine[] = u"";
  return KvWinMain(instance, nullptr, commandLine, SW_SHOW);
}
