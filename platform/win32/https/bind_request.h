// What the web control's binding asks a request to be, read as the
// system's own handler reads it: the method and body of the bind
// information, the binding's strings (user agent, accepted types), the
// fields the control adds through IHttpNegotiate; and the few text
// conversions of header bytes the handler needs.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>
#include <string_view>
#include <vector>

#include "net/http_response.h"
#include "platform/win32/com_objects.h"

namespace corvane::win32::https {

// Whether two names are the same but for the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);
// Bytes of a header as UTF-16, one character each (headers are Latin-1).
std::wstring Widen(std::string_view bytes);
// "Name: value" lines (CRLF or LF) as header fields; other lines are left out.
std::vector<net::Header> HeaderLines(std::string_view text);
// The system's user agent, as the control sends it itself; empty if none.
std::string SystemUserAgent();

// Releases what a BINDINFO holds when its owner goes (urlmon's own
// ReleaseBindInfo where there is one).
class BindInfoOwner {
 public:
  BindInfoOwner() { info_.cbSize = sizeof info_; }
  BindInfoOwner(const BindInfoOwner&) = delete;
  BindInfoOwner& operator=(const BindInfoOwner&) = delete;
  ~BindInfoOwner();
  BINDINFO& get() { return info_; }

 private:
  BINDINFO info_{};
};

// The request's body from the bind information: memory or a stream.
std::string BodyOf(BINDINFO& info);
// The request's method from the bind information (GET when it names none).
std::string MethodOf(const BINDINFO& info);
// Up to `most` strings the binding gives (BINDSTRING_...), none when it has
// none. Every string handed out is freed.
std::vector<std::wstring> BindStrings(IInternetBindInfo* bindInfo, ULONG which, ULONG most);
// What the control asks the request to carry besides what the exchange
// writes (IHttpNegotiate::BeginningTransaction through the sink's
// services). `result` is what the control answered (a failure: it gave the
// request up); `negotiate` keeps its IHttpNegotiate for the response.
std::vector<net::Header> ExtraHeaders(IInternetProtocolSink* sink, const std::wstring& url,
                                      HRESULT& result, ComPtr<IHttpNegotiate>& negotiate);

}  // namespace corvane::win32::https
