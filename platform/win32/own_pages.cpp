#include "platform/win32/own_pages.h"

#include <ocidl.h>
#include <urlmon.h>
#include <wininet.h>

#include <utility>

#include "platform/ports/failure.h"
#include "platform/win32/browser_automation.h"
#include "platform/win32/com_objects.h"
#include "platform/win32/find_in_page.h"
#include "platform/win32/text.h"

namespace corvane::win32 {

namespace {

constexpr const char* kBlank = "about:blank";
// The internet functions' errors (ERROR_INTERNET_..., ERROR_HTTP_...).
constexpr long kInternetErrorsFirst = INTERNET_ERROR_BASE;
constexpr long kInternetErrorsLast = INTERNET_ERROR_BASE + 999;

// What a status says: our reason, a certificate's problems, or nothing of
// ours (kLeave).
struct Reason {
  enum class Kind : std::uint8_t { kLeave, kLoad, kCertificate } kind;
  LoadFailure why = LoadFailure::kOther;
  unsigned problems = 0;
};

constexpr Reason Load(LoadFailure why) { return {Reason::Kind::kLoad, why, 0}; }
constexpr Reason Certificate(unsigned problems) {
  return {Reason::Kind::kCertificate, LoadFailure::kOther, problems};
}
constexpr Reason kLeave{Reason::Kind::kLeave};

// The control's own codes (urlmon's INET_E_...) and the internet functions'
// errors (ERROR_INTERNET_..., passed as they are or as HRESULTs).
Reason ReasonOf(long status) {
  static const struct {
    long status;
    Reason reason;
  } kReasons[] = {
      {INET_E_RESOURCE_NOT_FOUND, Load(LoadFailure::kServerNotFound)},
      {ERROR_INTERNET_NAME_NOT_RESOLVED, Load(LoadFailure::kServerNotFound)},
      {INET_E_CANNOT_CONNECT, Load(LoadFailure::kConnectionRefused)},
      {ERROR_INTERNET_CANNOT_CONNECT, Load(LoadFailure::kConnectionRefused)},
      {INET_E_CONNECTION_TIMEOUT, Load(LoadFailure::kTimedOut)},
      {ERROR_INTERNET_TIMEOUT, Load(LoadFailure::kTimedOut)},
      {ERROR_INTERNET_SERVER_UNREACHABLE, Load(LoadFailure::kUnreachable)},
      {ERROR_INTERNET_DISCONNECTED, Load(LoadFailure::kUnreachable)},
      {INET_E_INVALID_URL, Load(LoadFailure::kAddressNotUnderstood)},
      {INET_E_UNKNOWN_PROTOCOL, Load(LoadFailure::kAddressNotUnderstood)},
      {ERROR_INTERNET_INVALID_URL, Load(LoadFailure::kAddressNotUnderstood)},
      {ERROR_INTERNET_UNRECOGNIZED_SCHEME, Load(LoadFailure::kAddressNotUnderstood)},
      {INET_E_NO_VALID_MEDIA, Load(LoadFailure::kCannotShow)},
      {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, Load(LoadFailure::kSecureConnectionFailed)},
      {INET_E_INVALID_CERTIFICATE, Certificate(0)},
      {INET_E_SECURITY_PROBLEM, Certificate(0)},
      {ERROR_INTERNET_SEC_INVALID_CERT, Certificate(0)},
      {ERROR_INTERNET_SEC_CERT_ERRORS, Certificate(0)},
      {ERROR_INTERNET_SEC_CERT_NO_REV, Certificate(0)},
      {ERROR_INTERNET_SEC_CERT_REV_FAILED, Certificate(0)},
      {ERROR_INTERNET_INVALID_CA, Certificate(certificate::kUnknownAuthority)},
      {ERROR_INTERNET_SEC_CERT_CN_INVALID, Certificate(certificate::kOtherSite)},
      {ERROR_INTERNET_SEC_CERT_DATE_INVALID, Certificate(certificate::kExpired)},
      {ERROR_INTERNET_SEC_CERT_REVOKED, Certificate(certificate::kRevoked)},
      // Nothing failed: stopped, superseded by another navigation, handed on
      // (a download), or the control goes on by itself (a folder, a login).
      {E_ABORT, kLeave},
      {INET_E_TERMINATED_BIND, kLeave},
      {INET_E_RESULT_DISPATCHED, kLeave},
      {INET_E_REDIRECT_TO_DIR, kLeave},
      {INET_E_AUTHENTICATION_REQUIRED, kLeave},
      {ERROR_INTERNET_OPERATION_CANCELLED, kLeave},
      {static_cast<long>(HRESULT_FROM_WIN32(ERROR_CANCELLED)), kLeave},
  };
  // An internet error passed as an HRESULT is that error.
  if (HRESULT_FACILITY(status) == FACILITY_WIN32 && status < 0 &&
      HRESULT_CODE(status) >= kInternetErrorsFirst && HRESULT_CODE(status) <= kInternetErrorsLast) {
    status = HRESULT_CODE(status);
  }
  for (const auto& known : kReasons) {
    if (known.status == status) {
      return known.reason;
    }
  }
  // Any other failure is ours to tell, an HTTP status the server's own page.
  const bool internetError = status >= kInternetErrorsFirst && status <= kInternetErrorsLast;
  return status < 0 || internetError ? Load(LoadFailure::kOther) : kLeave;
}

}  // namespace

// From the control's modules (already loaded) or the system's messages.
std::string SystemWords(long status) {
  const auto code = static_cast<DWORD>(status);
  for (const wchar_t* module : {L"urlmon.dll", L"wininet.dll", static_cast<const wchar_t*>(nullptr)}) {
    HMODULE from = module != nullptr ? ::GetModuleHandleW(module) : nullptr;
    if (module != nullptr && from == nullptr) {
      continue;
    }
    wchar_t words[512] = {};
    const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS |
                        (from != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    DWORD length = ::FormatMessageW(flags, from, code, 0, words, 512, nullptr);
    while (length > 0 && (words[length - 1] == L'\n' || words[length - 1] == L'\r' ||
                          words[length - 1] == L' ' || words[length - 1] == L'.')) {
      --length;
    }
    if (length > 0) {
      return ToUtf8(words, static_cast<int>(length));
    }
  }
  return {};
}

namespace {

// A stream in memory holding `bytes`, at its start.
ComPtr<IStream> MemoryStream(const std::string& bytes) {
  ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) || !stream) {
    throw Failure("no memory for the page");
  }
  ULONG written = 0;
  if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) ||
      written != bytes.size()) {
    throw Failure("no memory for the page");
  }
  const LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

}  // namespace

std::optional<NavigateFailure> NavigateFailureOf(long status) {
  const Reason reason = ReasonOf(status);
  switch (reason.kind) {
    case Reason::Kind::kLoad:
      return NavigateFailure{false, reason.why, 0};
    case Reason::Kind::kCertificate:
      return NavigateFailure{true, LoadFailure::kOther, reason.problems};
    case Reason::Kind::kLeave:
      break;
  }
  return std::nullopt;
}

OwnPages::OwnPages(ComPtr<IDispatch> view, Later later, Report report)
    : view_(std::move(view)), later_(std::move(later)), report_(std::move(report)) {}

OwnPages::Report OwnPages::ReportTo(PolicyOf policy) {
  return [policy = std::move(policy)](const std::string& address, const NavigateFailure& failure,
                                      const std::string& detail) {
    PageEvents* events = policy ? policy() : nullptr;
    if (events == nullptr) {
      return;  // the control's own page
    }
    if (failure.certificate) {
      events->CertificateProblem(address, failure.problems);
    } else {
      events->LoadFailed(address, failure.why, detail);
    }
  };
}

void OwnPages::Show(OwnPage page) {
  pending_ = std::move(page);
  later_([weak = weak_from_this()] {
    const auto self = weak.lock();
    if (!self || !self->pending_) {
      return;
    }
    try {
      BrowserAutomation(self->view_).Navigate(kBlank);
    } catch (const Failure&) {
      self->pending_.reset();  // the control's page stays cancelled: it shows what it had
    }
  });
}

bool OwnPages::IsView(IDispatch* frame) const {
  if (frame == nullptr || !view_) {
    return false;
  }
  ComPtr<IUnknown> one;
  ComPtr<IUnknown> other;
  return SUCCEEDED(frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(one.Out()))) &&
         SUCCEEDED(view_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(other.Out()))) &&
         one.get() == other.get();
}

void OwnPages::Starting(IDispatch* frame) {
  if (IsView(frame)) {
    started_ = true;
  }
}

OwnPages::Answer OwnPages::Failed(IDispatch* frame, const std::string& address, long status) {
  if (!IsView(frame) || address.empty()) {
    return Answer::kLeave;
  }
  if (address == kBlank) {
    if (!pending_) {
      return Answer::kLeave;
    }
    // Our page's blank document could not be made: the page stays blank,
    // and stands for the address that failed all the same.
    shown_ = std::exchange(pending_, std::nullopt);
    loading_ = false;
    return Answer::kOursBlank;
  }
  const std::optional<NavigateFailure> failure = NavigateFailureOf(status);
  if (!failure || !report_) {
    return Answer::kLeave;
  }
  pending_.reset();
  report_(address, *failure, SystemWords(status));
  return pending_ ? Answer::kOurs : Answer::kLeave;
}

std::string OwnPages::Committed(IDispatch* frame, const std::string& address) {
  if (!IsView(frame)) {
    return address;
  }
  const bool started = std::exchange(started_, false);
  if (address == kBlank && pending_) {
    shown_ = std::exchange(pending_, std::nullopt);
    loading_ = true;
  } else if (address == kBlank && shown_ && !started) {
    // Our document, committed again as it is loaded: still our page.
  } else {
    pending_.reset();
    shown_.reset();
    loading_ = false;
  }
  return shown_ ? shown_->address : address;
}

void OwnPages::Completed(IDispatch* frame) {
  if (!IsView(frame) || !std::exchange(loading_, false)) {
    return;
  }
  later_([weak = weak_from_this()] {
    if (const auto self = weak.lock()) {
      self->Load();
    }
  });
}

// Without the control's page engine nothing can be loaded: the page stays
// blank, and the view still reports our page's address and title.
void OwnPages::Load() const {
  if (!shown_) {
    return;  // gone on meanwhile
  }
  try {
    Variant document;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (FAILED(view_->Invoke(kDocumentId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                             &none, document.get(), nullptr, nullptr)) ||
        V_VT(document.get()) != VT_DISPATCH || V_DISPATCH(document.get()) == nullptr) {
      return;
    }
    ComPtr<IPersistStreamInit> persist;
    if (FAILED(V_DISPATCH(document.get())
                   ->QueryInterface(IID_IPersistStreamInit,
                                    reinterpret_cast<void**>(persist.Out()))) ||
        !persist) {
      return;
    }
    // UTF-8, as the page's markup says, marked so from its first bytes.
    const ComPtr<IStream> stream = MemoryStream("\xEF\xBB\xBF" + shown_->html);
    if (SUCCEEDED(persist->InitNew())) {
      persist->Load(stream.get());
    }
  } catch (const Failure&) {  // NOLINT(bugprone-empty-catch): the page stays blank
  }
}

}  // namespace corvane::win32
