// Host errno values as the Win32 errors the program tests, for every service
// that calls the host (files, serial ports, the database volume).
#pragma once

#include <cerrno>

#include <winbase.h>
#include <winerror.h>
#include <wintypes.h>

namespace kvplatform {

inline DWORD Win32ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EBUSY: return ERROR_BUSY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC: case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EIO: return ERROR_GEN_FAILURE;
    case ENXIO: case ENODEV: return ERROR_DEVICE_NOT_CONNECTED;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    default: return ERROR_GEN_FAILURE;
  }
}

inline void SetLastErrorFromErrno() { SetLastError(Win32ErrorFromErrno(errno)); }

}  // namespace kvplatform
