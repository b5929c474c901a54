// One SendRequest round trip against the demo store server on loopback, next to a bare
// libcurl POST of the same body with the same headers to the same server: the limit
// that SendRequest's own work (token, envelope, JSON checks) is measured against.
// Both make a new client and a new connection per request, as the kiosk does.
//
//   varnok-bench --benchmark_filter=Request
//
// Each request is timed on its own; the counters give the median and the 90th
// percentile in microseconds, and the interleaved run gives the ratio of the medians.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "store_server_process.h"
#include "varnok/platform.h"
#include "varnok/request.h"
#include "varnok/utf.h"

namespace {

constexpr char16_t kResource[] = u"/app/buscaProduto";
constexpr char16_t kStore[] = u"quorvel";
constexpr char16_t kBody[] = u"{\"cnpj\":\"quorvel\",\"codigo\":\"7891234567895\"}";
constexpr int kRequests = 1000;

using Clock = std::chrono::steady_clock;

varnok::test::StoreServerProcess& storeServer() {
  static varnok::test::StoreServerProcess server;
  return server;
}

struct CurlEasyCleanup {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct CurlListFree {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

size_t keepBody(char* data, size_t size, size_t count, void* userData) {
  static_cast<std::string*>(userData)->append(data, size * count);
  return size * count;
}

// The same POST with nothing of SendRequest around it.
class BarePost {
 public:
  BarePost()
      : url_(varnok::json::ToUtf8(varnok::json::FromUtf8(storeServer().baseUrl()) + u"/" +
                                  kResource)),
        body_(varnok::json::ToUtf8(kBody)),
        authorization_("Authorization: " + varnok::json::ToUtf8(varnok::authorizationHeader(
                                               kStore, kResource, varnok::localNow()))) {}

  std::string send() const {
    std::unique_ptr<CURL, CurlEasyCleanup> handle(curl_easy_init());
    curl_slist* list = curl_slist_append(nullptr, "Content-Type: application/json");
    list = curl_slist_append(list, authorization_.c_str());
    list = curl_slist_append(list, "Expect:");
    std::unique_ptr<curl_slist, CurlListFree> headers(list);
    std::string reply;
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body_.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &keepBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply);
    long status = 0;
    if (curl_easy_perform(h) != CURLE_OK ||
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
      throw std::runtime_error("bare POST failed");
    }
    return reply;
  }

 private:
  std::string url_;
  std::string body_;
  std::string authorization_;
};

// True when the server answered with data, as the demo catalogue does for this code.
bool sendRequest() {
  std::u16string reply;
  const std::u16string base = varnok::json::FromUtf8(storeServer().baseUrl());
  return varnok::SendRequest(reply, kResource, base, kStore, kBody);
}

double microseconds(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// Median and 90th percentile of the samples, in microseconds.
void report(benchmark::State& state, std::vector<double> samples, const std::string& prefix) {
  std::sort(samples.begin(), samples.end());
  state.counters[prefix + "median_us"] = samples[samples.size() / 2];
  state.counters[prefix + "p90_us"] = samples[samples.size() * 9 / 10];
}

template <typename Call>
double timed(Call&& call) {
  const auto start = Clock::now();
  call();
  return microseconds(Clock::now() - start);
}

void BM_RequestSendRequest(benchmark::State& state) {
  sendRequest();  // starts the server and warms both sides up
  std::vector<double> samples;
  samples.reserve(kRequests);
  for (auto _ : state) {
    bool answered = false;
    samples.push_back(timed([&] { answered = sendRequest(); }));
    if (!answered) {
      state.SkipWithError("SendRequest got no answer from the store server");
      return;
    }
  }
  report(state, samples, "");
}

void BM_RequestBarePost(benchmark::State& state) {
  const BarePost bare;
  bare.send();
  std::vector<double> samples;
  samples.reserve(kRequests);
  for (auto _ : state) {
    samples.push_back(timed([&] { benchmark::DoNotOptimize(bare.send()); }));
  }
  report(state, samples, "");
}

// Both alternating, so that any drift of the machine hits them alike.
void BM_RequestInterleaved(benchmark::State& state) {
  const BarePost bare;
  bare.send();
  std::vector<double> sendSamples, bareSamples;
  for (auto _ : state) {
    bool answered = false;
    sendSamples.push_back(timed([&] { answered = sendRequest(); }));
    bareSamples.push_back(timed([&] { benchmark::DoNotOptimize(bare.send()); }));
    if (!answered) {
      state.SkipWithError("SendRequest got no answer from the store server");
      return;
    }
  }
  std::vector<double> sortedSend = sendSamples, sortedBare = bareSamples;
  std::sort(sortedSend.begin(), sortedSend.end());
  std::sort(sortedBare.begin(), sortedBare.end());
  report(state, sendSamples, "send_");
  report(state, bareSamples, "bare_");
  state.counters["median_ratio"] =
      sortedSend[sortedSend.size() / 2] / sortedBare[sortedBare.size() / 2];
}

BENCHMARK(BM_RequestSendRequest)->Iterations(kRequests)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RequestBarePost)->Iterations(kRequests)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RequestInterleaved)->Iterations(kRequests)->Unit(benchmark::kMicrosecond);

}  // namespace
