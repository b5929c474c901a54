// Scan to screen in the kiosk window against the demo store server on loopback: from
// the 13th typed character to the third result line written, next to the bare
// SendRequest round trip with the same body to the same server. The difference of the
// medians is the kiosk's own share: decoding, the body, the reply's parse and the
// display.
//
//   varnok-bench --benchmark_filter=Kiosk
//
// KioskWorstReply feeds the largest reply the server client accepts (an envelope whose
// data is 8.4 million ones, just under the 16 MiB cap) through SendRequest and
// LookupScan in the window, and reports the process's resident memory before the
// scan, its peak during the lookup and after it, and how long the lookup took. The
// scripted server runs in this process and holds the reply (16 MiB) throughout, and a
// copy of it while it sends.
//
//   varnok-bench --benchmark_filter=Kiosk
//
// This file also holds the benchmark program's main: the window needs a QApplication,
// which runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "UfrmPrincipal.h"
#include "scripted_server.h"
#include "store_server_process.h"
#include "varnok/platform.h"
#include "varnok/regional.h"
#include "varnok/request.h"
#include "varnok/utf.h"

namespace {

constexpr int kScans = 1000;
constexpr char kCode[] = "7891234567895";
constexpr char16_t kBody[] = u"{\"cnpj\":\"quorvel\",\"codigo\":\"7891234567895\"}";

using Clock = std::chrono::steady_clock;

// The window, its settings folder and the server it asks, made once for the run.
class KioskUnderTest {
 public:
  KioskUnderTest() : folder_(dir_.path().toStdString()) {
    std::filesystem::create_directories(folder_ / "ini");
    std::ofstream(folder_ / "ini" / "config-check.ini")
        << "[CODIGO]\nTipo=T\nTamanho=4\n[CONEXAO]\nHost=127.0.0.1\nBanco=quorvel\nPorta="
        << server_.port() << "\nUsuario=1\n";
    varnok::setExecutableDirOverride(folder_);
    varnok::setRegionalSettings({u',', u'/', u':'});
    window_ = std::make_unique<varnok::TfrmVarnok>();
  }
  ~KioskUnderTest() { varnok::setExecutableDirOverride({}); }

  varnok::TfrmVarnok& window() { return *window_; }
  std::u16string baseUrl() const { return varnok::json::FromUtf8(server_.baseUrl()); }
  bool logged() const { return std::filesystem::exists(folder_ / "Log"); }

 private:
  varnok::test::StoreServerProcess server_;
  QTemporaryDir dir_;
  std::filesystem::path folder_;
  std::unique_ptr<varnok::TfrmVarnok> window_;
};

// Made on first use and destroyed before the QApplication, as a window must be.
std::unique_ptr<KioskUnderTest> kioskInstance;

KioskUnderTest& kiosk() {
  if (!kioskInstance) {
    kioskInstance = std::make_unique<KioskUnderTest>();
  }
  return *kioskInstance;
}

void typeKey(QWidget& window, char digit) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (digit - '0'), Qt::NoModifier,
                  QString(QChar(digit)));
  QApplication::sendEvent(&window, &press);
}

double microseconds(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

double median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

double percentile90(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() * 9 / 10];
}

// One scan and one bare round trip in turn, so that any drift of the machine hits both.
void BM_KioskScanToScreen(benchmark::State& state) {
  KioskUnderTest& under = kiosk();
  varnok::TfrmVarnok& window = under.window();
  const std::u16string base = under.baseUrl();
  std::vector<double> scans, requests;
  scans.reserve(kScans);
  requests.reserve(kScans);
  for (auto _ : state) {
    window.lblProduto3->clear();
    for (int i = 0; i < 12; ++i) {
      typeKey(window, kCode[i]);
    }
    const auto start = Clock::now();
    typeKey(window, kCode[12]);
    const auto shown = Clock::now();
    if (window.lblProduto3->text() != QStringLiteral("Preço Venda: 21,90")) {
      state.SkipWithError("the scan did not show the product");
      return;
    }
    std::u16string reply;
    const auto requestStart = Clock::now();
    const bool answered = varnok::SendRequest(reply, u"/app/buscaProduto", base, u"quorvel", kBody);
    const auto requestEnd = Clock::now();
    if (!answered) {
      state.SkipWithError("SendRequest got no answer from the store server");
      return;
    }
    scans.push_back(microseconds(shown - start));
    requests.push_back(microseconds(requestEnd - requestStart));
    state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
  }
  if (under.logged()) {
    state.SkipWithError("the kiosk logged an error");
    return;
  }
  state.counters["scan_median_us"] = median(scans);
  state.counters["scan_p90_us"] = percentile90(scans);
  state.counters["request_median_us"] = median(requests);
  state.counters["request_p90_us"] = percentile90(requests);
  state.counters["kiosk_share_us"] = median(scans) - median(requests);
  state.counters["scan_per_request"] = median(scans) / median(requests);
}

// The figure of one line of /proc/self/status ("VmRSS", "VmHWM") in MB.
double statusMegabytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
  }
  return -1.0;
}

// Starts the peak of resident memory (VmHWM) again from the present figure.
bool resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

// {"success":true,"data":[1,1,...,1]} of 16,777,201 bytes.
std::string worstReply() {
  const std::string head = "{\"success\":true,\"data\":[";
  const std::string tail = "]}";
  constexpr std::size_t kBytes = 16777201;
  std::string body = head;
  body.reserve(kBytes);
  const std::size_t ones = (kBytes - head.size() - tail.size() + 1) / 2;
  for (std::size_t i = 0; i < ones; ++i) {
    if (i > 0) body += ',';
    body += '1';
  }
  return body + tail;
}

void BM_KioskWorstReply(benchmark::State& state) {
  varnok::test::ScriptedServer server;
  server.setReply(varnok::test::makeReply(200, "application/json", worstReply()));
  QTemporaryDir dir;
  const std::filesystem::path folder = dir.path().toStdString();
  std::filesystem::create_directories(folder / "ini");
  std::ofstream(folder / "ini" / "config-check.ini")
      << "[CODIGO]\nTipo=T\nTamanho=4\n[CONEXAO]\nHost=127.0.0.1\nBanco=quorvel\nPorta="
      << server.port() << "\nUsuario=1\n";
  varnok::setExecutableDirOverride(folder);
  double before = 0.0;
  double peak = 0.0;
  double after = 0.0;
  double seconds = 0.0;
  {
    varnok::TfrmVarnok window;
    before = statusMegabytes("VmRSS");
    for (auto _ : state) {
      if (!resetPeak()) {
        state.SkipWithError("/proc/self/clear_refs cannot be written");
        break;
      }
      for (int i = 0; i < 12; ++i) typeKey(window, kCode[i]);
      const auto start = Clock::now();
      typeKey(window, kCode[12]);
      const auto end = Clock::now();
      QApplication::processEvents();
      seconds = std::max(seconds, std::chrono::duration<double>(end - start).count());
      peak = std::max(peak, statusMegabytes("VmHWM"));
      after = statusMegabytes("VmRSS");
      state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
  }
  // Item 0 is the integer 1, not a product: the lookup ends with a logged error.
  if (!std::filesystem::exists(folder / "Log")) {
    state.SkipWithError("the lookup of the worst reply logged nothing");
  }
  varnok::setExecutableDirOverride({});
  if (server.requests().empty()) state.SkipWithError("the window never asked the server");
  state.counters["rss_before_MB"] = before;
  state.counters["peak_MB"] = peak;
  state.counters["rss_after_MB"] = after;
  state.counters["after_minus_before_MB"] = after - before;
  state.counters["slowest_lookup_s"] = seconds;
}

BENCHMARK(BM_KioskWorstReply)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_KioskScanToScreen)->Iterations(kScans)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // As the kiosk's own main does.
  varnok::returnLargeBlocksToSystem();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kioskInstance.reset();
  return 0;
}
