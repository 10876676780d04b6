#include "platform/win32/https/bind_request.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace corvane::win32::https {

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

// Bytes of a header as UTF-16, one character each (headers are Latin-1).
std::wstring Widen(std::string_view bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (const char c : bytes) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  return wide;
}

// "Name: value" lines (CRLF or LF) as header fields; other lines are left out.
std::vector<net::Header> HeaderLines(std::string_view text) {
  std::vector<net::Header> headers;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
      continue;
    }
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
      value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
      value.remove_suffix(1);
    }
    headers.push_back({std::string(line.substr(0, colon)), std::string(value)});
  }
  return headers;
}

// The system's user agent, as the control sends it itself.
std::string SystemUserAgent() {
  using Obtain = HRESULT(WINAPI*)(DWORD, LPSTR, DWORD*);
  const auto obtain =
      LibraryFunction<Obtain>(::GetModuleHandleW(L"urlmon.dll"), "ObtainUserAgentString");
  char agent[512] = {};
  DWORD size = sizeof agent;
  if (obtain == nullptr || obtain(0, agent, &size) != S_OK) {
    return {};
  }
  return std::string(agent, ::strnlen(agent, sizeof agent));
}

// The request's body from the bind information: memory or a stream.
std::string BodyOf(BINDINFO& info) {
  STGMEDIUM& data = info.stgmedData;
  std::string body;
  if (data.tymed == TYMED_HGLOBAL && data.hGlobal != nullptr && info.cbstgmedData > 0) {
    const SIZE_T size = std::min<SIZE_T>(info.cbstgmedData, ::GlobalSize(data.hGlobal));
    if (const void* bytes = ::GlobalLock(data.hGlobal)) {
      body.assign(static_cast<const char*>(bytes), size);
      ::GlobalUnlock(data.hGlobal);
    }
  } else if (data.tymed == TYMED_ISTREAM && data.pstm != nullptr) {
    const LARGE_INTEGER start{};
    data.pstm->Seek(start, STREAM_SEEK_SET, nullptr);
    char chunk[16 * 1024];
    ULONG got = 0;
    while (SUCCEEDED(data.pstm->Read(chunk, sizeof chunk, &got)) && got > 0) {
      body.append(chunk, got);
    }
  }
  return body;
}

std::string MethodOf(const BINDINFO& info) {
  switch (info.dwBindVerb) {
    case BINDVERB_GET:
      return "GET";
    case BINDVERB_POST:
      return "POST";
    case BINDVERB_PUT:
      return "PUT";
    case BINDVERB_CUSTOM:
      if (info.szCustomVerb != nullptr && info.szCustomVerb[0] != L'\0') {
        return ToUtf8(info.szCustomVerb);
      }
      break;
    default:
      break;
  }
  return "GET";
}

// One string the binding gives (BINDSTRING_...), empty when none. Every
// string handed out is freed.
std::vector<std::wstring> BindStrings(IInternetBindInfo* bindInfo, ULONG which, ULONG most) {
  std::vector<LPOLESTR> got(most, nullptr);
  ULONG count = 0;
  std::vector<std::wstring> strings;
  if (bindInfo->GetBindString(which, got.data(), most, &count) == S_OK) {
    for (ULONG i = 0; i < count && i < most; ++i) {
      if (got[i] != nullptr) {
        strings.emplace_back(got[i]);
        ::CoTaskMemFree(got[i]);
      }
    }
  }
  return strings;
}

// What the control asks the request to carry besides what net writes.
std::vector<net::Header> ExtraHeaders(IInternetProtocolSink* sink, const std::wstring& url,
                                      HRESULT& result, ComPtr<IHttpNegotiate>& negotiate) {
  result = S_OK;
  ComPtr<IServiceProvider> provider;
  if (FAILED(sink->QueryInterface(IID_IServiceProvider,
                                  reinterpret_cast<void**>(provider.Out()))) ||
      !provider ||
      FAILED(provider->QueryService(IID_IHttpNegotiate, IID_IHttpNegotiate,
                                    reinterpret_cast<void**>(negotiate.Out()))) ||
      !negotiate) {
    negotiate.reset();
    return {};
  }
  LPWSTR additional = nullptr;
  result = negotiate->BeginningTransaction(url.c_str(), L"", 0, &additional);
  std::vector<net::Header> headers;
  if (additional != nullptr) {
    headers = HeaderLines(ToUtf8(additional));
    ::CoTaskMemFree(additional);
  }
  return headers;
}

BindInfoOwner::~BindInfoOwner() {
  using Release = void(WINAPI*)(BINDINFO*);
  if (const auto release =
          LibraryFunction<Release>(::GetModuleHandleW(L"urlmon.dll"), "ReleaseBindInfo")) {
    release(&info_);
    return;
  }
  ::ReleaseStgMedium(&info_.stgmedData);
  ::CoTaskMemFree(info_.szExtraInfo);
  ::CoTaskMemFree(info_.szCustomVerb);
  if (info_.pUnk != nullptr) {
    info_.pUnk->Release();
  }
}

}  // namespace corvane::win32::https
