#include "platform/gtk/downloads.h"

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/kit/download_names.h"
#include "platform/gtk/download.h"

namespace corvane::gtk {

Downloads::Downloads(WebKitWebContext* context) {
  g_signal_connect(context, "download-started", G_CALLBACK(&Downloads::OnStarted), this);
}

Downloads::~Downloads() {
  closing_ = true;
  running_.clear();
  if (sweep_ != 0) {
    g_source_remove(sweep_);
  }
}

namespace {

constexpr const char* kPolicyKey = "corvane-page-policy";

// The policy of the page that offers the download, if it has one.
PageEvents* PolicyOf(WebKitDownload* download) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  return view != nullptr ? static_cast<PageEvents*>(g_object_get_data(G_OBJECT(view), kPolicyKey))
                         : nullptr;
}

}  // namespace

void KeepPagePolicy(WebKitWebView* view, PageEvents* policy) {
  g_object_set_data(G_OBJECT(view), kPolicyKey, policy);
}

// The page's policy says whether the download is asked about; a download of
// no page with a policy is asked only when no other question is shown.
void Downloads::Question(Download* download, WebKitDownload* engine) {
  PageEvents* policy = PolicyOf(engine);
  if (policy != nullptr ? !policy->DownloadOffered(waiting_.size()) : asking_ != nullptr) {
    download->Refuse();
  } else if (asking_ == nullptr) {
    asking_ = download;
    download->Ask();
  } else {
    waiting_.push_back(download);
  }
}

void Downloads::Answered(Download* download) {
  if (closing_) {
    return;
  }
  std::erase(waiting_, download);
  if (asking_ == download) {
    asking_ = nullptr;
  }
  while (asking_ == nullptr && !waiting_.empty()) {
    asking_ = waiting_.front();
    waiting_.erase(waiting_.begin());
    asking_->Ask();
  }
}

void Downloads::Ended() {
  if (sweep_ == 0) {
    sweep_ = g_idle_add(&Downloads::Sweep, this);
  }
}

void Downloads::OnStarted(WebKitWebContext* /*context*/, WebKitDownload* download,
                          gpointer self) {
  auto* downloads = static_cast<Downloads*>(self);
  try {
    downloads->running_.push_back(std::make_unique<Download>(*downloads, download));
  } catch (...) {
    webkit_download_cancel(download);  // what cannot ask is not saved
  }
}

gboolean Downloads::Sweep(gpointer self) {
  auto* downloads = static_cast<Downloads*>(self);
  downloads->sweep_ = 0;
  std::erase_if(downloads->running_, [](const auto& download) { return download->Ended(); });
  return G_SOURCE_REMOVE;
}

namespace {

gboolean OnDecidePolicy(WebKitWebView* /*view*/, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer /*data*/) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    return FALSE;
  }
  auto* responseDecision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(responseDecision);
  SoupMessageHeaders* headers =
      response != nullptr ? webkit_uri_response_get_http_headers(response) : nullptr;
  const char* disposition =
      headers != nullptr ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  if ((disposition != nullptr && IsAttachment(disposition)) ||
      webkit_response_policy_decision_is_mime_type_supported(responseDecision) == FALSE) {
    webkit_policy_decision_download(decision);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void GuardDownloads(WebKitWebContext* context) {
  auto downloads = std::make_unique<Downloads>(context);
  // The context owns it from here and ends it with itself.
  g_object_set_data_full(
      G_OBJECT(context), "corvane-downloads", downloads.release(),
      [](gpointer data) { const std::unique_ptr<Downloads> owned(static_cast<Downloads*>(data)); });
}

void DownloadUnshownResponses(WebKitWebView* view) {
  g_signal_connect(view, "decide-policy", G_CALLBACK(&OnDecidePolicy), nullptr);
}

}  // namespace corvane::gtk
