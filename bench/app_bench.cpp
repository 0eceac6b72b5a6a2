// The windowed program on a large store: from its start to the first paint
// of the Inbox, and the program's peak memory, in split and in list mode;
// then the contacts view on a large phone book, from the command that opens
// it to its first paint; the conversations, from the command that shows
// them to their list's first paint, and a conversation of 5,000 messages,
// from the command that opens it to its first paint. Each figure comes from a fresh child process, so
// memory is the program's own. The stores are written once per size and
// kept for later runs.
//
//   app_bench [MESSAGES] [SECONDS] [CONTACTS] [split|list|contacts|conversation]
//     defaults: 100000 messages, 600 s per run, 10000 contacts, every case
#include <kvplatform.h>
#include <kvplatform_db.h>
#include <kvresources.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/document/app_globals.h"
#include "app/framework/epoc_list_controls.h"
#include "app/views/kv_main.h"
#include "app/views/kv_appui.h"
#include "app/views/kv_view_table.h"
#include "app/views/kv_contacts_view.h"
#include "app/views/kv_conversation_thread.h"
#include "app/views/kv_conversations_view.h"
#include "app/views/kv_messages_view.h"
#include "app/views/resources/korvanet_resources.h"
#include "app/views/resources/resource_ids.h"
#include "kernel/registry.h"
#include "store/contacts.h"
#include "store/messages.h"
#include "ui/testing.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace kvui = kvplatform::uitest;

std::u16string Wide(const std::string& aText) { return std::u16string(aText.begin(), aText.end()); }
TConstPtr16 View(const std::u16string& aText) {
  return TConstPtr16(aText.c_str(), static_cast<int>(aText.size()));
}

// tmpfs where there is one: a synced write per record is the store's rule,
// and the figures are about reading, not about writing.
std::string StoreRoot(int aMessages) {
  std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  return base + "/kv-app-bench-" + std::to_string(aMessages);
}

// Nine in ten messages in the Inbox, the rest in Sent; 2,000 correspondents,
// some by number only; written in a random order.
bool WriteStore(const std::string& aRoot, int aMessages) {
  std::filesystem::remove_all(aRoot);
  std::filesystem::create_directories(aRoot + "/Program Files/Korvanet/Data");
  kvplatform::SetDeviceRoot(aRoot);
  CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
  CEGUID volume;
  if (store == nullptr || !CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return false;
  CEOID oid = 0;
  HANDLE database = CeOpenDatabaseEx(&volume, &oid, const_cast<LPWSTR>(u"KvMessages"), 0x1001F, 0, nullptr);
  if (database == INVALID_HANDLE_VALUE) return false;
  std::mt19937 random(25);
  for (int i = 0; i < aMessages; ++i) {
    int who = static_cast<int>(random() % 2000);
    std::u16string name = who % 5 == 0 ? u"" : Wide("Friend " + std::to_string(who));
    std::u16string number = Wide("+4479" + std::to_string(10000000 + who));
    std::u16string text = Wide("Message " + std::to_string(i) + ": see you at the station at " +
                               std::to_string(random() % 24) + " o'clock, bring the tickets.");
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
    TConstPtr16 nameView = View(name), textView = View(text), numberView = View(number);
    message->SetDetailsL(&nameView, &textView, &numberView, i % 10 == 9 ? EKvFolderSent : EKvFolderInbox);
    FILETIME when{static_cast<DWORD>(random()), 0x01D00000u + static_cast<DWORD>(random() % 0x40000)};
    message->SetDateSentTime(when);
    std::vector<CEPROPVAL> values(static_cast<size_t>(message->PropertyCount()));
    message->SaveProperties(values.data());
    bool written = CeWriteRecordProps(database, 0, static_cast<WORD>(values.size()), values.data()) != 0;
    delete message;
    if (!written) return false;
  }
  CloseHandle(database);
  CeUnmountDBVol(&volume);
  delete store;
  FILE* done = fopen((aRoot + "/complete").c_str(), "w");
  if (done != nullptr) fclose(done);
  return true;
}

// Contacts with first names and surnames of all widths (a long one is cut in
// its row), each in the phone's memory, on the SIM or both; written in a
// random order.
bool WriteContacts(const std::string& aRoot, int aContacts) {
  kvplatform::SetDeviceRoot(aRoot);
  CKveContactsDatabase* store = CKveContactsDatabase::NewL(nullptr, 0);
  CEGUID volume;
  if (store == nullptr || !CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return false;
  CEOID oid = 0;
  HANDLE database = CeOpenDatabaseEx(&volume, &oid, const_cast<LPWSTR>(u"KvContacts"), 0x1001F, 0, nullptr);
  if (database == INVALID_HANDLE_VALUE) return false;
  const char* firsts[] = {"Anna", "bartholomew", "Chris", "Dimitra", "eleanor", "Friedrich", "Gao", "Henrietta"};
  const char* surnames[] = {"Smith", "Featherstonehaugh", "olsen", "Papadopoulou", "Ng", "Montgomery-Clarke"};
  std::mt19937 random(52);
  for (int i = 0; i < aContacts; ++i) {
    std::u16string name = Wide(std::string(firsts[random() % 8]) + " " + surnames[random() % 6] + " " +
                               std::to_string(random() % 100000));
    std::u16string number = Wide("+4479" + std::to_string(20000000 + i));
    CKveContactsItem* contact = static_cast<CKveContactsItem*>(store->NewItemL());
    TConstPtr16 nameView = View(name), numberView = View(number);
    contact->SetDetailsL(&nameView, &numberView, nullptr);
    int where = static_cast<int>(random() % 5);
    if (where != 0) contact->SetOnSim();
    if (where < 2) contact->SetInPhoneMemory();
    std::vector<CEPROPVAL> values(static_cast<size_t>(contact->PropertyCount()));
    contact->SaveProperties(values.data());
    bool written = CeWriteRecordProps(database, 0, static_cast<WORD>(values.size()), values.data()) != 0;
    delete contact;
    if (!written) return false;
  }
  CloseHandle(database);
  CeUnmountDBVol(&volume);
  delete store;
  FILE* done = fopen((aRoot + "/contacts-" + std::to_string(aContacts)).c_str(), "w");
  if (done != nullptr) fclose(done);
  return true;
}

// In a child, before each figure: the store's own keys and orders made for
// records written without them (a store written by an earlier version of
// this benchmark), and the volume closed cleanly again after the measuring
// child before, which ends without closing it, so that no figure includes
// that one-time work or the check of a volume not closed.
[[noreturn]] void BringStoreUpToDate(const std::string& aRoot) {
  kvplatform::SetDeviceRoot(aRoot);
  Clock::time_point start = Clock::now();
  CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
  int first = 0, count = 0;
  bool ready = store != nullptr && store->FolderRangeL(EKvFolderInbox, first, count);
  delete store;
  delete CKveContactsDatabase::NewL(nullptr, 0);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (seconds > 1) printf("store brought up to date in %.1f s\n", seconds);
  fflush(stdout);
  _exit(ready ? 0 : 1);
}

// Whether the view's current list shows and the screen is painted.
bool ListPainted(CKvView* aView) {
  CEpocListControl* list = aView != nullptr ? aView->GetCurrentListBox() : nullptr;
  return list != nullptr && list->ChildWindow() != nullptr && kvui::StateOf(list->ChildWindow()).visible &&
         kvui::WaitIdle(1000);
}

// User and system time of the whole process: a figure that holds on a loaded machine.
double CpuMilliseconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double PeakMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// In the child: the program on its own thread, as the user interface thread;
// the clock stops when the Inbox's list shows and the screen is painted.
[[noreturn]] void MeasureFirstPaint(const std::string& aRoot, bool aSplit) {
  setenv("KORVANET_DISPLAY", "headless", 1);
  setenv("KORVANET_MESSAGEBOX", "log", 1);
  kvplatform::SetDeviceRoot(aRoot);
  kvplatform::ReloadRegistry();
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView", aSplit ? 1 : 0);
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"DebugLog", 0);
  KvDeclareResources(kvresources::ProgramInstance());
  Clock::time_point start = Clock::now();
  std::thread program([] {
    WCHAR commandLine[] = u"";
    KvWinMain(kvresources::ProgramInstance(), nullptr, commandLine, SW_SHOW);
  });
  while (!ListPainted(gKvAppUi != nullptr ? gKvAppUi->GetView(EKvViewInbox) : nullptr)) Sleep(1);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  CKvMessagesView* inbox = static_cast<CKvMessagesView*>(gKvAppUi->GetView(EKvViewInbox));
  int rows = aSplit ? static_cast<int>(SendMessageW(inbox->ListView()->ChildWindow(), LVM_GETITEMCOUNT, 0, 0))
                    : static_cast<int>(SendMessageW(inbox->ListBox()->ChildWindow(), LB_GETCOUNT, 0, 0));
  printf("%-8s  %9.0f ms  %7.1f MB   (%d Inbox rows)  cpu %.0f ms\n", aSplit ? "split" : "list", ms, PeakMegabytes(),
         rows, CpuMilliseconds());
  fflush(stdout);
  program.detach();
  _exit(0);
}

// In the child: the program started in split mode (its Inbox opens at once),
// then the contacts view asked for; the clock runs from the command to the
// view's first paint.
[[noreturn]] void MeasureContactsPaint(const std::string& aRoot) {
  setenv("KORVANET_DISPLAY", "headless", 1);
  setenv("KORVANET_MESSAGEBOX", "log", 1);
  kvplatform::SetDeviceRoot(aRoot);
  kvplatform::ReloadRegistry();
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView", 1);
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"DebugLog", 0);
  KvDeclareResources(kvresources::ProgramInstance());
  std::thread program([] {
    WCHAR commandLine[] = u"";
    KvWinMain(kvresources::ProgramInstance(), nullptr, commandLine, SW_SHOW);
  });
  while (!ListPainted(gKvAppUi != nullptr ? gKvAppUi->GetView(EKvViewInbox) : nullptr)) Sleep(1);
  Clock::time_point start = Clock::now();
  PostMessageW(gKvAppUi->GetView(EKvViewInbox)->Window(), WM_COMMAND, KKvCmdContacts, 0);
  CKvView* contacts = gKvAppUi->GetView(EKvViewContacts);
  while (gKvAppUi->CurrentView() != contacts || !ListPainted(contacts)) Sleep(1);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  HWND all = static_cast<CKvContactsView*>(contacts)->AllList()->ChildWindow();
  int rows = static_cast<int>(SendMessageW(all, LB_GETCOUNT, 0, 0));
  printf("%-8s  %9.0f ms  %7.1f MB   (%d contacts)\n", "contacts", ms, PeakMegabytes(), rows);
  fflush(stdout);
  program.detach();
  _exit(0);
}

const int KLongConversation = 5000;

// One more party with years of messages, stored after the rest so that its
// conversation is the list's first row.
bool WriteLongConversation(const std::string& aRoot) {
  kvplatform::SetDeviceRoot(aRoot);
  CKveMessagesDatabase* store = CKveMessagesDatabase::NewL(nullptr, 0);
  CEGUID volume;
  if (store == nullptr || !CeMountDBVol(&volume, const_cast<LPWSTR>(KDatabaseVolume), OPEN_EXISTING)) return false;
  kvplatform::BeginVolumeTransaction(volume);
  bool written = true;
  for (int i = 0; i < KLongConversation && written; ++i) {
    std::u16string text = Wide("Long " + std::to_string(i) + ": are we still on for the match on Saturday?");
    std::u16string number = u"+447911000001";
    CKveMessagesItem* message = static_cast<CKveMessagesItem*>(store->NewItemL());
    TConstPtr16 textView = View(text), numberView = View(number);
    message->SetDetailsL(nullptr, &textView, &numberView, i % 2 == 0 ? EKvFolderInbox : EKvFolderSent);
    written = store->WriteOwnItemL(*message) != 0;
    delete message;
  }
  kvplatform::EndVolumeTransaction(volume, written ? TRUE : FALSE);
  CeUnmountDBVol(&volume);
  delete store;
  FILE* done = fopen((aRoot + "/long-conversation").c_str(), "w");
  if (done != nullptr) fclose(done);
  return written;
}

// In the child: the conversations listed, then the first (the long one)
// opened; the clock runs from the command to the conversation's first paint.
[[noreturn]] void MeasureConversationPaint(const std::string& aRoot) {
  setenv("KORVANET_DISPLAY", "headless", 1);
  setenv("KORVANET_MESSAGEBOX", "log", 1);
  kvplatform::SetDeviceRoot(aRoot);
  kvplatform::ReloadRegistry();
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"MessageView", 1);
  CEpocRegistry::SaveRegistryInt(u"Software\\Veltramonic\\Korvanet", u"DebugLog", 0);
  KvDeclareResources(kvresources::ProgramInstance());
  std::thread program([] {
    WCHAR commandLine[] = u"";
    KvWinMain(kvresources::ProgramInstance(), nullptr, commandLine, SW_SHOW);
  });
  while (!ListPainted(gKvAppUi != nullptr ? gKvAppUi->GetView(EKvViewInbox) : nullptr)) Sleep(1);
  auto* view = static_cast<CKvConversationsView*>(gKvAppUi->GetView(EKvViewConversations));
  Clock::time_point listed = Clock::now();
  PostMessageW(gKvAppUi->GetView(EKvViewInbox)->Window(), WM_COMMAND, KKvCmdConversations, 0);
  while (gKvAppUi->CurrentView() != view || !ListPainted(view)) Sleep(1);
  printf("%-8s  %9.0f ms  %7.1f MB   (%d conversations)\n", "conversations",
         std::chrono::duration<double, std::milli>(Clock::now() - listed).count(), PeakMegabytes(),
         static_cast<int>(SendMessageW(view->ListView()->ChildWindow(), LVM_GETITEMCOUNT, 0, 0)));
  HWND list = view->ListView()->ChildWindow();
  SendMessageW(list, LVM_SETSELECTIONMARK, 0, 0);
  Clock::time_point start = Clock::now();
  PostMessageW(view->Window(), WM_COMMAND, KKvCmdEdit, 0);
  while (!view->IsConversationOpen() || view->Thread()->Shown().empty() || !kvui::WaitIdle(1000)) Sleep(1);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  printf("%-8s  %9.0f ms  %7.1f MB   (%d messages, %d read)\n", "conversation", ms, PeakMegabytes(),
         view->Thread()->Count(), view->Thread()->MessagesRead());
  fflush(stdout);
  program.detach();
  _exit(0);
}

void PrepareStore(const std::string& aRoot) {
  fflush(stdout);
  pid_t preparer = fork();
  if (preparer == 0) BringStoreUpToDate(aRoot);
  int prepared = 0;
  waitpid(preparer, &prepared, 0);
  if (!WIFEXITED(prepared) || WEXITSTATUS(prepared) != 0) fprintf(stderr, "the store's folder order could not be made\n");
  fflush(stdout);
}

// Runs one measuring child to its end, or stops it after aSeconds.
void RunChild(pid_t aChild, const char* aName, int aSeconds) {
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(aSeconds);
  int status = 0;
  while (waitpid(aChild, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(aChild, SIGKILL);
      waitpid(aChild, &status, 0);
      printf("%-8s  over %d s: stopped\n", aName, aSeconds);
      break;
    }
    usleep(100000);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int messages = argc > 1 ? atoi(argv[1]) : 100000;
  int seconds = argc > 2 ? atoi(argv[2]) : 600;
  int contacts = argc > 3 ? atoi(argv[3]) : 10000;
  std::string only = argc > 4 ? argv[4] : "";
  std::string root = StoreRoot(messages);
  if (!std::filesystem::exists(root + "/complete")) {
    printf("writing %d messages into %s ...\n", messages, root.c_str());
    fflush(stdout);
    pid_t writer = fork();
    if (writer == 0) _exit(WriteStore(root, messages) ? 0 : 1);
    int status = 0;
    waitpid(writer, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      fprintf(stderr, "could not write the store\n");
      return 1;
    }
  }
  if (!std::filesystem::exists(root + "/contacts-" + std::to_string(contacts))) {
    printf("writing %d contacts into %s ...\n", contacts, root.c_str());
    fflush(stdout);
    pid_t writer = fork();
    if (writer == 0) _exit(WriteContacts(root, contacts) ? 0 : 1);
    int status = 0;
    waitpid(writer, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      fprintf(stderr, "could not write the contacts\n");
      return 1;
    }
  }
  printf("Inbox of a store of %d messages: start to first paint, peak memory\n", messages);
  for (bool split : {true, false}) {
    if (!only.empty() && only != (split ? "split" : "list")) continue;
    PrepareStore(root);
    pid_t child = fork();
    if (child == 0) MeasureFirstPaint(root, split);
    RunChild(child, split ? "split" : "list", seconds);
  }
  if (only.empty() || only == "contacts") {
    printf("Contacts view on %d contacts: its command to first paint, peak memory\n", contacts);
    PrepareStore(root);
    pid_t child = fork();
    if (child == 0) MeasureContactsPaint(root);
    RunChild(child, "contacts", seconds);
  }
  if (!only.empty() && only != "conversation") return 0;
  if (!std::filesystem::exists(root + "/long-conversation")) {
    printf("writing a conversation of %d messages into %s ...\n", KLongConversation, root.c_str());
    fflush(stdout);
    pid_t writer = fork();
    if (writer == 0) _exit(WriteLongConversation(root) ? 0 : 1);
    int status = 0;
    waitpid(writer, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      fprintf(stderr, "could not write the conversation\n");
      return 1;
    }
  }
  printf("A conversation of %d messages: its command to first paint, peak memory\n", KLongConversation);
  PrepareStore(root);
  pid_t child = fork();
  if (child == 0) MeasureConversationPaint(root);
  RunChild(child, "conversation", seconds);
  return 0;
}
