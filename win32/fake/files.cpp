// In-memory file system: drive-letter paths, names compared without regard to
// ASCII case, share modes enforced between every open.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kDeleteAccess = 0x00010000;
constexpr DWORD kCreatableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct ParsedPath {
  bool valid = false;
  char drive = 0;
  std::vector<std::string> parts;  // normalised: no empty, "." or ".." parts
  bool trailingSeparator = false;
};

ParsedPath Parse(const char* path) {
  ParsedPath p;
  if (path == nullptr) return p;
  std::string s(path);
  if (s.size() < 2 || s[1] != ':' || !std::isalpha(static_cast<unsigned char>(s[0]))) return p;
  p.valid = true;
  p.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  std::vector<std::string> raw = SplitAtSeparators(s.substr(2));
  p.trailingSeparator = raw.size() > 1 && raw.back().empty();
  for (const std::string& part : raw) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!p.parts.empty()) p.parts.pop_back();
      continue;
    }
    p.parts.push_back(part);
  }
  return p;
}

std::shared_ptr<FileNode> Child(const FileNode& folder, const std::string& name) {
  for (const auto& child : folder.children) {
    if (NamesEqual(child->name, name)) return child;
  }
  return nullptr;
}

// Where a path leads: its folder, and the entry named by the last part (null
// when absent). error is set when the folder itself cannot be reached.
struct Lookup {
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<FileNode> folder;
  std::shared_ptr<FileNode> node;
  std::string leaf;  // empty for a drive root
  bool root = false;
};

Lookup Find(const ParsedPath& p) {
  Lookup l;
  if (!p.valid) {
    l.error = ERROR_PATH_NOT_FOUND;
    return l;
  }
  auto drive = S().drives.find(p.drive);
  if (drive == S().drives.end()) {
    l.error = ERROR_PATH_NOT_FOUND;
    return l;
  }
  std::shared_ptr<FileNode> folder = drive->second;
  if (p.parts.empty()) {
    l.root = true;
    l.node = folder;
    return l;
  }
  for (size_t i = 0; i + 1 < p.parts.size(); ++i) {
    folder = Child(*folder, p.parts[i]);
    if (!folder || !folder->IsFolder()) {
      l.error = ERROR_PATH_NOT_FOUND;
      return l;
    }
  }
  l.folder = folder;
  l.leaf = p.parts.back();
  l.node = Child(*folder, l.leaf);
  return l;
}

Lookup Find(const char* path) { return Find(Parse(path)); }

// Creates missing folders along the way; returns the folder that holds the
// last part, or null when the path has no last part.
std::shared_ptr<FileNode> MakeParents(const ParsedPath& p) {
  auto& drive = S().drives[p.drive];
  if (!drive) {
    drive = std::make_shared<FileNode>();
    drive->attributes = FILE_ATTRIBUTE_DIRECTORY;
  }
  std::shared_ptr<FileNode> folder = drive;
  for (size_t i = 0; i + 1 < p.parts.size(); ++i) {
    auto next = Child(*folder, p.parts[i]);
    if (!next) {
      next = std::make_shared<FileNode>();
      next->name = p.parts[i];
      next->attributes = FILE_ATTRIBUTE_DIRECTORY;
      folder->children.push_back(next);
    }
    folder = next;
  }
  return folder;
}

bool Reads(DWORD access) { return (access & (GENERIC_READ | kGenericAll)) != 0; }
bool Writes(DWORD access) { return (access & (GENERIC_WRITE | kGenericAll)) != 0; }
bool Deletes(DWORD access) { return (access & kDeleteAccess) != 0; }

// Windows checks every new open against every existing one in both
// directions; an open with no data access takes part in neither.
bool Conflicts(DWORD access, DWORD share, const FileOpen& other) {
  bool dataAccess = Reads(access) || Writes(access) || Deletes(access);
  bool otherDataAccess = Reads(other.access) || Writes(other.access) || Deletes(other.access);
  if (!dataAccess || !otherDataAccess) return false;
  if (Reads(access) && !(other.share & FILE_SHARE_READ)) return true;
  if (Writes(access) && !(other.share & FILE_SHARE_WRITE)) return true;
  if (Deletes(access) && !(other.share & FILE_SHARE_DELETE)) return true;
  if (Reads(other.access) && !(share & FILE_SHARE_READ)) return true;
  if (Writes(other.access) && !(share & FILE_SHARE_WRITE)) return true;
  if (Deletes(other.access) && !(share & FILE_SHARE_DELETE)) return true;
  return false;
}

bool SharingAllows(const std::shared_ptr<FileNode>& node, DWORD access, DWORD share) {
  for (const auto& [handle, open] : S().fileHandles) {
    if (open.node == node && Conflicts(access, share, open)) return false;
  }
  for (const auto& [id, open] : S().foreignOpens) {
    if (open.node == node && Conflicts(access, share, open)) return false;
  }
  return true;
}

// The checks an open of an existing entry passes on Windows, in order.
DWORD CheckOpen(const std::shared_ptr<FileNode>& node, DWORD access, DWORD share) {
  if (node->IsFolder()) return ERROR_ACCESS_DENIED;
  if ((node->attributes & FILE_ATTRIBUTE_READONLY) && Writes(access)) return ERROR_ACCESS_DENIED;
  if (!SharingAllows(node, access, share)) return ERROR_SHARING_VIOLATION;
  return ERROR_SUCCESS;
}

// Windows neither deletes nor replaces a read-only file, nor one that an open
// handle does not share for deletion.
DWORD CheckRemovable(const std::shared_ptr<FileNode>& node) {
  if (node->IsFolder() || (node->attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  if (!SharingAllows(node, kDeleteAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return ERROR_SHARING_VIOLATION;
  }
  return ERROR_SUCCESS;
}

void Unlink(FileNode& folder, const std::shared_ptr<FileNode>& node) {
  auto& siblings = folder.children;
  for (auto it = siblings.begin(); it != siblings.end(); ++it) {
    if (*it == node) {
      siblings.erase(it);
      return;
    }
  }
}

std::shared_ptr<FileNode> NewFile(const std::shared_ptr<FileNode>& folder, const std::string& name, DWORD attributes) {
  auto node = std::make_shared<FileNode>();
  node->name = name;
  node->attributes = attributes;
  folder->children.push_back(node);
  return node;
}

void Fill(const FindEntry& entry, LPWIN32_FIND_DATAA data) {
  std::memset(data, 0, sizeof(*data));
  data->dwFileAttributes = entry.attributes;
  data->nFileSizeLow = entry.size;
  std::strncpy(data->cFileName, entry.name.c_str(), MAX_PATH - 1);
}

FindEntry EntryOf(const FileNode& node) {
  return FindEntry{node.name, node.attributes, static_cast<DWORD>(node.content.size())};
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

bool Matches(const std::vector<std::string>& pat, size_t pi, const std::vector<std::string>& name, size_t ni) {
  while (pi < pat.size()) {
    if (pat[pi] == "*") {
      for (size_t k = ni; k <= name.size(); ++k) {
        if (Matches(pat, pi + 1, name, k)) return true;
      }
      return false;
    }
    if (ni >= name.size()) return false;
    if (pat[pi] != "?" && !NamesEqual(pat[pi], name[ni])) return false;
    ++pi;
    ++ni;
  }
  return ni == name.size();
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;  // DOS: "*.*" also takes names without a dot
  return Matches(Characters(pattern), 0, Characters(name), 0);
}

}  // namespace
}  // namespace internal

using namespace internal;

void AddFile(const std::string& path, const std::string& content, DWORD attributes) {
  ParsedPath p = Parse(path.c_str());
  if (!p.valid || p.parts.empty()) return;
  auto folder = MakeParents(p);
  auto node = Child(*folder, p.parts.back());
  if (!node) node = NewFile(folder, p.parts.back(), 0);
  node->children.clear();
  node->content = content;
  node->attributes = (attributes & ~FILE_ATTRIBUTE_DIRECTORY);
  if (node->attributes == 0) node->attributes = FILE_ATTRIBUTE_NORMAL;
}

void AddFolder(const std::string& path, DWORD attributes) {
  ParsedPath p = Parse(path.c_str());
  if (!p.valid) return;
  if (p.parts.empty()) {
    MakeParents(p);
    return;
  }
  auto folder = MakeParents(p);
  auto node = Child(*folder, p.parts.back());
  if (!node) node = NewFile(folder, p.parts.back(), 0);
  node->content.clear();
  node->attributes = attributes | FILE_ATTRIBUTE_DIRECTORY;
}

void RemoveFile(const std::string& path) {
  Lookup l = Find(path.c_str());
  if (!l.node || l.root) return;
  Unlink(*l.folder, l.node);
}

DWORD FileAttributes(const std::string& path) {
  Lookup l = Find(path.c_str());
  return l.node ? l.node->attributes : INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string& path) { return Find(path.c_str()).node != nullptr; }

std::string FileContent(const std::string& path) {
  Lookup l = Find(path.c_str());
  return l.node ? l.node->content : std::string();
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  Lookup l = Find(path.c_str());
  if (l.node && l.node->IsFolder()) {
    for (const auto& child : l.node->children) names.push_back(child->name);
  }
  return names;
}

int HoldForeignOpen(const std::string& path, DWORD access, DWORD shareMode) {
  Lookup l = Find(path.c_str());
  if (!l.node) return -1;
  if (!l.node->IsFolder() && CheckOpen(l.node, access, shareMode) != ERROR_SUCCESS) return -1;
  int id = S().nextHoldId++;
  S().foreignOpens[id] = FileOpen{l.node, access, shareMode};
  return id;
}

void ReleaseForeignOpen(int holdId) { S().foreignOpens.erase(holdId); }

int OpenHandleCount() { return static_cast<int>(S().fileHandles.size() + S().searches.size()); }

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  FAKE_CALL(lpFileName) return INVALID_HANDLE_VALUE;
  ParsedPath p = Parse(lpFileName);
  Lookup l = Find(p);
  if (l.error != ERROR_SUCCESS) {
    SetError(l.error);
    return INVALID_HANDLE_VALUE;
  }
  FindSearch search;
  if (l.root || p.trailingSeparator) {
    // Windows finds nothing for a bare root or a name ending in a separator.
  } else if (HasWildcard(l.leaf)) {
    bool driveRoot = p.parts.size() == 1;
    if (!driveRoot) {
      for (const char* dot : {".", ".."}) {
        if (WildcardMatch(l.leaf, dot)) search.entries.push_back(FindEntry{dot, FILE_ATTRIBUTE_DIRECTORY, 0});
      }
    }
    for (const auto& child : l.folder->children) {
      if (WildcardMatch(l.leaf, child->name)) search.entries.push_back(EntryOf(*child));
    }
  } else if (l.node) {
    search.entries.push_back(EntryOf(*l.node));
  }
  if (search.entries.empty()) {
    SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  Fill(search.entries[0], lpFindFileData);
  search.next = 1;
  HANDLE h = NewHandle<HANDLE>();
  S().searches[h] = std::move(search);
  return h;
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  FAKE_CALL(hFindFile) return FALSE;
  auto it = S().searches.find(hFindFile);
  if (it == S().searches.end()) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FindSearch& search = it->second;
  if (search.next >= search.entries.size()) {
    SetError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Fill(search.entries[search.next++], lpFindFileData);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  FAKE_CALL(hFindFile) return FALSE;
  if (S().searches.erase(hFindFile) == 0) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
  FAKE_CALL(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes) {
    return INVALID_HANDLE_VALUE;
  }
  Lookup l = Find(lpFileName);
  if (l.error != ERROR_SUCCESS) {
    SetError(l.error);
    return INVALID_HANDLE_VALUE;
  }
  if (l.root) {
    SetError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  DWORD newAttributes = (dwFlagsAndAttributes & kCreatableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
  std::shared_ptr<FileNode> node = l.node;
  DWORD successError = ERROR_SUCCESS;
  switch (dwCreationDisposition) {
    case CREATE_NEW:
      if (node) {
        SetError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
      }
      break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      if (node) successError = ERROR_ALREADY_EXISTS;
      break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING:
      if (!node) {
        SetError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      if (dwCreationDisposition == TRUNCATE_EXISTING && !Writes(dwDesiredAccess)) {
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      break;
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if (node) {
    DWORD error = CheckOpen(node, dwDesiredAccess, dwShareMode);
    if (error == ERROR_SUCCESS && dwCreationDisposition == CREATE_ALWAYS &&
        (node->attributes & FILE_ATTRIBUTE_READONLY)) {
      error = ERROR_ACCESS_DENIED;
    }
    if (error != ERROR_SUCCESS) {
      SetError(error);
      return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING) {
      node->content.clear();
    }
    if (dwCreationDisposition == CREATE_ALWAYS) node->attributes = newAttributes;
  } else {
    node = NewFile(l.folder, l.leaf, newAttributes);
  }
  HANDLE h = NewHandle<HANDLE>();
  S().fileHandles[h] = FileOpen{node, dwDesiredAccess, dwShareMode};
  SetError(successError);
  return h;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  FAKE_CALL(hObject) return FALSE;
  // A search handle is not a kernel handle: closing it here is a caller bug.
  if (S().fileHandles.erase(hObject) == 0) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

namespace {

// Why Windows would refuse this copy; ERROR_SUCCESS when it may go ahead.
DWORD CheckCopy(const Lookup& src, const Lookup& dst, BOOL bFailIfExists) {
  DWORD error = src.error;
  if (error == ERROR_SUCCESS && !src.node) error = ERROR_FILE_NOT_FOUND;
  // The source is read with others allowed to read it too.
  if (error == ERROR_SUCCESS) error = CheckOpen(src.node, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
  if (error != ERROR_SUCCESS) return error;
  error = dst.error;
  if (error == ERROR_SUCCESS && dst.root) error = ERROR_ACCESS_DENIED;
  if (error == ERROR_SUCCESS && dst.node) {
    if (bFailIfExists) {
      error = ERROR_FILE_EXISTS;
    } else if (dst.node == src.node) {
      error = ERROR_SHARING_VIOLATION;
    } else if (dst.node->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
      // Windows replaces a hidden or system file only with one that carries
      // the same attributes; the double refuses it outright.
      error = ERROR_ACCESS_DENIED;
    } else {
      // The destination is written exclusively.
      error = CheckOpen(dst.node, GENERIC_WRITE, 0);
    }
  }
  return error;
}

std::shared_ptr<FileNode> CopyTarget(const Lookup& dst) {
  return dst.node ? dst.node : NewFile(dst.folder, dst.leaf, 0);
}

// A copy the power cut short: the destination holds the first half.
void TearCopy(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  Lookup src = Find(lpExistingFileName);
  Lookup dst = Find(lpNewFileName);
  if (CheckCopy(src, dst, bFailIfExists) != ERROR_SUCCESS) return;
  CopyTarget(dst)->content = src.node->content.substr(0, src.node->content.size() / 2);
}

}  // namespace

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  ServingScope serving;
  try {
    if (Enter(__func__)(lpExistingFileName, lpNewFileName, bFailIfExists)) return FALSE;
  } catch (const PowerCut&) {
    TearCopy(lpExistingFileName, lpNewFileName, bFailIfExists);
    throw;
  }
  Lookup src = Find(lpExistingFileName);
  Lookup dst = Find(lpNewFileName);
  DWORD error = CheckCopy(src, dst, bFailIfExists);
  if (error != ERROR_SUCCESS) {
    SetError(error);
    return FALSE;
  }
  std::shared_ptr<FileNode> node = CopyTarget(dst);
  node->content = src.node->content;
  node->attributes = (src.node->attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE;
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  FAKE_CALL(lpFileName) return INVALID_FILE_ATTRIBUTES;
  Lookup l = Find(lpFileName);
  if (l.error != ERROR_SUCCESS || !l.node) {
    SetError(l.error != ERROR_SUCCESS ? l.error : ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return l.node->attributes;
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  FAKE_CALL(lpFileName, dwFileAttributes) return FALSE;
  Lookup l = Find(lpFileName);
  if (l.error != ERROR_SUCCESS || !l.node || l.root) {
    SetError(l.error != ERROR_SUCCESS ? l.error : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const DWORD settable = kCreatableAttributes | FILE_ATTRIBUTE_ARCHIVE;
  DWORD attributes = (l.node->attributes & FILE_ATTRIBUTE_DIRECTORY) | (dwFileAttributes & settable);
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  l.node->attributes = attributes;
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  FAKE_CALL(lpFileName) return FALSE;
  Lookup l = Find(lpFileName);
  DWORD error = l.error;
  if (error == ERROR_SUCCESS && !l.node) error = ERROR_FILE_NOT_FOUND;
  if (error == ERROR_SUCCESS && l.root) error = ERROR_ACCESS_DENIED;
  if (error == ERROR_SUCCESS) error = CheckRemovable(l.node);
  if (error != ERROR_SUCCESS) {
    SetError(error);
    return FALSE;
  }
  Unlink(*l.folder, l.node);
  return TRUE;
}

// Files only. The moved file takes the replaced one's place in listings.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  FAKE_CALL(lpExistingFileName, lpNewFileName, dwFlags) return FALSE;
  ParsedPath srcPath = Parse(lpExistingFileName);
  ParsedPath dstPath = Parse(lpNewFileName);
  Lookup src = Find(srcPath);
  Lookup dst = Find(dstPath);
  DWORD error = src.error;
  if (error == ERROR_SUCCESS && !src.node) error = ERROR_FILE_NOT_FOUND;
  if (error == ERROR_SUCCESS && (src.root || src.node->IsFolder())) error = ERROR_ACCESS_DENIED;
  if (error == ERROR_SUCCESS && !SharingAllows(src.node, kDeleteAccess, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
    error = ERROR_SHARING_VIOLATION;
  }
  if (error == ERROR_SUCCESS) error = dst.error;
  if (error == ERROR_SUCCESS && dst.root) error = ERROR_ACCESS_DENIED;
  if (error == ERROR_SUCCESS && srcPath.drive != dstPath.drive && !(dwFlags & MOVEFILE_COPY_ALLOWED)) {
    error = ERROR_NOT_SAME_DEVICE;
  }
  if (error == ERROR_SUCCESS && dst.node && dst.node != src.node) {
    error = (dwFlags & MOVEFILE_REPLACE_EXISTING) ? CheckRemovable(dst.node) : ERROR_ALREADY_EXISTS;
  }
  if (error != ERROR_SUCCESS) {
    SetError(error);
    return FALSE;
  }
  if (dst.node == src.node) {
    src.node->name = dst.leaf;
    return TRUE;
  }
  Unlink(*src.folder, src.node);
  src.node->name = dst.leaf;
  auto& siblings = dst.folder->children;
  for (auto& child : siblings) {
    if (child == dst.node) {
      child = src.node;
      return TRUE;
    }
  }
  siblings.push_back(src.node);
  return TRUE;
}

