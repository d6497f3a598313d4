// http_request against plain libcurl easy transfers of the same bodies from one loopback server.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "net/http_request.h"
#include "tests/support/http_peer.h"

namespace {

using test_support::HttpPeer;
using test_support::PeerReply;

constexpr std::size_t kLargeBody = 64u << 20;
constexpr int kSmallGets = 1000;

HttpPeer& large_peer() {
  static HttpPeer peer(PeerReply::with("200 OK", {"Content-Type: application/octet-stream"},
                                       std::string(kLargeBody, 'x')));
  return peer;
}

HttpPeer& small_peer() {
  static HttpPeer peer(PeerReply::with("200 OK", {"Content-Type: text/plain"}, "small reply body"));
  return peer;
}

std::size_t append_to_string(char* data, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The baseline: one easy handle per transfer, the body appended to a string in memory.
std::string plain_curl_get(const std::string& url) {
  std::string body;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &append_to_string);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body;
}

void baseline_large_get(benchmark::State& state) {
  const std::string url = large_peer().url("/large");
  for (auto _ : state) {
    const std::string body = plain_curl_get(url);
    if (body.size() != kLargeBody) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeBody));
}
BENCHMARK(baseline_large_get)->Unit(benchmark::kMillisecond)->UseRealTime();

void http_request_large_get(benchmark::State& state) {
  const std::string url = large_peer().url("/large");
  for (auto _ : state) {
    const net::Text body = net::http_request(url);
    if (body.size() != kLargeBody) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeBody));
}
BENCHMARK(http_request_large_get)->Unit(benchmark::kMillisecond)->UseRealTime();

void baseline_small_gets(benchmark::State& state) {
  const std::string url = small_peer().url("/small");
  for (auto _ : state) {
    for (int i = 0; i < kSmallGets; ++i) benchmark::DoNotOptimize(plain_curl_get(url));
  }
}
BENCHMARK(baseline_small_gets)->Unit(benchmark::kMillisecond)->UseRealTime();

void http_request_small_gets(benchmark::State& state) {
  const std::string url = small_peer().url("/small");
  for (auto _ : state) {
    for (int i = 0; i < kSmallGets; ++i) benchmark::DoNotOptimize(net::http_request(url));
  }
}
BENCHMARK(http_request_small_gets)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the runs as usual and then each operation's time against its baseline: the median
// when repetitions were asked for (loopback timings on a shared machine are noisy), else the run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        times_[run.run_name.str()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void print_ratios() const {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"http_request_large_get/real_time", "baseline_large_get/real_time"},
        {"http_request_small_gets/real_time", "baseline_small_gets/real_time"},
    };
    std::printf("\ntime against baseline (throughput is the inverse)\n");
    for (const auto& [measured, baseline] : pairs) {
      const auto a = times_.find(measured);
      const auto b = times_.find(baseline);
      if (a == times_.end() || b == times_.end()) continue;
      std::printf("  %-36s / %-32s %6.2f\n", measured.c_str(), baseline.c_str(), a->second / b->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
