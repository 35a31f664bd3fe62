// COptionDicStore: the program's only door to the host's per-user settings.
// It binds the host's common library HRNCMN10.DLL at construction and reaches
// every value through the library's four entry points; it never opens a
// registry key itself. It also keeps the two option-dictionary lists (the
// registered list and the enabled list) and matches their entries by path.
//
// Result codes: 0 success, -1 not ready (library or an entry point missing;
// nothing was called and outputs are untouched), other values as noted.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Afx.h"
#include "winhost/ScopedHandles.h"

// Selector of the list a list operation works on (bEnabledList).
enum DicListSelector { DICLIST_REGISTERED = 0, DICLIST_ENABLED = 1 };

struct CStoredList;

class COptionDicStore {
 public:
  // Entry points of the common library. Each takes 32-bit arguments and
  // removes them itself (stdcall), as the decorated names say.
  typedef int(__stdcall* PFN_GenerateUserDicRootPath)(char* pszBuffer, const char* pszKind, int nFlag);
  typedef int(__stdcall* PFN_GetRegValue)(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath,
                                          DWORD dwType, void* pData, DWORD* pcbData);
  typedef int(__stdcall* PFN_SetRegValue)(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath,
                                          DWORD dwType, const void* pData, DWORD cbData);
  typedef int(__stdcall* PFN_DeleteRegKeyData)(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, DWORD dwKind,
                                               const char* pszPath);

  // Finds the library outside the program's and the current folder, loads it
  // by full path and looks up its entry points; never fails visibly and
  // never throws. Running out of memory meanwhile leaves the store not ready
  // and is told by RanOutOfMemory.
  COptionDicStore();
  virtual ~COptionDicStore();  // frees the library
  COptionDicStore(const COptionDicStore&) = delete;
  COptionDicStore& operator=(const COptionDicStore&) = delete;

  // 1 when the library and all four entry points are present.
  int IsReady() const;
  // 1 when memory ran out while the library was bound.
  int RanOutOfMemory() const;

  // The user dictionary folder into pszBuffer (260 bytes). Non-zero on
  // success; 0 on failure and when not ready (buffer untouched).
  int GetUserDicRootPath(char* pszBuffer, const char* pszKind, int nFlag);

  // Values "OptionDic\<name>": the library's result passed through.
  int GetDword(const char* pszName, DWORD* pdwValue);
  int GetString(const char* pszName, char* pszBuffer, DWORD* pcbCapacity);
  int SetDword(const char* pszName, DWORD dwValue);
  int SetString(const char* pszName, const char* pszValue);
  int DeleteValue(const char* pszName);

  // The assistant dictionary (at most one path). The list is emptied first.
  // 0 (also when there is none), -1 not ready (list untouched), -2 failure.
  int ReadAssistantDics(CStringArray& list);

  // ---- Dictionary lists ----
  // Every reader passes over an entry the library cannot read, as over a
  // gap; only a rewrite, which could not write it back, stops at one.
  // Each operation's results; -1 is always "not ready".
  enum FindResult { kFindNotReady = -1, kNotListed = 0, kSameFileNameListed = 1, kPathListed = 2 };
  enum AddResult { kAddNotReady = -1, kAdded = 0, kAlreadyListed = 1, kListFull = 2, kAddFailed = 3 };
  enum RewriteResult {
    kRewriteNotReady = -1,
    kRewritten = 0,
    kRewriteCountTooLarge = 1,       // nothing changed
    kRewrittenAroundUnreadable = 2,  // entries that cannot be read, which may match, stay where they are
    kRewriteFailed = -2,
    kUnreadableInTheWay = -3,  // one would have to move: nothing changed
  };
  enum ReadResult { kReadNotReady = -1, kRead = 0, kReadCountTooLarge = 1, kReadFailed = -2 };

  // 2 an entry equals the path; 1 none does, but one has the same file
  // name; 0 neither (also when there is no count). Entries that cannot be
  // read are passed over; then, and when the count cannot be read, it sets
  // *pbUnsure (if given) to 1, since a missed entry may equal the path.
  FindResult FindInList(const char* pszPath, int bEnabledList, int* pbUnsure = nullptr);
  // 0 appended (a list without a count starts at entry 1); 1 already listed,
  // nothing written; 2 list full; 3 the count could not be read or a write
  // failed. An equal entry that cannot be read is not seen, so a failed
  // read may leave a duplicate.
  AddResult AddToList(const char* pszPath, int bEnabledList);
  // With pRemoved: name mode, every entry with the path's file name moves to
  // the end of *pRemoved. Without: path mode, entries equal to the path are
  // dropped. 0 done; 2 done, but entries that cannot be read (one of which
  // may match) stay where they are; 1 stored count above 65535, nothing
  // changed; -2 the count could not be read (nothing changed) or a write or
  // deletion failed; -3 an entry that cannot be read would have to move,
  // nothing changed. Positions before the first entry dropped stay as they
  // are.
  // Whatever fails, every kept entry stays listed and the count covers only
  // values that exist; a duplicate or the removed entry itself may stay
  // listed. Deleting an entry the library reports absent counts as done.
  RewriteResult RemoveFromList(const char* pszPath, int bEnabledList, CStringArray* pRemoved = nullptr);
  // Name mode that keeps the entries equal to the path, so that a namesake
  // elsewhere can leave without the path itself ever being unlisted. Writes
  // nothing when no entry moves. Results as RemoveFromList.
  RewriteResult RemoveNamesakes(const char* pszPath, int bEnabledList, CStringArray& removed);
  // True when a tidying rewrite (pruning, dropping strays, collapsing
  // duplicates) did what the readable entries allowed: 0, 2 or -3. What an
  // unreadable entry keeps in place waits for a later run.
  static bool TidiedAsFarAsReadable(RewriteResult result);
  // Drops every entry equal to an earlier one, keeping the first; results
  // and guarantees as RemoveFromList.
  RewriteResult RemoveDuplicates(int bEnabledList);
  // True when two entries of the list are equal paths.
  static bool HasDuplicates(const CStringArray& list);
  // 0 the readable entries in order, gaps and entries that cannot be read
  // skipped, empty when there is no count; 1 stored count above 65535, list
  // empty; -2 the count could not be read for another reason than its
  // absence, list empty.
  ReadResult ReadList(CStringArray& list, int bEnabledList);

  // ---- Path comparison ----
  // True when the two paths end in the same file name, in whatever folders.
  static bool SameFileName(const char* pszFirst, const char* pszSecond);
  // 0 equal after folding; 1 the first is 260 bytes or longer or cannot be
  // normalized; -1 the same of the second; else the sign of the multibyte
  // comparison. Not reentrant: it normalizes into shared static buffers.
  static int ComparePaths(const char* pszFirst, const char* pszSecond);
  // Folds a-z to capitals, and on NT 4.0 and later the full-width small
  // Latin letters too, into pszDest (at least 260 bytes). 1 done; 0 the
  // source is 260 bytes or longer or ends in a lone lead byte.
  static int NormalizePath(const char* pszSource, char* pszDest);

 private:
  // The library's calls on a full value path ("OptionDic\<name>").
  int CallGet(const char* pszPath, DWORD dwType, void* pData, DWORD* pcbData);
  int CallSetDword(const char* pszPath, DWORD dwValue);
  int CallSetString(const char* pszPath, const char* pszValue);
  int CallDelete(const char* pszPath);
  // RemoveFromList and RemoveNamesakes.
  RewriteResult RemoveEntries(const char* pszPath, int bEnabledList, CStringArray* pRemoved, bool bKeepPath);
  // Every position the count covers, read or not.
  ReadResult ReadStoredList(int bEnabledList, CStoredList& stored);
  // Writes the list without the entries marked in drop.
  RewriteResult Rewrite(int bEnabledList, const CStoredList& stored, const std::vector<bool>& drop);
  // A text of up to 259 bytes at the library's path pszValuePath (not only
  // below "OptionDic") into strValue, left untouched unless the read
  // succeeded. The library's result passed through.
  int GetPathValue(const char* pszValuePath, CString& strValue);
  void Bind();
  void Unbind();

  bool m_bOutOfMemory;
  CScopedLibrary m_hLibrary;
  PFN_GenerateUserDicRootPath m_pfnGenerateUserDicRootPath;
  PFN_GetRegValue m_pfnGetRegValue;
  PFN_SetRegValue m_pfnSetRegValue;
  PFN_DeleteRegKeyData m_pfnDeleteRegKeyData;
};
