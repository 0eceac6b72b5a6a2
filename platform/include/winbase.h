// Kernel services: errors, threads and TLS, events and waiting, critical
// sections, files, time and text formatting.
#pragma once

#include <cstdarg>

#include "winerror.h"
#include "wintypes.h"

// ---- errors -------------------------------------------------------------
DWORD GetLastError();
void SetLastError(DWORD error);

// ---- handles ------------------------------------------------------------
BOOL CloseHandle(HANDLE object);

// ---- threads and TLS ----------------------------------------------------
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
#define CREATE_SUSPENDED 0x00000004
#define STILL_ACTIVE 259
#define THREAD_PRIORITY_NORMAL 0

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, DWORD stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
// Ends the calling thread at once, also from inside nested waits; destructors
// on the way out run, nothing after the call does.
[[noreturn]] void ExitThread(DWORD exitCode);
DWORD GetCurrentThreadId();
HANDLE GetCurrentThread();
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
void Sleep(DWORD milliseconds);
DWORD GetTickCount();

#define TLS_FUNCALLOC 0
#define TLS_FUNCFREE 1
#define TLS_OUT_OF_INDEXES 0xffffffffu
DWORD TlsCall(DWORD function, DWORD slot);
DWORD TlsAlloc();
BOOL TlsFree(DWORD slot);
LPVOID TlsGetValue(DWORD slot);
BOOL TlsSetValue(DWORD slot, LPVOID value);

// ---- events and waiting -------------------------------------------------
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xffffffffu
#define MAXIMUM_WAIT_OBJECTS 64

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL EventModify(HANDLE event, DWORD function);
inline BOOL SetEvent(HANDLE event) { return EventModify(event, EVENT_SET); }
inline BOOL ResetEvent(HANDLE event) { return EventModify(event, EVENT_RESET); }
inline BOOL PulseEvent(HANDLE event) { return EventModify(event, EVENT_PULSE); }
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// ---- critical sections ----------------------------------------------------
typedef struct _CRITICAL_SECTION {
  void* impl;  // owned by the platform
} CRITICAL_SECTION, *LPCRITICAL_SECTION;
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

// ---- files ----------------------------------------------------------------
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER 0xffffffffu
#define MAX_PATH 260

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
BOOL FlushFileBuffers(HANDLE file);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL DeleteFileW(LPCWSTR path);

// ---- time -----------------------------------------------------------------
void GetSystemTime(LPSYSTEMTIME time);
void GetLocalTime(LPSYSTEMTIME time);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
// UTC to the user's own zone (TZ) at that moment, summer time included. Only
// the user's zone is known: timeZone must be null.
BOOL SystemTimeToTzSpecificLocalTime(const void* timeZone, const SYSTEMTIME* universalTime, LPSYSTEMTIME localTime);

// ---- text -----------------------------------------------------------------
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000ffu

// Only FORMAT_MESSAGE_FROM_STRING with FORMAT_MESSAGE_ARGUMENT_ARRAY (or
// IGNORE_INSERTS) is supported: arguments are an array of DWORD_PTR, one slot
// per insert, read with the type the insert names ("!d!", "!x!", "!s!"...).
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments);

// Output is limited to 1024 characters including the terminator.
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list arguments);
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

// A pointer whose value is below 0x10000 is taken as one character.
LPWSTR CharUpperW(LPWSTR text);
LPWSTR CharLowerW(LPWSTR text);
DWORD CharUpperBuffW(LPWSTR text, DWORD length);
DWORD CharLowerBuffW(LPWSTR text, DWORD length);

int lstrlenW(LPCWSTR text);
LPWSTR lstrcpyW(LPWSTR destination, LPCWSTR source);
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);

// ---- memory -------------------------------------------------------------------
typedef void* HLOCAL;
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL LocalAlloc(UINT flags, size_t bytes);
HLOCAL LocalReAlloc(HLOCAL memory, size_t bytes, UINT flags);
HLOCAL LocalFree(HLOCAL memory);
size_t LocalSize(HLOCAL memory);

// Pages of their own, for large blocks about to be filled: committed pages
// are backed at once. Reserve and commit together, anywhere (address null),
// PAGE_READWRITE; released whole (MEM_RELEASE, size 0).
#define MEM_COMMIT 0x00001000
#define MEM_RESERVE 0x00002000
#define MEM_RELEASE 0x00008000
#define PAGE_READWRITE 0x04
LPVOID VirtualAlloc(LPVOID address, size_t bytes, DWORD allocationType, DWORD protect);
BOOL VirtualFree(LPVOID address, size_t bytes, DWORD freeType);
