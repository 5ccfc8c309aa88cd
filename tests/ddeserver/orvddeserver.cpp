// A small DDE application for the golden scripts of tests/scripts/dde.
//
//   orvddeserver.exe [SERVICE [SECONDS]]     (service "OrvTest", 60 s)
//
// It offers topic "Data" (no other), keeps poked items as text, answers
// requests for them, and takes these commands by execute:
//   set NAME=TEXT   stores TEXT under NAME          slow MS   the next request waits MS first
//   refuse          is refused (not processed)      quit      ends the program
// Any other command is stored as item "last". A request for an item nobody
// stored is refused. It ends by itself after SECONDS, so a failed test
// cannot leave it running.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

namespace {

DWORD g_instance = 0;
std::map<std::wstring, std::string> g_items;
DWORD g_slowMs = 0;
bool g_quit = false;

std::wstring lower(std::wstring s) {
  for (auto& ch : s) ch = static_cast<wchar_t>(towlower(ch));
  return s;
}

std::wstring hsz_text(HSZ h) {
  wchar_t buf[256] = {};
  DdeQueryStringW(g_instance, h, buf, 256, CP_WINUNICODE);
  return buf;
}

std::string block_bytes(HDDEDATA data) {
  const DWORD size = DdeGetData(data, nullptr, 0, 0);
  std::string bytes(size, '\0');
  if (size) DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
  return bytes;
}

std::string narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

HDDEDATA result(ULONG_PTR v) { return reinterpret_cast<HDDEDATA>(v); }

HDDEDATA execute(HDDEDATA data) {
  std::string bytes = block_bytes(data);
  std::wstring cmd(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  cmd = cmd.substr(0, cmd.find(L'\0'));
  if (cmd == L"quit") {
    g_quit = true;
  } else if (cmd == L"refuse") {
    return result(DDE_FNOTPROCESSED);
  } else if (cmd.rfind(L"slow ", 0) == 0) {
    g_slowMs = static_cast<DWORD>(std::wcstoul(cmd.c_str() + 5, nullptr, 10));
  } else if (cmd.rfind(L"set ", 0) == 0 && cmd.find(L'=') != std::wstring::npos) {
    const std::size_t eq = cmd.find(L'=');
    g_items[lower(cmd.substr(4, eq - 4))] = narrow(cmd.substr(eq + 1));
  } else {
    g_items[L"last"] = narrow(cmd);
  }
  return result(DDE_FACK);
}

HDDEDATA CALLBACK callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT: return result(lower(hsz_text(topic)) == L"data");
    case XTYP_EXECUTE: return execute(data);
    case XTYP_POKE: {
      std::string bytes = block_bytes(data);
      
      if (format == CF_UNICODETEXT) {
        std::wstring w(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        bytes = narrow(w.substr(0, w.find(L'\0')));
      } else if (format == CF_TEXT) {
        bytes = bytes.substr(0, bytes.find('\0'));
      } else {
        return result(DDE_FNOTPROCESSED);
      }
      g_items[lower(hsz_text(item))] = bytes;
      return result(DDE_FACK);
    }
    case XTYP_REQUEST: {
      if (g_slowMs) {
        Sleep(g_slowMs);   // holds the answer back past the client's time-out
        g_slowMs = 0;
      }
      auto it = g_items.find(lower(hsz_text(item)));
      
      if (format != CF_TEXT || it == g_items.end()) return nullptr;
      std::string block = it->second + '\0';
      return DdeCreateDataHandle(g_instance, reinterpret_cast<LPBYTE>(block.data()), static_cast<DWORD>(block.size()),
                                 0, item, CF_TEXT, 0);
    }
    default: return nullptr;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* service = argc > 1 ? argv[1] : L"OrvTest";
  const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 60;
  if (DdeInitializeW(&g_instance, callback, APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_SKIP_ALLNOTIFICATIONS, 0) !=
      DMLERR_NO_ERROR)
    return 2;
  HSZ name = DdeCreateStringHandleW(g_instance, service, CP_WINUNICODE);
  if (!DdeNameService(g_instance, name, nullptr, DNS_REGISTER)) return 3;
  const DWORD end = GetTickCount() + seconds * 1000;
  while (!g_quit && static_cast<LONG>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Let the acknowledgement of "quit" go out before the windows go.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  DdeNameService(g_instance, name, nullptr, DNS_UNREGISTER);
  DdeFreeStringHandle(g_instance, name);
  DdeUninitialize(g_instance);
  return 0;
}
