#include "platform/fake/fake_backend.h"

namespace corvane::fake {

void FakeWebBrowser::Call(const std::string& operation, const std::string& argument) {
  calls.push_back(operation + "(" + argument + ")");
  if (onCall) {
    onCall(calls.back());
  }
  faults.Check(operation);
}

std::string FakeWebBrowser::LocationName() const {
  faults.Check("LocationName");
  return locationName;
}

const std::string& FakeWebBrowser::LocationURL() const {
  ++urlReads;
  faults.Check("LocationURL");
  return locationURL;
}

bool FakeWebBrowser::Busy() const {
  faults.Check("Busy");
  return busy;
}

float FakeWebBrowser::Zoom() const {
  faults.Check("Zoom");
  return zoom;
}

void FakeWebBrowser::SetZoom(float factor) {
  Call("SetZoom", std::to_string(factor));
  zoom = factor;
}

void FakeWebBrowser::RaiseNavigateComplete2(const std::string& address) {
  Event done{.type = EventType::NavigateComplete2, .control = Design().name, .text = address};
  window_.Raise(done);
}

void FakeWebBrowser::RaiseDownloadComplete() {
  Event done{.type = EventType::DownloadComplete, .control = Design().name};
  window_.Raise(done);
}

}  // namespace corvane::fake
