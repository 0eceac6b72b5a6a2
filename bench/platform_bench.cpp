// Platform wait core: a posted message's round trip between two threads, and
// how long a set event takes to wake a waiting thread.
#include <benchmark/benchmark.h>
#include <windows.h>

namespace {

struct Echo {
  DWORD replyTo = 0;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Answers every posted message by posting it back, until WM_QUIT.
DWORD EchoThread(LPVOID param) {
  auto* echo = static_cast<Echo*>(param);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  EventModify(echo->ready, EVENT_SET);
  while (GetMessageW(&msg, nullptr, 0, 0)) PostThreadMessageW(echo->replyTo, msg.message, msg.wParam, 0);
  return 0;
}

void BM_PostRoundTrip(benchmark::State& state) {
  Echo echo;
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  echo.replyTo = GetCurrentThreadId();
  DWORD id;
  HANDLE thread = CreateThread(nullptr, 0, EchoThread, &echo, 0, &id);
  WaitForSingleObject(echo.ready, INFINITE);
  for (auto _ : state) {
    PostThreadMessageW(id, WM_USER, 1, 0);
    GetMessageW(&msg, nullptr, 0, 0);
  }
  PostThreadMessageW(id, WM_QUIT, 0, 0);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(echo.ready);
}
BENCHMARK(BM_PostRoundTrip)->UseRealTime();

struct PingPong {
  HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  volatile bool stop = false;
};

DWORD PongThread(LPVOID param) {
  auto* p = static_cast<PingPong*>(param);
  for (;;) {
    WaitForSingleObject(p->ping, INFINITE);
    if (p->stop) return 0;
    EventModify(p->pong, EVENT_SET);
  }
}

// Set-to-wake latency, measured as half of an event ping-pong.
void BM_EventSetToWake(benchmark::State& state) {
  PingPong p;
  DWORD id;
  HANDLE thread = CreateThread(nullptr, 0, PongThread, &p, 0, &id);
  for (auto _ : state) {
    EventModify(p.ping, EVENT_SET);
    WaitForSingleObject(p.pong, INFINITE);
  }
  state.counters["set_to_wake_us"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  p.stop = true;
  EventModify(p.ping, EVENT_SET);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
BENCHMARK(BM_EventSetToWake)->UseRealTime();

void BM_MessageAwareWaitOnSignalledEvent(benchmark::State& state) {
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(MsgWaitForMultipleObjectsEx(1, &event, 0, QS_ALLINPUT, 0));
  CloseHandle(event);
}
BENCHMARK(BM_MessageAwareWaitOnSignalledEvent);

}  // namespace

BENCHMARK_MAIN();
