// http_request against plain libcurl easy transfers of the same bodies from one loopback server,
// and the event hook's longest gap while http_request waits or reads a large body.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <algorithm>

#include "net/event_pump.h"
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

using Clock = std::chrono::steady_clock;

// Runs the baseline and http_request in turns, each iteration in the other order, so that both
// see the same machine; reports both rates and the time of http_request against the baseline.
template <typename Baseline, typename Measured>
void against_baseline(benchmark::State& state, double units_per_run, const char* unit,
                      Baseline baseline, Measured measured) {
  Clock::duration baseline_time{};
  Clock::duration measured_time{};
  bool baseline_first = true;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool run_baseline = (turn == 0) == baseline_first;
      const auto start = Clock::now();
      if (!(run_baseline ? baseline() : measured())) state.SkipWithError("wrong body");
      (run_baseline ? baseline_time : measured_time) += Clock::now() - start;
    }
    baseline_first = !baseline_first;
  }
  const double runs = static_cast<double>(state.iterations()) * units_per_run;
  const auto seconds = [](Clock::duration time) {
    return std::chrono::duration<double>(time).count();
  };
  state.counters[std::string("baseline_") + unit] = runs / seconds(baseline_time);
  state.counters[std::string("http_request_") + unit] = runs / seconds(measured_time);
  state.counters["time_ratio"] = seconds(measured_time) / seconds(baseline_time);
}

void large_get(benchmark::State& state) {
  const std::string url = large_peer().url("/large");
  against_baseline(
      state, static_cast<double>(kLargeBody) / (1 << 20), "MiB/s",
      [&] { return plain_curl_get(url).size() == kLargeBody; },
      [&] { return net::http_request(url).size() == kLargeBody; });
}
BENCHMARK(large_get)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

void small_gets(benchmark::State& state) {
  const std::string url = small_peer().url("/small");
  const std::string expected = "small reply body";
  against_baseline(
      state, kSmallGets, "GETs/s",
      [&] {
        bool all = true;
        for (int i = 0; i < kSmallGets; ++i) all = plain_curl_get(url) == expected && all;
        return all;
      },
      [&] {
        bool all = true;
        for (int i = 0; i < kSmallGets; ++i) all = net::http_request(url) == expected && all;
        return all;
      });
}
BENCHMARK(small_gets)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- The event hook's longest gap ---------------------------------------------------------------
// Goal: while http_request waits or reads, the hook runs at least every 50 ms. The counters are
// the longest gap seen (ms), the goal and the gap against the goal (at most 1 is met).

constexpr double kHookGoalMs = 50;

// Runs `call` with a hook that records when it runs; returns the longest gap in milliseconds,
// counting from the start of the call to the first run and from the last run to the end.
template <typename Call>
double longest_hook_gap_ms(Call call) {
  std::vector<Clock::time_point> runs;
  runs.reserve(1 << 16);
  net::set_event_pump([&runs] { runs.push_back(Clock::now()); });
  const auto start = Clock::now();
  call();
  const auto end = Clock::now();
  net::set_event_pump({});
  Clock::duration longest = runs.empty() ? end - start : runs.front() - start;
  for (std::size_t i = 1; i < runs.size(); ++i) longest = std::max(longest, runs[i] - runs[i - 1]);
  if (!runs.empty()) longest = std::max(longest, end - runs.back());
  return std::chrono::duration<double, std::milli>(longest).count();
}

double peak_rss_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void report_gap(benchmark::State& state, double longest_ms) {
  state.counters["hook_gap_ms"] = longest_ms;
  state.counters["goal_ms"] = kHookGoalMs;
  state.counters["gap_vs_goal"] = longest_ms / kHookGoalMs;
  state.counters["peak_rss_MiB"] = peak_rss_mib();
}

// A server that never answers, a 2-second time-out: the whole wait. Also prints how long past
// the time-out the call went on (`beyond_timeout_ms`), the figure the tests only bound loosely.
void hook_gap_waiting(benchmark::State& state) {
  HttpPeer peer(PeerReply{.action = PeerReply::Action::never_answer});
  double longest = 0;
  double beyond = 0;
  for (auto _ : state) {
    const auto began = Clock::now();
    longest = std::max(longest, longest_hook_gap_ms([&] {
                         net::http_request(peer.url("/silent"), {.timeout_seconds = 2});
                       }));
    const std::chrono::duration<double, std::milli> took = Clock::now() - began;
    beyond = std::max(beyond, took.count() - 2000.0);
  }
  report_gap(state, longest);
  state.counters["beyond_timeout_ms"] = beyond;
}
BENCHMARK(hook_gap_waiting)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A large body from a fast loopback server: reading it and handing it back, response bytes
// included. Argument: the body size in MiB.
void hook_gap_large_body(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  double longest = 0;
  {
    HttpPeer peer(PeerReply::with("200 OK", {"Content-Type: application/octet-stream"},
                                  std::string(size, 'x')));
    for (auto _ : state) {
      // The body outlives the measurement: letting it go is the caller's own pause, not one of
      // the request's.
      net::Bytes bytes;
      net::Text text;
      longest = std::max(longest, longest_hook_gap_ms([&] {
                           text = net::http_request(peer.url("/large"), {.response_bytes = &bytes});
                         }));
      if (text.size() != size || bytes.size() != size) state.SkipWithError("wrong body");
    }
  }
  report_gap(state, longest);
}
BENCHMARK(hook_gap_large_body)
    ->Arg(50)
    ->Arg(512)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Prints the runs as usual, then the time ratios (the median when there are repetitions).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (const auto gap = run.counters.find("hook_gap_ms"); gap != run.counters.end())
        gaps_[run.benchmark_name()] = gap->second.value;
      const auto ratio = run.counters.find("time_ratio");
      if (ratio == run.counters.end()) continue;
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        ratios_[run.run_name.function_name] = ratio->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void print_ratios() const {
    std::printf("\nhttp_request time against plain libcurl (throughput is the inverse)\n");
    for (const auto& [name, ratio] : ratios_) std::printf("  %-12s %6.2f\n", name.c_str(), ratio);
    if (gaps_.empty()) return;
    std::printf("\nevent hook's longest gap, goal at most %.0f ms\n", kHookGoalMs);
    for (const auto& [name, gap] : gaps_) {
      std::printf("  %-48s %8.1f ms  %s\n", name.c_str(), gap,
                  gap <= kHookGoalMs ? "met" : "MISSED");
    }
  }

 private:
  std::map<std::string, double> ratios_;
  std::map<std::string, double> gaps_;
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
