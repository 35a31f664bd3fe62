// libFuzzer target over the path comparison and the path split. Input: one
// byte choosing the platform version, then two paths separated by a NUL.
// Every output buffer is a heap block of exactly its stated capacity, so
// AddressSanitizer sees any overrun; broken invariants trap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzPlatform.h"
#include "framework/AfxMbPath.h"
#include "winhost/PathCompare.h"

namespace {

const size_t kPathBuffer = MAX_PATH;

struct Platform {
  DWORD major, minor, id;
};
// Folding on (NT 5.1, NT 4.0) and off (NT 3.51, Windows 98).
const Platform kPlatforms[] = {{5, 1, VER_PLATFORM_WIN32_NT},
                               {4, 0, VER_PLATFORM_WIN32_NT},
                               {3, 51, VER_PLATFORM_WIN32_NT},
                               {4, 10, VER_PLATFORM_WIN32_WINDOWS}};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool IsLead(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

// Expected NormalizePath outcome: short enough and no lone lead byte at the end.
bool Normalizable(const std::string& path) {
  if (path.size() >= kPathBuffer) return false;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsLead(static_cast<unsigned char>(path[i]))) {
      if (i + 1 == path.size()) return false;
      ++i;
    }
  }
  return true;
}

// A separator among the single-byte characters of s (trail bytes skipped).
bool HasSeparatorCharacter(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
      ++i;
    } else if (IsSeparator(s[i])) {
      return true;
    }
  }
  return false;
}

bool EndsInSeparatorCharacter(const std::string& s) {
  size_t last = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    last = i;
    if (IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
  }
  return !s.empty() && last == s.size() - 1 && IsSeparator(s[last]);
}

struct HeapBuffer {
  explicit HeapBuffer(size_t size) : p(static_cast<char*>(std::malloc(size))), n(size) { std::memset(p, 'Z', n); }
  ~HeapBuffer() { std::free(p); }
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  char* p;
  size_t n;
};

void CheckNormalize(const std::string& path) {
  HeapBuffer dest(kPathBuffer);
  int result = NormalizeHostPath(path.c_str(), dest.p);
  Check(result == (Normalizable(path) ? 1 : 0));
  if (result == 0) return;
  Check(std::strlen(dest.p) == path.size());

  HeapBuffer again(kPathBuffer);
  Check(NormalizeHostPath(dest.p, again.p) == 1);
  Check(std::strcmp(dest.p, again.p) == 0);
}

void CheckCompare(const std::string& a, const std::string& b) {
  int ab = CompareHostPaths(a.c_str(), b.c_str());
  Check(ab == -1 || ab == 0 || ab == 1);
  bool aUsable = Normalizable(a);
  bool bUsable = Normalizable(b);
  Check(CompareHostPaths(a.c_str(), a.c_str()) == (aUsable ? 0 : 1));
  // Lengths are checked before either path is normalized.
  if (a.size() >= kPathBuffer) {
    Check(ab == 1);
  } else if (b.size() >= kPathBuffer) {
    Check(ab == -1);
  } else if (!aUsable) {
    Check(ab == 1);
  } else if (!bUsable) {
    Check(ab == -1);
  } else {
    Check(CompareHostPaths(b.c_str(), a.c_str()) == -ab);
  }
}

void CheckSplit(const std::string& path) {
  HeapBuffer drive(AFX_MAX_DRIVE), dir(AFX_MAX_DIR), fname(AFX_MAX_FNAME), ext(AFX_MAX_EXT);
  AfxSplitPath(path.c_str(), drive.p, dir.p, fname.p, ext.p);
  std::string parts[] = {drive.p, dir.p, fname.p, ext.p};
  Check(!HasSeparatorCharacter(parts[2] + parts[3]));
  // Longer paths may cut a part short; shorter ones must split without loss.
  if (path.size() < AFX_MAX_DIR) {
    Check(parts[0] + parts[1] + parts[2] + parts[3] == path);
    if (!parts[1].empty()) Check(EndsInSeparatorCharacter(parts[1]));
  }

  // The file name as the store forms it may be null-split too.
  HeapBuffer onlyName(AFX_MAX_FNAME), onlyExt(AFX_MAX_EXT);
  AfxSplitPath(path.c_str(), nullptr, nullptr, onlyName.p, onlyExt.p);
  Check(parts[2] == onlyName.p && parts[3] == onlyExt.p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Platform& platform = kPlatforms[data[0] % (sizeof(kPlatforms) / sizeof(kPlatforms[0]))];
  FuzzSetVersion(platform.major, platform.minor, platform.id);

  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t nul = rest.find('\0');
  std::string a = rest.substr(0, nul);
  std::string b = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
  b = b.substr(0, b.find('\0'));

  CheckNormalize(a);
  CheckCompare(a, b);
  CheckSplit(a);
  return 0;
}
