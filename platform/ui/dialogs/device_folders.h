// The device's folders as the file chooser shows them. Paths are device
// paths: "\" is the root, "\My Documents\a.vcf" a file below it, never with a
// trailing backslash; their host folders lie under the device root.
#pragma once

#include <string>
#include <vector>

namespace kvplatform::ui {

// "\"-rooted, with "/" read as "\", empty parts and "." dropped and ".."
// taken back (never above the root).
std::u16string NormalDevicePath(const std::u16string& path);
// A typed name against the folder it was typed in: absolute when it starts
// with a backslash, else below the folder.
std::u16string ResolveDevicePath(const std::u16string& folder, const std::u16string& name);
std::u16string ParentFolder(const std::u16string& path);
// The last part of the path: the file or folder's own name ("" for the root).
std::u16string LastPart(const std::u16string& path);
// Whether the name could be a file's on the device (no \ / : * ? " < > | or
// control characters, not "." or "..").
bool IsValidFileName(const std::u16string& name);

bool IsDeviceFolder(const std::u16string& path);
bool IsDeviceFile(const std::u16string& path);

struct FolderListing {
  std::vector<std::u16string> folders;  // sorted without regard to case
  std::vector<std::u16string> files;
};
// The folder's sub-folders and plain files. Entries the device could not
// name, and the host's hidden entries (".name"), are left out.
FolderListing ListDeviceFolder(const std::u16string& path);

}  // namespace kvplatform::ui
