#include "digamma_memory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
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
  int waiters = 0;  // threads asleep until it is ready: it stays until they wake
};

struct Shard {
  std::mutex mutex;
  std::condition_variable summed;
  std::unordered_map<std::uint64_t, Entry> entries;
};

constexpr std::size_t kShards = 16;

// A process that meets ever new arguments (a study over thousands of
// exponents n, a fuzzer) would otherwise keep every series for good. A shard
// that reaches its limit forgets its ready entries; a value forgotten and
// asked again is summed again, to the same bits. 2048 a shard is about 2 MB
// in all, far above the hundred or so series of a whole sweep.
constexpr std::size_t kShardLimit = 2048;
std::atomic<std::size_t> gShardLimit{kShardLimit};

// Never destroyed: the helper thread may still publish while the
// process exits.
std::array<Shard, kShards>& Shards() {
  static auto* shards = new std::array<Shard, kShards>();
  return *shards;
}

// The bits of x (by memcpy: not every target's C++ library has std::bit_cast).
std::uint64_t Key(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

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
  if (shard.entries.size() >= gShardLimit.load(std::memory_order_relaxed)) {
    std::erase_if(shard.entries, [](const auto& item) { return item.second.ready && item.second.waiters == 0; });
  }
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

// Waits until x is summed. False when x is no longer remembered: it was
// ready, and a full shard has forgotten it since.
bool WaitFor(double x, SeriesValue& value) {
  const std::uint64_t key = Key(x);
  Shard& shard = ShardOf(key);
  std::unique_lock lock(shard.mutex);
  const auto it = shard.entries.find(key);
  if (it == shard.entries.end()) return false;
  Entry& entry = it->second;  // kept in place while waited for
  ++entry.waiters;
  shard.summed.wait(lock, [&] { return entry.ready; });
  --entry.waiters;
  value = entry.result;
  return true;
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

// Units of claimed arguments, one pass of lanes each, that any thread may
// sum: a helper thread on a second core, and every caller that would
// otherwise wait for a value. A thread that claims a group of arguments
// sums the unit of the one it needs and posts the others; every posted unit
// is taken exactly once, by the first thread that gets to it, and the
// poster takes back whatever is still queued when its own unit is done, so
// a unit never waits for a thread that is not running. Nothing is summed on
// speculation: only what a caller claimed.
class Units {
 public:
  static Units& Instance() {
    static Units* instance = new Units();  // lives until exit, like its thread
    return *instance;
  }
  void Post(std::vector<double> unit) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(unit));
    }
    wake_.notify_one();
  }
  // Sums queued units until none is left.
  void Drain() {
    for (std::vector<double> unit; Take(unit, false);) Sum(unit);
  }
  void WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && active_ == 0; });
  }

 private:
  // A process that may start no more threads (at its limit, or built
  // without them) gets no helper: every poster takes back its own units.
  Units() {
    if (std::thread::hardware_concurrency() <= 1) return;
    try {
      std::thread([this] { Run(); }).detach();
    } catch (const std::system_error&) {
    }
  }
  bool Take(std::vector<double>& unit, bool wait) {
    std::unique_lock lock(mutex_);
    if (wait) wake_.wait(lock, [this] { return !queue_.empty(); });
    if (queue_.empty()) return false;
    unit = std::move(queue_.front());
    queue_.pop_front();
    ++active_;
    return true;
  }
  void Sum(const std::vector<double>& unit) {
    SumAndPublish(unit);
    {
      std::lock_guard lock(mutex_);
      --active_;
    }
    idle_.notify_all();
  }
  void Run() {
    for (std::vector<double> unit;;) {
      Take(unit, true);
      Sum(unit);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::vector<double>> queue_;
  int active_ = 0;  // units taken and not yet published
};

SeriesValue LookUpOrSum(double x, std::span<const double> companions);
void SumClaimed(double x, std::span<const double> companions);

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

bool CachedSeries(double x, SeriesValue& value) {
  const std::uint64_t key = Key(x);
  const CachedValue& slot = CacheSlot(key);
  if (slot.key != key || slot.epoch != gEpoch.load(std::memory_order_acquire)) return false;
  value = slot.value;
  return true;
}

SeriesValue RememberedSeries(double x, std::span<const double> companions) {
  const std::uint64_t key = Key(x);
  const std::uint64_t epoch = gEpoch.load(std::memory_order_acquire);
  CachedValue& slot = CacheSlot(key);
  if (slot.key == key && slot.epoch == epoch) return slot.value;
  const SeriesValue found = LookUpOrSum(x, companions);
  slot = {key, epoch, found};
  return found;
}

namespace {

SeriesValue LookUpOrSum(double x, std::span<const double> companions) {
  SeriesValue result;
  const Claim claim = LookUpOrClaim(x, result);
  if (claim == Claim::kReady) return result;
  if (claim == Claim::kClaimed) SumClaimed(x, companions);
  // Somebody is summing x, or units of our group are still queued: sum
  // what is queued rather than wait.
  Units::Instance().Drain();
  if (WaitFor(x, result)) return result;
  return LookUpOrSum(x, {});  // forgotten in the meantime: once more, alone
}

// x is ours to sum, with the companions nobody has claimed yet: the unit
// with x here, the others posted first for another core to take.
void SumClaimed(double x, std::span<const double> companions) {
  std::vector<double> batch{x};
  for (double c : ClaimFree(companions)) batch.push_back(c);
  const std::size_t width = static_cast<std::size_t>(DigammaLaneWidth());
  for (std::size_t first = width; first < batch.size(); first += width) {
    const std::size_t end = std::min(first + width, batch.size());
    Units::Instance().Post(std::vector<double>(batch.begin() + first, batch.begin() + end));
  }
  batch.resize(std::min(width, batch.size()));
  SumAndPublish(batch);
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

void SetRememberedSeriesLimit(std::size_t perShard) { gShardLimit.store(perShard == 0 ? kShardLimit : perShard); }

void ForgetRememberedSeries() {
  Units::Instance().WaitUntilIdle();
  gEpoch.fetch_add(1, std::memory_order_acq_rel);
  for (Shard& shard : Shards()) {
    std::lock_guard lock(shard.mutex);
    shard.entries.clear();
  }
}

}  // namespace quorix::detail
