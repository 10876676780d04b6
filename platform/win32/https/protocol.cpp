#include "platform/win32/https/protocol.h"

#include <wininet.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/com_objects.h"
#include "platform/win32/https/bind_request.h"
#include "platform/win32/https/workers.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"
#include "platform/win32/tls/tls_connection.h"

namespace corvane::win32::https {

namespace {

using tls::TlsError;

// Body bytes a worker keeps for the control before it waits for it to read.
constexpr std::size_t kMaxBuffered = 1024 * 1024;

// The file name of an attachment's Content-Disposition, or empty.
std::string AttachmentName(std::string_view disposition) {
  const std::size_t at = disposition.find("filename=");
  if (at == std::string_view::npos) {
    return {};
  }
  std::string_view name = disposition.substr(at + 9);
  if (!name.empty() && name.front() == '"') {
    name.remove_prefix(1);
    name = name.substr(0, name.find('"'));
  } else {
    name = name.substr(0, name.find(';'));
  }
  return std::string(name);
}

// The whole body kept in the system's internet cache as the system's own
// handler keeps it (for a binding that asks for a file: a synchronous one,
// a download); the file's path, or empty.
std::wstring CacheFile(const std::wstring& url, const std::string& body, const std::string& head) {
  HMODULE wininet = ::GetModuleHandleW(L"wininet.dll");  // urlmon's own import
  using Create = BOOL(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPWSTR, DWORD);
  using Commit = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, FILETIME, FILETIME, DWORD, LPWSTR, DWORD,
                               LPCWSTR, LPCWSTR);
  const auto create = LibraryFunction<Create>(wininet, "CreateUrlCacheEntryW");
  const auto commit = LibraryFunction<Commit>(wininet, "CommitUrlCacheEntryW");
  wchar_t path[MAX_PATH] = {};
  if (create == nullptr || commit == nullptr ||
      create(url.c_str(), static_cast<DWORD>(body.size()), nullptr, path, 0) == FALSE) {
    return {};
  }
  {
    HANDLE opened = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
      return {};
    }
    const KernelHandle file(opened);
    DWORD written = 0;
    if (::WriteFile(file.get(), body.data(), static_cast<DWORD>(body.size()), &written, nullptr) ==
            FALSE ||
        written != body.size()) {
      return {};
    }
  }
  std::wstring fields = Widen(head);
  if (commit(url.c_str(), path, FILETIME{}, FILETIME{}, NORMAL_CACHE_ENTRY, fields.data(),
             static_cast<DWORD>(fields.size()), nullptr, nullptr) == FALSE) {
    ::DeleteFileW(path);
    return {};
  }
  return path;
}

}  // namespace

FetchFailure FailureOf(net::FetchError error, int detail) {
  using net::FetchError;
  const auto internet = [](DWORD code) {
    return FetchFailure{HRESULT_FROM_WIN32(code), code};
  };
  switch (error) {
    case FetchError::kNone:
      return {S_OK, 0};
    case FetchError::kCancelled:
      return {E_ABORT, 0};
    case FetchError::kHostNotFound:
      return {INET_E_RESOURCE_NOT_FOUND, ERROR_INTERNET_NAME_NOT_RESOLVED};
    case FetchError::kConnectionRefused:
      return {INET_E_CANNOT_CONNECT, ERROR_INTERNET_CANNOT_CONNECT};
    case FetchError::kTimedOut:
      return {INET_E_CONNECTION_TIMEOUT, ERROR_INTERNET_TIMEOUT};
    case FetchError::kCertificate:
      switch (static_cast<TlsError>(detail)) {
        case TlsError::WrongHostName:
          return internet(ERROR_INTERNET_SEC_CERT_CN_INVALID);
        case TlsError::Expired:
          return internet(ERROR_INTERNET_SEC_CERT_DATE_INVALID);
        case TlsError::UnknownRoot:
          return internet(ERROR_INTERNET_INVALID_CA);
        default:
          return {INET_E_INVALID_CERTIFICATE, ERROR_INTERNET_SEC_INVALID_CERT};
      }
    case FetchError::kSecureChannel:
      return internet(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
    case FetchError::kConnectionLost:
      return {INET_E_DOWNLOAD_FAILURE, ERROR_INTERNET_CONNECTION_RESET};
    case FetchError::kBadResponse:
      return internet(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    case FetchError::kTooManyRedirects:
      return internet(ERROR_HTTP_REDIRECT_FAILED);
    case FetchError::kProxyRefused:
      return {INET_E_CANNOT_CONNECT, ERROR_INTERNET_CANNOT_CONNECT};
  }
  return {INET_E_DOWNLOAD_FAILURE, 0};
}

namespace {

// The final response's head as the control asks for it.
struct Head {
  int status = 0;
  int minorVersion = 1;
  std::string reason;
  std::vector<net::Header> headers;
  std::uint64_t contentLength = 0;
  bool lengthKnown = false;

  std::optional<std::string_view> Find(std::string_view name, std::size_t index = 0) const {
    for (const net::Header& header : headers) {
      if (SameText(header.name, name) && index-- == 0) {
        return header.value;
      }
    }
    return std::nullopt;
  }
  std::string StatusLine() const {
    return "HTTP/1." + std::to_string(minorVersion) + " " + std::to_string(status) + " " + reason;
  }
  // The status line and every field, each line ending in CRLF, an empty line last.
  std::string Raw() const {
    std::string raw = StatusLine() + "\r\n";
    for (const net::Header& header : headers) {
      raw += header.name + ": " + header.value + "\r\n";
    }
    return raw + "\r\n";
  }
};

// What a request's worker and its protocol object share. The worker fills
// it; the object, on the control's thread, reports it.
struct Transfer {
  Lock lock;
  std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
  KernelHandle drained{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // the control read

  // Under lock:
  ComPtr<IInternetProtocolSink> sink;  // for Switch only; null once terminated
  PROTOCOLDATA data{PI_FORCE_ASYNC, 0, nullptr, 0};
  bool switchPending = false;
  std::vector<std::string> redirects;  // followed, not yet reported
  std::optional<Head> head;
  std::string body;
  std::size_t readAt = 0;
  std::uint64_t received = 0;
  bool keepWhole = false;  // the binding wants a file: every byte is kept
  std::string whole;
  bool finished = false;
  net::ExchangeResult result;

  // Asks the control's thread to come and report (once until it came).
  void Notify() {
    ComPtr<IInternetProtocolSink> to;
    {
      Locked locked(lock);
      if (switchPending || !sink) {
        return;
      }
      switchPending = true;
      to = sink;
    }
    to->Switch(&data);
  }
};

class WorkerEvents : public net::ExchangeEvents {
 public:
  explicit WorkerEvents(Transfer& transfer) : transfer_(transfer) {}

  void Redirected(const net::Url& to, const std::string& /*method*/) override {
    {
      Locked locked(transfer_.lock);
      transfer_.redirects.push_back(net::ToString(to));
    }
    transfer_.Notify();
  }
  void Head(const net::Url& /*url*/, const net::ResponseParser& response) override {
    https::Head head;
    head.status = response.StatusCode();
    head.minorVersion = response.MinorVersion();
    head.reason = response.Reason();
    head.headers = response.Headers();
    head.lengthKnown = response.Framing() == net::BodyFraming::kLength;
    head.contentLength = response.ContentLength();
    {
      Locked locked(transfer_.lock);
      transfer_.head = std::move(head);
    }
    transfer_.Notify();
  }
  void Body(std::string_view bytes) override {
    // The control reads slower than the network gives: wait for it.
    for (;;) {
      {
        Locked locked(transfer_.lock);
        if (transfer_.body.size() - transfer_.readAt < kMaxBuffered || !transfer_.sink) {
          transfer_.body.append(bytes);
          if (transfer_.keepWhole) {
            transfer_.whole.append(bytes);
          }
          transfer_.received += bytes.size();
          break;
        }
      }
      if (*transfer_.cancelled) {
        return;  // the exchange sees the flag and ends
      }
      ::WaitForSingleObject(transfer_.drained.get(), 100);
    }
    transfer_.Notify();
  }

 private:
  Transfer& transfer_;
};

// One request's exchange, on a pool thread.
class Job final : public Workers::Work {
 public:
  Job(std::shared_ptr<Transfer> transfer, std::shared_ptr<Transport> transport,
      net::Request request)
      : transfer_(std::move(transfer)), transport_(std::move(transport)),
        request_(std::move(request)) {}

  void Do() noexcept override {
    Transfer& transfer = *transfer_;
    net::ExchangeResult result;
    try {
      WorkerEvents events(transfer);
      result = net::Exchange(std::move(request_), *transport_->connections,
                             transport_->cookies.get(), events, transfer.cancelled.get());
    } catch (...) {
      result = {};
      result.error = net::FetchError::kConnectionLost;  // out of memory: the request ends
    }
    {
      Locked locked(transfer.lock);
      transfer.result = std::move(result);
      transfer.finished = true;
    }
    transfer.Notify();
  }

 private:
  std::shared_ptr<Transfer> transfer_;
  std::shared_ptr<Transport> transport_;
  net::Request request_;
};

// The protocol object. urlmon makes it as a part of its own object
// (aggregation): then its interfaces answer for that outer object, and
// Inner() is the IUnknown that owns it and hands out its interfaces.
class Protocol : public SelfOwned<Protocol>, public IInternetProtocol, public IWinInetHttpInfo {
 public:
  Protocol(std::shared_ptr<Transport> transport, std::shared_ptr<Workers> workers)
      : transport_(std::move(transport)), workers_(std::move(workers)) {}
  Protocol(const Protocol&) = delete;
  Protocol& operator=(const Protocol&) = delete;
  ~Protocol() {
    *transfer_->cancelled = true;
    ComPtr<IInternetProtocolSink> gone;  // released here, not on the worker's thread
    Locked locked(transfer_->lock);
    gone = std::move(transfer_->sink);
  }

  IUnknown* Inner() { return &inner_; }
  // From now on the interfaces answer for `outer` (not counted: it owns us).
  void AggregateInto(IUnknown* outer) { outer_ = outer; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return outer_->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  // IInternetProtocolRoot
  HRESULT STDMETHODCALLTYPE Start(LPCWSTR url, IInternetProtocolSink* sink,
                                  IInternetBindInfo* bindInfo, DWORD flags,
                                  HANDLE_PTR /*reserved*/) override {
    if (url == nullptr || sink == nullptr || bindInfo == nullptr) {
      return E_INVALIDARG;
    }
    if (started_) {
      return E_UNEXPECTED;
    }
    started_ = true;
    flags_ = flags;
    net::Request request;
    const std::optional<net::Url> parsed = net::ParseUrl(ToUtf8(url));
    if (!parsed || parsed->scheme != "https") {
      return INET_E_INVALID_URL;
    }
    request.url = *parsed;

    DWORD bindFlags = 0;
    BindInfoOwner info;
    const HRESULT gotInfo = bindInfo->GetBindInfo(&bindFlags, &info.get());
    if (FAILED(gotInfo)) {
      return gotInfo;
    }
    request.method = MethodOf(info.get());
    request.body = BodyOf(info.get());

    const std::vector<std::wstring> agent = BindStrings(bindInfo, BINDSTRING_USER_AGENT, 1);
    request.userAgent = !agent.empty() && !agent[0].empty() ? ToUtf8(agent[0]) : SystemUserAgent();
    std::string accept;
    for (const std::wstring& type : BindStrings(bindInfo, BINDSTRING_ACCEPT_MIMES, 32)) {
      accept += (accept.empty() ? "" : ", ") + ToUtf8(type);
    }
    request.headers.push_back({"Accept", accept.empty() ? "*/*" : accept});

    HRESULT negotiated = S_OK;
    std::vector<net::Header> extra = ExtraHeaders(sink, url, negotiated, negotiate_);
    if (FAILED(negotiated)) {
      return negotiated;  // the control gave the request up
    }
    for (net::Header& header : extra) {
      if (SameText(header.name, "Accept")) {
        request.headers.front().value = std::move(header.value);
      } else {
        request.headers.push_back(std::move(header));
      }
    }

    sink_ = ComPtr<IInternetProtocolSink>::Adopt((sink->AddRef(), sink));
    {
      Locked locked(transfer_->lock);
      transfer_->sink = sink_;
      transfer_->keepWhole = (bindFlags & BINDF_NEEDFILE) != 0;
    }
    if (!workers_->Run(std::make_unique<Job>(transfer_, transport_, std::move(request)),
                       transfer_->cancelled)) {
      Locked locked(transfer_->lock);
      transfer_->sink.reset();
      return E_OUTOFMEMORY;
    }
    sink_->ReportProgress(BINDSTATUS_FINDINGRESOURCE, Widen(parsed->host).c_str());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Continue(PROTOCOLDATA* /*data*/) override {
    const ComPtr<IInternetProtocolSink> sink = sink_;
    if (resultReported_) {
      Locked locked(transfer_->lock);
      transfer_->switchPending = false;
      return S_OK;  // aborted: nothing more to tell
    }
    std::vector<std::string> redirects;
    std::optional<https::Head> head;
    bool finished = false;
    std::uint64_t received = 0;
    net::ExchangeResult result;
    {
      Locked locked(transfer_->lock);
      transfer_->switchPending = false;
      if (!sink || !transfer_->sink) {
        return S_OK;  // terminated meanwhile
      }
      redirects = std::exchange(transfer_->redirects, {});
      if (transfer_->head && !headReported_) {
        head = transfer_->head;
      }
      received = transfer_->received;
      finished = transfer_->finished;
      if (finished) {
        result = transfer_->result;
      }
    }
    for (const std::string& to : redirects) {
      sink->ReportProgress(BINDSTATUS_REDIRECTING, ToWide(to).c_str());
    }
    if (finished && result.error == net::FetchError::kNone && result.leftFor) {
      // An http address is the system's: urlmon starts its own handler there.
      Report(sink, INET_E_REDIRECT_FAILED, 0, ToWide(net::ToString(*result.leftFor)));
      return S_OK;
    }
    if (head) {
      headReported_ = true;
      ReportHead(sink, *head);
      if (resultReported_) {
        return S_OK;  // the control gave up on seeing the head
      }
    }
    if (finished && result.error != net::FetchError::kNone) {
      const FetchFailure failure = FailureOf(result.error, result.detail);
      Report(sink, failure.result, failure.error, {});
      return S_OK;
    }
    if (!headReported_) {
      return S_OK;
    }
    if (received > reportedBytes_ || (finished && !lastReported_)) {
      DWORD flags = reportedBytes_ == 0 && !firstReported_ ? BSCF_FIRSTDATANOTIFICATION
                                                          : BSCF_INTERMEDIATEDATANOTIFICATION;
      firstReported_ = true;
      if (finished) {
        if (!rawHead_.empty()) {
          KeepFile(sink, result.url);
        }
        flags |= BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE;
        lastReported_ = true;
        Locked locked(transfer_->lock);
        finishSeen_ = true;
      }
      reportedBytes_ = received;
      const auto progress = static_cast<ULONG>(std::min<std::uint64_t>(received, ULONG_MAX));
      const auto most = static_cast<ULONG>(
          std::min<std::uint64_t>(finished ? received : lengthMax_, ULONG_MAX));
      sink->ReportData(flags, progress, most);
    }
    if (finished && !resultReported_) {
      Report(sink, S_OK, 0, {});
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Abort(HRESULT reason, DWORD /*options*/) override {
    *transfer_->cancelled = true;
    if (sink_ && !resultReported_) {
      Report(sink_, reason, 0, {});
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Terminate(DWORD /*options*/) override {
    *transfer_->cancelled = true;
    ComPtr<IInternetProtocolSink> gone;
    {
      Locked locked(transfer_->lock);
      gone = std::move(transfer_->sink);
      transfer_->sink.reset();
    }
    ::SetEvent(transfer_->drained.get());
    sink_.reset();
    negotiate_.reset();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }

  // IInternetProtocol
  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    if (read != nullptr) {
      *read = 0;
    }
    if (buffer == nullptr && size > 0) {
      return E_POINTER;
    }
    ULONG copied = 0;
    HRESULT answer = S_OK;
    {
      Locked locked(transfer_->lock);
      const std::size_t available = transfer_->body.size() - transfer_->readAt;
      copied = static_cast<ULONG>(std::min<std::size_t>(available, size));
      if (copied > 0) {
        std::memcpy(buffer, transfer_->body.data() + transfer_->readAt, copied);
        transfer_->readAt += copied;
        if (transfer_->readAt >= transfer_->body.size() / 2) {
          transfer_->body.erase(0, transfer_->readAt);
          transfer_->readAt = 0;
        }
      }
      const bool empty = transfer_->readAt == transfer_->body.size();
      if (empty && finishSeen_) {
        answer = S_FALSE;
      } else if (copied == 0) {
        answer = E_PENDING;
      }
    }
    if (copied > 0) {
      ::SetEvent(transfer_->drained.get());
    }
    if (read != nullptr) {
      *read = copied;
    }
    return answer;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE LockRequest(DWORD /*options*/) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UnlockRequest() override { return S_OK; }

  // IWinInetInfo
  HRESULT STDMETHODCALLTYPE QueryOption(DWORD option, void* buffer, DWORD* size) override {
    if (option != INTERNET_OPTION_SECURITY_FLAGS) {
      return E_NOTIMPL;
    }
    if (size == nullptr) {
      return E_POINTER;
    }
    if (buffer == nullptr || *size < sizeof(DWORD)) {
      *size = sizeof(DWORD);
      return E_INVALIDARG;
    }
    const DWORD secure = SECURITY_FLAG_SECURE | SECURITY_FLAG_STRENGTH_STRONG;
    std::memcpy(buffer, &secure, sizeof secure);
    *size = sizeof secure;
    return S_OK;
  }

  // IWinInetHttpInfo: as HttpQueryInfoA answers (text without its end
  // zero counted, or a number with HTTP_QUERY_FLAG_NUMBER); S_FALSE when
  // the response has no such field or the buffer is too small.
  HRESULT STDMETHODCALLTYPE QueryInfo(DWORD option, void* buffer, DWORD* size, DWORD* index,
                                      DWORD* /*reserved*/) override {
    if (size == nullptr) {
      return E_POINTER;
    }
    std::optional<https::Head> head;
    {
      Locked locked(transfer_->lock);
      head = transfer_->head;
    }
    if (!head) {
      return E_FAIL;
    }
    const DWORD which = option & HTTP_QUERY_HEADER_MASK;
    const bool number = (option & HTTP_QUERY_FLAG_NUMBER) != 0;
    const bool time = (option & HTTP_QUERY_FLAG_SYSTEMTIME) != 0;
    if ((option & HTTP_QUERY_FLAG_REQUEST_HEADERS) != 0) {
      ::SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
      return S_FALSE;  // only the response's fields are kept
    }
    const std::size_t nth = index != nullptr ? *index : 0;
    std::optional<std::string> text;
    switch (which) {
      case HTTP_QUERY_STATUS_CODE:
        text = std::to_string(head->status);
        break;
      case HTTP_QUERY_STATUS_TEXT:
        text = head->reason;
        break;
      case HTTP_QUERY_VERSION:
        text = "HTTP/1." + std::to_string(head->minorVersion);
        break;
      case HTTP_QUERY_RAW_HEADERS_CRLF:
        text = head->Raw();
        break;
      case HTTP_QUERY_RAW_HEADERS: {
        std::string raw = head->StatusLine();
        raw.push_back('\0');
        for (const net::Header& header : head->headers) {
          raw += header.name + ": " + header.value;
          raw.push_back('\0');
        }
        text = std::move(raw);
        break;
      }
      case HTTP_QUERY_CUSTOM:
        if (buffer == nullptr) {
          return E_INVALIDARG;
        }
        text = Field(*head, std::string(static_cast<const char*>(buffer),
                                        ::strnlen(static_cast<const char*>(buffer), *size)),
                     nth);
        break;
      default:
        text = Field(*head, NameOf(which), nth);
        break;
    }
    if (!text) {
      ::SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
      return S_FALSE;
    }
    if (time) {
      using ToTime = BOOL(WINAPI*)(LPCSTR, SYSTEMTIME*, DWORD);
      const auto toTime = LibraryFunction<ToTime>(::GetModuleHandleW(L"wininet.dll"),
                                                  "InternetTimeToSystemTimeA");
      SYSTEMTIME value{};
      if (toTime == nullptr || toTime(text->c_str(), &value, 0) == FALSE) {
        ::SetLastError(ERROR_HTTP_INVALID_HEADER);
        return S_FALSE;
      }
      if (buffer == nullptr || *size < sizeof value) {
        *size = sizeof value;
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return S_FALSE;
      }
      std::memcpy(buffer, &value, sizeof value);
      *size = sizeof value;
    } else if (number) {
      const DWORD value = static_cast<DWORD>(std::strtoul(text->c_str(), nullptr, 10));
      if (buffer == nullptr || *size < sizeof value) {
        *size = sizeof value;
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return S_FALSE;
      }
      std::memcpy(buffer, &value, sizeof value);
      *size = sizeof value;
    } else {
      if (buffer == nullptr || *size < text->size() + 1) {
        *size = static_cast<DWORD>(text->size() + 1);
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return S_FALSE;
      }
      std::memcpy(buffer, text->c_str(), text->size() + 1);
      *size = static_cast<DWORD>(text->size());
    }
    if (index != nullptr) {
      ++*index;
    }
    return S_OK;
  }

 private:
  static std::string_view NameOf(DWORD which) {
    static const struct {
      DWORD which;
      const char* name;
    } kNames[] = {
        {HTTP_QUERY_CONTENT_TYPE, "Content-Type"},
        {HTTP_QUERY_CONTENT_LENGTH, "Content-Length"},
        {HTTP_QUERY_CONTENT_ENCODING, "Content-Encoding"},
        {HTTP_QUERY_CONTENT_LANGUAGE, "Content-Language"},
        {HTTP_QUERY_CONTENT_DISPOSITION, "Content-Disposition"},
        {HTTP_QUERY_LAST_MODIFIED, "Last-Modified"},
        {HTTP_QUERY_LOCATION, "Location"},
        {HTTP_QUERY_DATE, "Date"},
        {HTTP_QUERY_EXPIRES, "Expires"},
        {HTTP_QUERY_CACHE_CONTROL, "Cache-Control"},
        {HTTP_QUERY_PRAGMA, "Pragma"},
        {HTTP_QUERY_ETAG, "ETag"},
        {HTTP_QUERY_SERVER, "Server"},
        {HTTP_QUERY_ACCEPT_RANGES, "Accept-Ranges"},
        {HTTP_QUERY_SET_COOKIE, "Set-Cookie"},
        {HTTP_QUERY_REFRESH, "Refresh"},
        {HTTP_QUERY_CONNECTION, "Connection"},
        {HTTP_QUERY_TRANSFER_ENCODING, "Transfer-Encoding"},
        {HTTP_QUERY_WWW_AUTHENTICATE, "WWW-Authenticate"},
    };
    for (const auto& known : kNames) {
      if (known.which == which) {
        return known.name;
      }
    }
    return {};
  }

  static std::optional<std::string> Field(const https::Head& head, std::string_view name,
                                          std::size_t index) {
    if (name.empty()) {
      return std::nullopt;
    }
    const std::optional<std::string_view> value = head.Find(name, index);
    return value ? std::optional<std::string>(std::string(*value)) : std::nullopt;
  }

  // The response's head to the control: its status and fields, an
  // attachment's name, its media type.
  void ReportHead(const ComPtr<IInternetProtocolSink>& sink, const https::Head& head) {
    lengthMax_ = head.lengthKnown ? head.contentLength : 0;
    rawHead_ = head.Raw();
    if (negotiate_) {
      LPWSTR more = nullptr;
      negotiate_->OnResponse(static_cast<DWORD>(head.status), Widen(rawHead_).c_str(), nullptr,
                             &more);
      ::CoTaskMemFree(more);
    }
    if (const auto disposition = head.Find("Content-Disposition");
        disposition && disposition->size() >= 10 &&
        SameText(disposition->substr(0, 10), "attachment")) {
      // The control asks the user where to keep it (its own download prompt).
      const std::wstring name = Widen(AttachmentName(*disposition));
      sink->ReportProgress(BINDSTATUS_CONTENTDISPOSITIONATTACH, name.c_str());
      if (!name.empty()) {
        sink->ReportProgress(BINDSTATUS_CONTENTDISPOSITIONFILENAME, name.c_str());
      }
    }
    const auto type = head.Find("Content-Type");
    const std::string mime = type ? net::MimeType(*type) : std::string();
    const auto sniffing = head.Find("X-Content-Type-Options");
    const bool verified = sniffing && SameText(*sniffing, "nosniff");
    if (!mime.empty()) {
      sink->ReportProgress(
          verified ? BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE : BINDSTATUS_MIMETYPEAVAILABLE,
          ToWide(mime).c_str());
    } else if ((flags_ & PI_MIMEVERIFICATION) == 0) {
      // Nobody looks at the bytes: the control's usual guess.
      sink->ReportProgress(BINDSTATUS_MIMETYPEAVAILABLE, L"text/html");
    }
  }

  // A binding that asks for a file gets the body in the internet cache.
  void KeepFile(const ComPtr<IInternetProtocolSink>& sink, const net::Url& url) {
    std::string whole;
    {
      Locked locked(transfer_->lock);
      if (!transfer_->keepWhole) {
        return;
      }
      whole = std::move(transfer_->whole);
    }
    const std::wstring path = CacheFile(ToWide(net::ToString(url)), whole, rawHead_);
    if (!path.empty()) {
      sink->ReportProgress(BINDSTATUS_CACHEFILENAMEAVAILABLE, path.c_str());
    }
  }

  void Report(const ComPtr<IInternetProtocolSink>& sink, HRESULT result, DWORD error,
              const std::wstring& text) {
    if (resultReported_) {
      return;
    }
    resultReported_ = true;
    sink->ReportResult(result, error, text.empty() ? nullptr : text.c_str());
  }

  // The IUnknown that owns the object and answers for its own interfaces.
  class InnerUnknown : public IUnknown {
   public:
    explicit InnerUnknown(Protocol& protocol) : protocol_(protocol) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      if (out == nullptr) {
        return E_POINTER;
      }
      if (IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
      } else if (IsEqualIID(iid, IID_IInternetProtocolRoot) ||
                 IsEqualIID(iid, IID_IInternetProtocol)) {
        *out = static_cast<IInternetProtocol*>(&protocol_);
      } else if (IsEqualIID(iid, IID_IWinInetInfo) || IsEqualIID(iid, IID_IWinInetHttpInfo)) {
        *out = static_cast<IWinInetHttpInfo*>(&protocol_);
      } else {
        *out = nullptr;
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*out)->AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return protocol_.AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return protocol_.ReleaseImpl(); }

   private:
    Protocol& protocol_;
  };

  InnerUnknown inner_{*this};
  IUnknown* outer_ = &inner_;
  std::shared_ptr<Transport> transport_;
  std::shared_ptr<Workers> workers_;
  std::shared_ptr<Transfer> transfer_ = std::make_shared<Transfer>();
  ComPtr<IInternetProtocolSink> sink_;
  ComPtr<IHttpNegotiate> negotiate_;
  DWORD flags_ = 0;
  bool started_ = false;
  bool headReported_ = false;
  bool firstReported_ = false;
  bool lastReported_ = false;
  bool finishSeen_ = false;  // under the transfer's lock: Read may end the body
  bool resultReported_ = false;
  std::string rawHead_;
  std::uint64_t reportedBytes_ = 0;
  std::uint64_t lengthMax_ = 0;
};

class Factory : public SelfOwned<Factory>, public IClassFactory {
 public:
  Factory(std::shared_ptr<Transport> transport, std::shared_ptr<Workers> workers)
      : transport_(std::move(transport)), workers_(std::move(workers)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
      return CLASS_E_NOAGGREGATION;  // a part answers only for its owner
    }
    try {
      ComPtr<IInternetProtocol> made = Protocol::Create<IInternetProtocol>(transport_, workers_);
      auto* protocol = static_cast<Protocol*>(made.get());
      IUnknown* inner = protocol->Inner();
      if (outer == nullptr) {
        return inner->QueryInterface(iid, out);
      }
      inner->AddRef();
      made.reset();  // the inner reference alone owns it now
      protocol->AggregateInto(outer);
      *out = inner;
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL /*lock*/) override { return S_OK; }

 private:
  std::shared_ptr<Transport> transport_;
  std::shared_ptr<Workers> workers_;
};

}  // namespace

ComPtr<IClassFactory> MakeProtocolFactory(std::shared_ptr<Transport> transport,
                                          std::shared_ptr<Workers> workers) {
  return Factory::Create<IClassFactory>(std::move(transport), std::move(workers));
}

}  // namespace corvane::win32::https
