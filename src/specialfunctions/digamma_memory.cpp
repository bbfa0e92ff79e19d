#include "digamma_memory.h"

#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "digamma_lanes.h"

namespace quorix::detail {

namespace {

// An entry is claimed (pending) by the thread that will sum it, and ready
// once summed. Values are never changed after that.
struct Entry {
  SeriesValue result;
  bool ready = false;
};

struct Shard {
  std::mutex mutex;
  std::condition_variable summed;
  std::unordered_map<std::uint64_t, Entry> entries;
};

constexpr std::size_t kShards = 16;

// Never destroyed: the look-ahead thread may still publish while the
// process exits.
std::array<Shard, kShards>& Shards() {
  static auto* shards = new std::array<Shard, kShards>();
  return *shards;
}

std::uint64_t Key(double x) { return std::bit_cast<std::uint64_t>(x); }

Shard& ShardOf(std::uint64_t key) {
  // Arguments j + a differ in their upper mantissa bits: mix before picking.
  return Shards()[(key * 0x9E3779B97F4A7C15ull) >> 60];
}

enum class Claim { kReady, kPending, kClaimed };

// Looks x up and claims it when nobody has. `found` receives a ready value.
Claim LookUpOrClaim(double x, SeriesValue& found) {
  const std::uint64_t key = Key(x);
  Shard& shard = ShardOf(key);
  std::lock_guard lock(shard.mutex);
  auto [it, inserted] = shard.entries.try_emplace(key);
  if (inserted) return Claim::kClaimed;
  if (!it->second.ready) return Claim::kPending;
  found = it->second.result;
  return Claim::kReady;
}

void Publish(double x, const SeriesValue& value) {
  const std::uint64_t key = Key(x);
  Shard& shard = ShardOf(key);
  {
    std::lock_guard lock(shard.mutex);
    Entry& entry = shard.entries[key];
    entry.result = value;
    entry.ready = true;
  }
  shard.summed.notify_all();
}

SeriesValue WaitFor(double x) {
  const std::uint64_t key = Key(x);
  Shard& shard = ShardOf(key);
  std::unique_lock lock(shard.mutex);
  shard.summed.wait(lock, [&] { return shard.entries[key].ready; });
  return shard.entries[key].result;
}

// Sums a batch of claimed arguments and publishes every value.
void SumAndPublish(const std::vector<double>& batch) {
  std::vector<double> values(batch.size(), 0.0);
  std::vector<std::int32_t> statuses(batch.size());
  SumDigammaSeriesLanes(batch.data(), static_cast<int>(batch.size()), values.data(), statuses.data());
  for (std::size_t i = 0; i < batch.size(); ++i) Publish(batch[i], {statuses[i] != 0 ? values[i] : 0.0, statuses[i]});
}

// Claims those of the arguments that nobody has claimed yet.
std::vector<double> ClaimFree(std::span<const double> arguments) {
  std::vector<double> claimed;
  for (double a : arguments) {
    SeriesValue ignored;
    if (LookUpOrClaim(a, ignored) == Claim::kClaimed) claimed.push_back(a);
  }
  return claimed;
}

// A second core sums the batch after the one being summed, which a loop
// over j + offset will most likely ask for next. It takes one batch at a
// time and turns down more while busy, so it never holds up the caller.
class LookAhead {
 public:
  static LookAhead& Instance() {
    static LookAhead* instance = new LookAhead();  // lives until exit, like its thread
    return *instance;
  }
  bool Available() const { return available_; }
  void WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
  }
  // Claims what is free of `arguments` and sums it on the second core;
  // nothing happens while that core is busy.
  void Offer(std::span<const double> arguments) {
    std::lock_guard lock(mutex_);
    if (busy_) return;
    work_ = ClaimFree(arguments);
    if (work_.empty()) return;
    busy_ = true;
    wake_.notify_one();
  }

 private:
  LookAhead() : available_(std::thread::hardware_concurrency() > 1) {
    if (available_) std::thread([this] { Run(); }).detach();
  }
  void Run() {
    for (;;) {
      std::vector<double> batch;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return busy_; });
        batch.swap(work_);
      }
      SumAndPublish(batch);
      {
        std::lock_guard lock(mutex_);
        busy_ = false;
      }
      idle_.notify_all();
    }
  }

  const bool available_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::vector<double> work_;
  bool busy_ = false;
};

SeriesValue LookUpOrSum(double x, std::span<const double> companions, std::span<const double> ahead);

// Each thread keeps the values it has looked up in a small direct-mapped
// cache in front of the shared map, so a warm evaluation takes no lock.
// Remembered values never change; forgetting them all advances the epoch,
// which empties every thread's cache at its next look-up.
std::atomic<std::uint64_t> gEpoch{1};

struct CachedValue {
  std::uint64_t key = 0;
  std::uint64_t epoch = 0;
  SeriesValue value;
};
constexpr std::size_t kCacheSize = 512;
thread_local std::array<CachedValue, kCacheSize> tCache;

CachedValue& CacheSlot(std::uint64_t key) { return tCache[(key * 0x9E3779B97F4A7C15ull) >> 55]; }

}  // namespace

SeriesValue RememberedSeries(double x, std::span<const double> companions, std::span<const double> ahead) {
  const std::uint64_t key = Key(x);
  const std::uint64_t epoch = gEpoch.load(std::memory_order_acquire);
  CachedValue& slot = CacheSlot(key);
  if (slot.key == key && slot.epoch == epoch) return slot.value;
  const SeriesValue found = LookUpOrSum(x, companions, ahead);
  slot = {key, epoch, found};
  return found;
}

namespace {

SeriesValue LookUpOrSum(double x, std::span<const double> companions, std::span<const double> ahead) {
  SeriesValue result;
  const Claim claim = LookUpOrClaim(x, result);
  if (claim == Claim::kReady) return result;
  if (claim == Claim::kPending) {
    // Somebody is summing x already: sum what comes after it meanwhile.
    const std::vector<double> batch = ClaimFree(ahead);
    if (!batch.empty()) SumAndPublish(batch);
    return WaitFor(x);
  }
  // Ours to sum, with the companions nobody has claimed yet; the batch
  // after it goes to the second core.
  if (!ahead.empty() && LookAhead::Instance().Available()) LookAhead::Instance().Offer(ahead);
  std::vector<double> batch{x};
  for (double c : ClaimFree(companions)) batch.push_back(c);
  SumAndPublish(batch);
  return WaitFor(x);
}

}  // namespace

std::size_t RememberedSeriesCount() {
  std::size_t count = 0;
  for (Shard& shard : Shards()) {
    std::lock_guard lock(shard.mutex);
    count += shard.entries.size();
  }
  return count;
}

void ForgetRememberedSeries() {
  LookAhead::Instance().WaitUntilIdle();
  gEpoch.fetch_add(1, std::memory_order_acq_rel);
  for (Shard& shard : Shards()) {
    std::lock_guard lock(shard.mutex);
    shard.entries.clear();
  }
}

}  // namespace quorix::detail
