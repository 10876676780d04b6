// One address-history update (the browser window's NavigateComplete2) on an
// address list of 32,767 entries, the most the list holds, on the fake
// backend: once with the reported address at the bottom of the list (it is
// compared with every entry and then moves to the top), once with a new
// address (every entry is compared, the oldest one is dropped).
//
// Prints the median time per update over several repetitions.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/program.h"
#include "browser/form1.h"
#include "platform/fake/fake_backend.h"

namespace {

using corvane::BuildSettings;
using corvane::Form1;
using corvane::Ports;
using corvane::Program;
using corvane::fake::FakeBackend;

// The browser window, loaded, with a full address list of page addresses.
struct FullHistory {
  FakeBackend backend;
  Program program{Ports{backend}, BuildSettings{"127.0.0.1:8765"}};
  corvane::fake::FakeComboBox* box = nullptr;
  corvane::fake::FakeWebBrowser* web = nullptr;

  FullHistory() {
    program.Get<Form1>().Show();
    box = &backend.Window("Form1").Combo("cboAddress");
    web = &backend.Window("Form1").Browser("brwWebBrowser");
    std::vector<std::string> entries;
    entries.reserve(Form1::kMaxAddresses);
    for (int i = 0; i < Form1::kMaxAddresses; ++i) {
      entries.push_back("http://127.0.0.1:8765/pages/visited-" + std::to_string(i) + ".html");
    }
    box->SetItems(std::move(entries));
    web->locationName = "Page";
  }
};

void CheckFull(benchmark::State& state, const FullHistory& h) {
  if (h.box->Items().size() != static_cast<std::size_t>(Form1::kMaxAddresses) ||
      !h.web->calls.empty() || h.box->ListIndex() != 0) {
    state.SkipWithError("the history update did not keep a full list");
  }
}

void BM_HistoryUpdate_FoundAtBottom(benchmark::State& state) {
  FullHistory h;
  h.web->calls.clear();
  for (auto _ : state) {
    // The bottom entry is a different one each time: the last update moved
    // the previous bottom entry to the top.
    h.web->locationURL = h.box->Items().back();
    h.web->RaiseNavigateComplete2(h.web->locationURL);
  }
  CheckFull(state, h);
  state.SetItemsProcessed(state.iterations());
}

void BM_HistoryUpdate_NewAddress(benchmark::State& state) {
  FullHistory h;
  h.web->calls.clear();
  std::int64_t n = 0;
  for (auto _ : state) {
    h.web->locationURL = "http://127.0.0.1:8765/pages/new-" + std::to_string(n++) + ".html";
    h.web->RaiseNavigateComplete2(h.web->locationURL);
  }
  CheckFull(state, h);
  state.SetItemsProcessed(state.iterations());
}

// Each iteration is one update, so the time per iteration is the time per update.
BENCHMARK(BM_HistoryUpdate_FoundAtBottom)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->DisplayAggregatesOnly(true);
BENCHMARK(BM_HistoryUpdate_NewAddress)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->DisplayAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
