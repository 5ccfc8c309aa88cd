// DDE conversations through the system's DDE management library: a client
// instance per context, started on first use, conversations in a table of
// script handles, every transaction bounded by DDETimeOut. The library's own
// wait inside a transaction keeps the thread's messages moving.
//
// `?ddeserver(service, topic, timeout)` is the server side for hosts: it
// offers the service and topic for up to `timeout` ms and answers the first
// command an application executes on it ("" when none came). Pokes during
// that time are kept and answered to requests for the same item.
#include <windows.h>
#include <ddeml.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "builtins/dde/dde_rules.h"
#include "builtins/families.h"
#include "builtins/files/file_args.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/platform.h"
#include "winauto/call_support.h"

namespace orv {
namespace {

using dde::ConversationHandles;

std::string dde_block_bytes(HDDEDATA data) {
  const DWORD size = DdeGetData(data, nullptr, 0, 0);
  std::string bytes(size, '\0');
  if (size) DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
  return bytes;
}

HDDEDATA CALLBACK dde_client_callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Item names a script used stay registered with the library while the
// client lives: the answer to a request still names its item after the call
// that asked for it has ended, and a name freed too soon is lost to the next.
constexpr std::size_t kDdeKeptNames = 256;

struct DdeClient {
  DWORD instance = 0;
  std::array<HCONV, ConversationHandles::kSlots> conversations{};
  std::int32_t timeoutMs = dde::kDefaultTimeoutMs;
  std::map<std::u16string, HSZ> names;
  DdeClient() = default;
  DdeClient(const DdeClient&) = delete;
  DdeClient& operator=(const DdeClient&) = delete;
  ~DdeClient() {
    for (HCONV conv : conversations)
      if (conv) DdeDisconnect(conv);
    if (instance) DdeUninitialize(instance);   // frees the names too
  }
  HSZ name(const std::u16string& text) {
    auto it = names.find(text);
    if (it != names.end()) return it->second;
    if (names.size() >= kDdeKeptNames) {
      for (auto& kept : names) DdeFreeStringHandle(instance, kept.second);
      names.clear();
    }
    HSZ h = DdeCreateStringHandleW(instance, reinterpret_cast<LPCWSTR>(text.c_str()), CP_WINUNICODE);
    if (h) names.emplace(text, h);
    return h;
  }
};

DdeClient& dde_client(Context& c) {
  if (!c.ddeState) c.ddeState = std::make_shared<DdeClient>();
  return *static_cast<DdeClient*>(c.ddeState.get());
}

// The client instance, started on first use; false with the error set.
bool dde_started(Context& c, DdeClient& client) {
  if (client.instance) return true;
  const UINT r = DdeInitializeW(&client.instance, dde_client_callback, APPCMD_CLIENTONLY, 0);
  if (r != DMLERR_NO_ERROR) {
    client.instance = 0;
    char text[48];
    std::snprintf(text, sizeof text, "DdeInitialize: 0x%04X", r);
    return fail(c, errs::kDdeUnavailable, text);
  }
  return true;
}

HCONV conversation_arg(Call& call, int k) {
  const int slot = ConversationHandles::slot(strings::arg_int(call, k));
  HCONV conv = nullptr;
  if (slot >= 0 && call.c.ddeState) conv = dde_client(call.c).conversations[static_cast<std::size_t>(slot)];
  if (!conv) fail(call.c, errs::kNotAConversation);
  return conv;
}

bool transaction_failed(Context& c, DWORD instance) {
  const UINT e = DdeGetLastError(instance);
  char text[48];
  std::snprintf(text, sizeof text, "DdeClientTransaction: 0x%04X", e);
  const bool timedOut = e == DMLERR_ADVACKTIMEOUT || e == DMLERR_DATAACKTIMEOUT || e == DMLERR_EXECACKTIMEOUT ||
                        e == DMLERR_POKEACKTIMEOUT || e == DMLERR_UNADVACKTIMEOUT;
  return fail(c, timedOut ? errs::kDdeTimedOut : errs::kDdeRefused, text);
}

// Runs one transaction (the library waits, letting messages through, up to
// the time-out); a request's data block goes to `out`.
bool dde_transact(Call& call, HCONV conv, const std::string& block, HSZ item, UINT format, UINT type,
                  std::string* out) {
  DdeClient& client = dde_client(call.c);
  DWORD result = 0;
  HDDEDATA h = DdeClientTransaction(block.empty() ? nullptr : reinterpret_cast<LPBYTE>(const_cast<char*>(block.data())),
                                    static_cast<DWORD>(block.size()), conv, item, format, type,
                                    static_cast<DWORD>(client.timeoutMs), &result);
  if (!h) return transaction_failed(call.c, client.instance);
  if (out) {
    *out = dde_block_bytes(h);
    DdeFreeDataHandle(h);
  }
  return true;
}

// DDEInitiate(app, topic): a conversation handle, or 0 when no application
// answers for that service and topic.
void dde_initiate(Call& call) {
  Context& c = call.c;
  DdeClient& client = dde_client(c);
  if (!dde_started(c, client)) return;
  int slot = -1;
  for (std::size_t i = 0; i < client.conversations.size() && slot < 0; ++i)
    if (!client.conversations[i]) slot = static_cast<int>(i);
  if (slot < 0) { fail(c, errs::kTooManyConversations); return; }
  HSZ service = client.name(files::wide_arg(call, 1));
  HSZ topic = client.name(files::wide_arg(call, 2));
  HCONV conv = DdeConnect(client.instance, service, topic, nullptr);
  if (!conv) return;
  client.conversations[static_cast<std::size_t>(slot)] = conv;
  make_int(call.result, ConversationHandles::handle(slot));
}

void dde_execute(Call& call) {
  HCONV conv = conversation_arg(call, 1);
  if (!conv) return;
  if (!dde_transact(call, conv, dde::block_of_text(std::u16string_view(files::wide_arg(call, 2))), nullptr, 0,
                    XTYP_EXECUTE, nullptr))
    return;
  make_int(call.result, 1);
}

// Text travels as CF_TEXT, or as CF_UNICODETEXT from a UTF-16 call.
void dde_poke(Call& call) {
  HCONV conv = conversation_arg(call, 1);
  if (!conv) return;
  HSZ item = dde_client(call.c).name(files::wide_arg(call, 2));
  const std::string block = call.wide ? dde::block_of_text(strings::arg_text<char16_t>(call, 3))
                                      : dde::block_of_text(strings::arg_text<char>(call, 3));
  if (!dde_transact(call, conv, block, item, call.wide ? CF_UNICODETEXT : CF_TEXT, XTYP_POKE, nullptr)) return;
  make_int(call.result, 1);
}

void dde_request(Call& call) {
  HCONV conv = conversation_arg(call, 1);
  if (!conv) return;
  HSZ item = dde_client(call.c).name(files::wide_arg(call, 2));
  std::string bytes;
  if (!dde_transact(call, conv, {}, item, CF_TEXT, XTYP_REQUEST, &bytes)) return;
  const std::string text = dde::text_of_block(bytes);
  if (!call.wide) {
    strings::set_result(call, std::string_view(text));
    return;
  }
  std::u16string wide;
  platform::ansi_to_utf16(text, wide);
  strings::set_result(call, std::u16string_view(wide));
}

void dde_terminate(Call& call) {
  if (!conversation_arg(call, 1)) return;
  auto& conv = dde_client(call.c).conversations[static_cast<std::size_t>(ConversationHandles::slot(strings::arg_int(call, 1)))];
  DdeDisconnect(conv);
  conv = nullptr;
  make_int(call.result, 1);
}

void dde_timeout(Call& call) {
  const std::int32_t ms = strings::arg_int(call, 1);
  if (ms < 0) { fail(call.c, errs::kDdeBadTimeout); return; }
  DdeClient& client = dde_client(call.c);
  make_int(call.result, client.timeoutMs);
  client.timeoutMs = ms;
}

// ---- The server for hosts ----

// What one ?ddeserver call offers and has received. The library's callback
// carries no pointer of ours, so the call in progress is found through this
// thread's current offer (only one can run on a thread at a time).
struct DdeOffer {
  DWORD instance = 0;
  std::u16string topic;
  std::map<std::u16string, std::string> items;   // poked blocks, by lower-cased item name
  std::u16string command;
  bool executed = false;
};
thread_local DdeOffer* t_offer = nullptr;

std::u16string dde_hsz_text(DWORD instance, HSZ h) {
  const DWORD n = DdeQueryStringW(instance, h, nullptr, 0, CP_WINUNICODE);
  std::u16string s(n, u'\0');
  if (n) DdeQueryStringW(instance, h, reinterpret_cast<LPWSTR>(s.data()), n + 1, CP_WINUNICODE);
  return s;
}

std::u16string dde_lower(std::u16string s) {
  for (auto& ch : s)
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch + 32);
  return s;
}

HDDEDATA CALLBACK dde_server_callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA data, ULONG_PTR,
                                      ULONG_PTR) {
  DdeOffer* offer = t_offer;
  if (!offer) return nullptr;
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(
          static_cast<ULONG_PTR>(dde_lower(dde_hsz_text(offer->instance, topic)) == dde_lower(offer->topic)));
    case XTYP_EXECUTE:
      if (offer->executed) return reinterpret_cast<HDDEDATA>(DDE_FBUSY);
      offer->command = dde::text_of_wide_block(dde_block_bytes(data));
      offer->executed = true;
      return reinterpret_cast<HDDEDATA>(DDE_FACK);
    case XTYP_POKE: {
      std::string bytes = dde_block_bytes(data);
      if (format == CF_UNICODETEXT) {
        std::string narrow;
        platform::utf16_to_ansi(dde::text_of_wide_block(bytes), narrow);
        bytes = dde::block_of_text(std::string_view(narrow));
      } else if (format != CF_TEXT) {
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
      }
      offer->items[dde_lower(dde_hsz_text(offer->instance, item))] = bytes;
      return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    case XTYP_REQUEST: {
      if (format != CF_TEXT) return nullptr;
      auto it = offer->items.find(dde_lower(dde_hsz_text(offer->instance, item)));
      if (it == offer->items.end()) return nullptr;
      return DdeCreateDataHandle(offer->instance, reinterpret_cast<LPBYTE>(it->second.data()),
                                 static_cast<DWORD>(it->second.size()), 0, item, CF_TEXT, 0);
    }
    default: return nullptr;
  }
}

// Registers the service for the life of one call.
class DdeServiceOffer {
 public:
  DdeServiceOffer(Context& c, DdeOffer& offer, const std::u16string& service) : offer_(offer) {
    if (t_offer) { fail(c, errs::kDdeServiceFailed, "a service is already offered"); return; }
    const UINT r = DdeInitializeW(&offer.instance, dde_server_callback,
                                  APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_SKIP_ALLNOTIFICATIONS, 0);
    if (r != DMLERR_NO_ERROR) {
      offer.instance = 0;
      fail(c, errs::kDdeUnavailable);
      return;
    }
    t_offer = &offer;
    name_ = DdeCreateStringHandleW(offer.instance, reinterpret_cast<LPCWSTR>(service.c_str()), CP_WINUNICODE);
    if (!name_ || !DdeNameService(offer.instance, name_, nullptr, DNS_REGISTER)) {
      fail(c, errs::kDdeServiceFailed);
      return;
    }
    registered_ = true;
  }
  ~DdeServiceOffer() {
    if (!offer_.instance) return;
    if (registered_) DdeNameService(offer_.instance, name_, nullptr, DNS_UNREGISTER);
    if (name_) DdeFreeStringHandle(offer_.instance, name_);
    DdeUninitialize(offer_.instance);
    if (t_offer == &offer_) t_offer = nullptr;
  }
  DdeServiceOffer(const DdeServiceOffer&) = delete;
  DdeServiceOffer& operator=(const DdeServiceOffer&) = delete;
  bool ready() const { return registered_; }

 private:
  DdeOffer& offer_;
  HSZ name_ = nullptr;
  bool registered_ = false;
};

void dde_server(Call& call) {
  Context& c = call.c;
  DdeOffer offer;
  offer.topic = files::wide_arg(call, 2);
  DdeServiceOffer service(c, offer, files::wide_arg(call, 1));
  if (!service.ready()) return;
  const std::uint32_t timeout = pipes::timeout_ms(strings::arg_int(call, 3));
  const DWORD start = GetTickCount();
  // The library's messages arrive through the pump of the wait.
  while (!offer.executed) {
    const DWORD spent = GetTickCount() - start;
    if (timeout != pipes::kForever && spent >= timeout) break;
    if (!winauto::pumping_wait(c, 10)) return;
  }
  // Let the acknowledgement of the command reach the application.
  winauto::stop_requested(c);
  files::set_text(call, std::u16string_view(offer.command));
}

}  // namespace

void register_dde_functions(HandlerTable& t) {
  t.add(kw::fn_ddeinitiate, dde_initiate);
  t.add(kw::fn_ddeexecute, dde_execute);
  t.add(kw::fn_ddepoke, dde_poke);
  t.add(kw::fn_dderequest, dde_request);
  t.add(kw::fn_ddeterminate, dde_terminate);
  t.add(kw::fn_ddetimeout, dde_timeout);
  t.add(kw::fn_ddeserver, dde_server);
}

}  // namespace orv
