// The object store's property databases: volumes of named databases whose
// records carry typed properties and are read in the order of a sort
// property. Included by the program on its own, as on the device.
#pragma once

#include "winbase.h"
#include "wintypes.h"

// ---- identifiers ----------------------------------------------------------
typedef DWORD CEOID;
typedef CEOID* PCEOID;
typedef DWORD CEPROPID;
typedef CEPROPID* PCEPROPID;
typedef WORD* LPWORD;

typedef struct _CEGUID {
  DWORD Data1;
  DWORD Data2;
  DWORD Data3;
  DWORD Data4;
} CEGUID, *PCEGUID;

#define CREATE_INVALIDGUID(pguid) ((pguid)->Data1 = (pguid)->Data2 = (pguid)->Data3 = (pguid)->Data4 = 0xffffffffu)
#define CHECK_INVALIDGUID(pguid)                                                                   \
  ((pguid)->Data1 == 0xffffffffu && (pguid)->Data2 == 0xffffffffu && (pguid)->Data3 == 0xffffffffu && \
   (pguid)->Data4 == 0xffffffffu)

// ---- property values --------------------------------------------------------
#define CEVT_UI4 19
#define CEVT_LPWSTR 31
#define CEVT_FILETIME 64

#define TypeFromPropID(propid) LOWORD(propid)
#define PropIdFromPropID(propid) HIWORD(propid)

// Property value flags.
#define CEDB_PROPNOTFOUND 0x0100
#define CEDB_PROPDELETE 0x0200

// The value is the second 8 bytes: a 64-bit pointer fits there beside the
// 8-byte header, so the entry keeps the device's 16 bytes. There is no blob
// member: a pointer plus a count would not fit.
typedef union _CEVALUNION {
  ULONG ulVal;
  FILETIME filetime;
  LPWSTR lpwstr;
} CEVALUNION;

typedef struct _CEPROPVAL {
  CEPROPID propid;
  WORD wLenData;
  WORD wFlags;
  CEVALUNION val;
} CEPROPVAL, *PCEPROPVAL;

static_assert(sizeof(CEPROPVAL) == 16, "CEPROPVAL is 16 bytes, as on the device");

// ---- databases -------------------------------------------------------------
#define CEDB_MAXDBASENAMELEN 32
#define CEDB_MAXSORTORDER 4

// Sort flags. Text is compared linguistically and case-sensitively unless
// told to ignore accents (non-spacing marks) or symbols.
#define CEDB_SORT_DESCENDING 0x00000001
#define CEDB_SORT_IGNORENONSPACE 0x00000002
#define CEDB_SORT_IGNORESYMBOLS 0x00000004

typedef struct _SORTORDERSPEC {
  CEPROPID propid;
  DWORD dwFlags;
} SORTORDERSPEC;

// Which fields of a CEDBASEINFO are meaningful.
#define CEDB_VALIDNAME 0x0001
#define CEDB_VALIDTYPE 0x0002
#define CEDB_VALIDSORTSPEC 0x0004
#define CEDB_VALIDMODTIME 0x0008
#define CEDB_VALIDDBFLAGS 0x0010
#define CEDB_VALIDCREATE (CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDDBFLAGS)
// Database flags (meaningful with CEDB_VALIDDBFLAGS).
#define CEDB_NOCOMPRESS 0x00010000

typedef struct _CEDBASEINFO {
  DWORD dwFlags;
  WCHAR szDbaseName[CEDB_MAXDBASENAMELEN];
  DWORD dwDbaseType;
  WORD wNumRecords;
  WORD wNumSortOrder;
  DWORD dwSize;
  FILETIME ftLastModified;
  SORTORDERSPEC rgSortSpecs[CEDB_MAXSORTORDER];
} CEDBASEINFO, *PCEDBASEINFO;

// ---- object information -------------------------------------------------------
#define OBJTYPE_INVALID 0
#define OBJTYPE_DATABASE 3
#define OBJTYPE_RECORD 4

typedef struct _CERECORDINFO {
  CEOID oidParent;
} CERECORDINFO;

typedef struct _CEOIDINFO {
  WORD wObjType;
  WORD wPad;
  union {
    CEDBASEINFO infDatabase;
    CERECORDINFO infRecord;
  };
} CEOIDINFO, *PCEOIDINFO;

// ---- change notification ------------------------------------------------------
// Sent to a window after a record changes; lParam points to a CENOTIFICATION.
#define WM_DBNOTIFICATION 0x03FD

#define DB_CEOID_CREATED 1025
#define DB_CEOID_DATABASE_DELETED 1026
#define DB_CEOID_RECORD_DELETED 1027
#define DB_CEOID_CHANGED 1030

typedef struct _CENOTIFICATION {
  DWORD dwSize;
  DWORD dwParam;
  UINT uType;
  CEGUID guid;
  CEOID oid;
  CEOID oidParent;
} CENOTIFICATION;

static_assert(sizeof(CENOTIFICATION) == 36, "CENOTIFICATION is 36 bytes, as on the device");

// A request for system notifications when opening a database. The system does
// not send them here: CeOpenDatabaseEx refuses a request (ERROR_NOT_SUPPORTED).
typedef struct _CENOTIFYREQUEST {
  DWORD dwSize;
  HWND hwnd;
  DWORD dwFlags;
  HANDLE hHeap;
  DWORD dwParam;
} CENOTIFYREQUEST, *PCENOTIFYREQUEST;

// ---- calls ----------------------------------------------------------------------
// Open flags.
#define CEDB_AUTOINCREMENT 0x00000001
// Seek types.
#define CEDB_SEEK_CEOID 0x00000001
#define CEDB_SEEK_BEGINNING 0x00000002
// value records back from the last one in sort order (0: the last record).
#define CEDB_SEEK_END 0x00000004
// value points to a CEPROPVAL of the handle's sort property: the first record
// (in sort order) whose value sorts equal to it.
#define CEDB_SEEK_VALUEFIRSTEQUAL 0x00000020
// value points to a CEPROPVAL of the handle's sort property: the first record
// (in sort order) whose value sorts after it.
#define CEDB_SEEK_VALUEGREATER 0x00000040
// Read flags.
#define CEDB_ALLOWREALLOC 0x00000001

// Mounts the volume file (creation as CreateFileW: OPEN_EXISTING, OPEN_ALWAYS
// or CREATE_NEW). Mounting the same file again returns the same identifier
// and counts the mount; each mount needs its CeUnmountDBVol.
BOOL CeMountDBVol(PCEGUID volume, LPWSTR path, DWORD flags);
BOOL CeUnmountDBVol(PCEGUID volume);
// A write returns once it is in the volume's journal: it survives the end of
// the program, and this makes every write so far survive a crash of the
// system or a power cut too.
BOOL CeFlushDBVol(PCEGUID volume);

CEOID CeCreateDatabaseEx(PCEGUID volume, CEDBASEINFO* info);
// Opens by name (*database 0) or by identifier (name null); the sort property
// picks one of the database's sort orders (0: the first). Returns
// INVALID_HANDLE_VALUE on failure; close with CloseHandle.
HANDLE CeOpenDatabaseEx(PCEGUID volume, PCEOID database, LPWSTR name, CEPROPID sortProperty, DWORD flags,
                        CENOTIFYREQUEST* request);
// Returns the identifier of the record now current, 0 on failure. value is
// pointer-sized: the value seeks pass an address in it.
CEOID CeSeekDatabase(HANDLE database, DWORD seekType, DWORD_PTR value, LPDWORD index);
// Reads every property of the current record (properties must be null).
// The buffer holds the CEPROPVAL array followed by the texts it points to.
CEOID CeReadRecordProps(HANDLE database, DWORD flags, LPWORD propertyCount, CEPROPID* properties,
                        LPBYTE* buffer, LPDWORD bufferSize);
// Record 0 creates a record; otherwise the given properties replace those of
// the record (CEDB_PROPDELETE removes one) and the others stay.
CEOID CeWriteRecordProps(HANDLE database, CEOID record, WORD propertyCount, CEPROPVAL* values);
BOOL CeDeleteRecord(HANDLE database, CEOID record);
BOOL CeOidGetInfoEx(PCEGUID volume, CEOID object, CEOIDINFO* info);
// Changes what the info's valid flags name: the name, the type, the sort
// orders (every record's place in each order is remade at once, in one
// transaction). Handles opened before keep the order they were opened with.
BOOL CeSetDatabaseInfoEx(PCEGUID volume, CEOID database, CEDBASEINFO* info);
