// A page of 30 resources over loopback, fetched as the web control fetches
// a page's parts: 30 asynchronous urlmon binds at once on one thread that
// pumps messages. https://localhost:S/ goes through the program's own https
// handler (registered for this process, as on an old system), and
// http://127.0.0.1:P/ through the system's own handler: the same files from
// the same kind of server. Rounds alternate which goes first; each side's
// first round (connections opened, libraries loaded) is shown apart, the
// rest give the median. A third figure is the https page through the
// handler's transport alone (TlsConnections and the exchange on 6 threads,
// no urlmon): what the TLS and the exchange cost, apart from the binding.
//   corvane_https_page_bench HTTPS_PORT HTTP_PORT TOTAL_BYTES [ROUNDS]
// The resources are r00.bin ... r29.bin; TOTAL_BYTES is their sum, which
// every round must read in full.
#include <windows.h>
#include <urlmon.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "net/http_exchange.h"
#include "platform/win32/com_objects.h"
#include "platform/win32/https/connections.h"
#include "platform/win32/https/registration.h"

namespace {

using corvane::win32::ComPtr;
using corvane::win32::SelfOwned;

constexpr int kResources = 30;
constexpr DWORD kPageLimitMs = 60000;

struct Page {
  int pending = 0;
  unsigned long long bytes = 0;
  HRESULT failure = S_OK;
};

// One resource's bind: reads everything that comes and says when it ends.
class Fetch : public SelfOwned<Fetch>, public IBindStatusCallback {
 public:
  explicit Fetch(Page& page) : page_(page) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
    Finish(result);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION |
             BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE;
    const DWORD size = info->cbSize;
    ZeroMemory(info, size);
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (medium == nullptr || medium->tymed != TYMED_ISTREAM || medium->pstm == nullptr) {
      return S_OK;
    }
    for (;;) {
      char chunk[16384];
      ULONG got = 0;
      const HRESULT read = medium->pstm->Read(chunk, sizeof chunk, &got);
      page_.bytes += got;
      if (read != S_OK || got == 0) {
        return S_OK;
      }
    }
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // The bind ended (or never started).
  void Finish(HRESULT result) {
    if (done_) {
      return;
    }
    done_ = true;
    --page_.pending;
    if (FAILED(result) && page_.failure == S_OK) {
      page_.failure = result;
    }
  }

 private:
  Page& page_;
  bool done_ = false;
};

double Now() {
  static const double ticks = [] {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER count;
  ::QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / ticks;
}

// Loads the 30 resources below `base` at once; the seconds it took, or a
// negative number when a resource failed or came short.
double LoadPage(const std::wstring& base, int round, unsigned long long total) {
  Page page;
  std::vector<ComPtr<IMoniker>> monikers;
  std::vector<ComPtr<IBindCtx>> contexts;
  std::vector<ComPtr<IStream>> streams(kResources);
  const double start = Now();
  for (int i = 0; i < kResources; ++i) {
    wchar_t name[64];
    std::swprintf(name, 64, L"r%02d.bin?round=%d", i, round);
    const std::wstring url = base + name;
    ComPtr<IMoniker> moniker;
    ComPtr<IBindCtx> context;
    ComPtr<IBindStatusCallback> callback = Fetch::Create<IBindStatusCallback>(page);
    ++page.pending;
    HRESULT result = ::CreateURLMonikerEx(nullptr, url.c_str(), moniker.Out(), URL_MK_UNIFORM);
    if (SUCCEEDED(result)) {
      result = ::CreateAsyncBindCtx(0, callback.get(), nullptr, context.Out());
    }
    if (SUCCEEDED(result)) {
      result = moniker->BindToStorage(context.get(), nullptr, IID_IStream,
                                      reinterpret_cast<void**>(streams[i].Out()));
    }
    if (FAILED(result)) {
      static_cast<Fetch*>(callback.get())->Finish(result);
    }
    monikers.push_back(std::move(moniker));
    contexts.push_back(std::move(context));
  }
  while (page.pending > 0 && (Now() - start) * 1000 < kPageLimitMs) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  const double took = Now() - start;
  if (page.pending > 0 || page.failure != S_OK || page.bytes != total) {
    std::fprintf(stderr, "%ls round %d: %d left, result 0x%08lx, %llu of %llu bytes\n", base.c_str(),
                 round, page.pending, static_cast<unsigned long>(page.failure), page.bytes, total);
    return -1;
  }
  return took;
}

// Counts a response's body.
class Count final : public corvane::net::ExchangeEvents {
 public:
  void Redirected(const corvane::net::Url&, const std::string&) override {}
  void Head(const corvane::net::Url&, const corvane::net::ResponseParser&) override {}
  void Body(std::string_view bytes) override { size += bytes.size(); }
  unsigned long long size = 0;
};

// The same page through the transport alone: 6 threads take the resources
// in turn, as many as the handler keeps connections per origin.
double LoadPageDirect(corvane::win32::https::TlsConnections& connections, int port, int round,
                      unsigned long long total) {
  std::atomic<int> next{0};
  std::atomic<unsigned long long> bytes{0};
  std::atomic<bool> failed{false};
  const double start = Now();
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      for (int i = next++; i < kResources; i = next++) {
        char address[96];
        std::snprintf(address, sizeof address, "https://localhost:%d/r%02d.bin?round=%d", port, i, round);
        corvane::net::Request request;
        request.url = corvane::net::ParseUrl(address).value_or(corvane::net::Url{});
        Count count;
        const corvane::net::ExchangeResult result =
            corvane::net::Exchange(request, connections, nullptr, count, nullptr);
        failed = failed || result.error != corvane::net::FetchError::kNone;
        bytes += count.size;
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  const double took = Now() - start;
  if (failed || bytes != total) {
    std::fprintf(stderr, "the transport alone, round %d: %llu of %llu bytes\n", round,
                 bytes.load(), total);
    return -1;
  }
  return took;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: corvane_https_page_bench HTTPS_PORT HTTP_PORT TOTAL_BYTES [ROUNDS]\n");
    return 2;
  }
  const std::wstring https = L"https://localhost:" + std::to_wstring(std::atoi(argv[1])) + L"/";
  const std::wstring http = L"http://127.0.0.1:" + std::to_wstring(std::atoi(argv[2])) + L"/";
  const unsigned long long total = std::strtoull(argv[3], nullptr, 10);
  const int rounds = argc > 4 ? std::max(2, std::atoi(argv[4])) : 11;

  corvane::win32::ComApartment apartment;
  corvane::win32::https::HandlerSettings settings;
  settings.evenOnNewerSystems = true;
  corvane::win32::https::HttpsRegistration registration(settings);
  if (!registration.Registered()) {
    std::fprintf(stderr, "the https handler could not be registered\n");
    return 1;
  }

  std::vector<double> own, system, direct;
  double ownFirst = 0, systemFirst = 0, directFirst = 0;
  corvane::win32::https::TlsConnections connections;
  for (int round = 0; round < rounds; ++round) {
    const bool ownFirstThisRound = round % 2 == 0;
    for (int side = 0; side < 2; ++side) {
      const bool isOwn = (side == 0) == ownFirstThisRound;
      const double took = LoadPage(isOwn ? https : http, round, total);
      if (took < 0) {
        return 1;
      }
      if (round == 0) {
        (isOwn ? ownFirst : systemFirst) = took;
      } else {
        (isOwn ? own : system).push_back(took);
      }
    }
    const double took = LoadPageDirect(connections, std::atoi(argv[1]), round + rounds, total);
    if (took < 0) {
      return 1;
    }
    if (round == 0) {
      directFirst = took;
    } else {
      direct.push_back(took);
    }
  }
  const double ownMedian = Median(own), systemMedian = Median(system);
  std::printf("A page of %d resources (%llu bytes) over loopback, %d rounds after a first one:\n",
              kResources, total, rounds - 1);
  std::printf("  https, the program's own handler:  %7.1f ms median (first %.1f ms)\n",
              ownMedian * 1000, ownFirst * 1000);
  std::printf("  http, the system's handler:        %7.1f ms median (first %.1f ms)\n",
              systemMedian * 1000, systemFirst * 1000);
  std::printf("  ratio: %.2fx (target: at most 1.5x)\n", ownMedian / systemMedian);
  std::printf("  https, the transport alone:        %7.1f ms median (first %.1f ms), %.2fx\n",
              Median(direct) * 1000, directFirst * 1000, Median(direct) / systemMedian);
  return 0;
}
