// The enumeration callbacks, exported by name. Each receives a pointer to an
// EnumState as its parameter and returns nonzero to go on.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "engine/context.h"

namespace orv::winauto {

struct EnumState {
  explicit EnumState(Context& ctx) : c(ctx) {}
  Context& c;
  std::u16string pattern;       // title pattern of the search
  HWND wanted = nullptr;        // a handle looked for among descendants
  HWND found = nullptr;
  // List builders.
  std::u16string list;
  char16_t delimiter = u'\t';
  bool titleAndId = false;
  bool multiple = true, hidden = true;   // WinItemizeEx
  int returnType = 0;
  DWORD processId = 0;                   // WinItemProcId
  int flags = 0;
  std::vector<std::u16string> spared;    // WinCloseNot
  int closed = 0;
};

// Appends one entry to the list (title, id or both, as the state asks).
void add_list_entry(EnumState& s, HWND window, const std::u16string& title, int form);
enum ListForm { kTitles = 0, kIds = 1, kTitleAndId = 2 };

}  // namespace orv::winauto

extern "C" {
__declspec(dllexport) BOOL CALLBACK WinEnumFuncx(HWND window, LPARAM state);
__declspec(dllexport) BOOL CALLBACK WinEnumDaChild(HWND window, LPARAM state);
__declspec(dllexport) BOOL CALLBACK WinEnumItem(HWND window, LPARAM state);
__declspec(dllexport) BOOL CALLBACK WinEnumItemAndId(HWND window, LPARAM state);
__declspec(dllexport) BOOL CALLBACK WinEnumFromProcId(HWND window, LPARAM state);
__declspec(dllexport) BOOL CALLBACK WinEnumClose(HWND window, LPARAM state);
__declspec(dllexport) BOOL CALLBACK WinEnumXXXIcon(HWND window, LPARAM state);
}
