// A creator that cannot obtain storage for its filter raises
// "<Class>: out of memory." through the host, before reading any argument,
// and takes no reference. This executable replaces the non-throwing
// operator new (exported, so the loaded plugin calls this one) to fail on
// demand.
#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "tests/plugin_test_support.h"

namespace {

// The switch must live outside any object: operator new has no other way
// to reach it.
std::atomic<bool> failNothrowNew{false};
std::atomic<int> refusedRequests{0};

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (failNothrowNew.load()) {
    ++refusedRequests;
    return nullptr;
  }
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace quorvant::test {
namespace {

// Non-throwing allocations fail while one of these lives.
class NothrowNewFails {
 public:
  NothrowNewFails() { failNothrowNew = true; }
  ~NothrowNewFails() { failNothrowNew = false; }
  NothrowNewFails(const NothrowNewFails&) = delete;
  NothrowNewFails& operator=(const NothrowNewFails&) = delete;
};

TEST_F(PluginTest, CreatorWithoutStorageRaisesOutOfMemoryAndHoldsNothing) {
  const struct {
    const char* function;
    const char* message;
  } cases[] = {
      {"SimpleAverage", "SimpleAverage: out of memory."},
      {"Clamp", "Clamp: out of memory."},
      {"ShiftedMinimum", "ShiftedMinimum: out of memory."},
      {"SubtractAndSign", "SubtractAndSign: out of memory."},
      {"Sign", "Sign: out of memory."},
      {"Unsign", "Sign: out of memory."},
  };
  for (const auto& c : cases) {
    // With no CPU flags a constructed filter would fail its checks instead.
    for (int cpuFlags : {Environment::kDefaultCpuFlags, 0}) {
      SCOPED_TRACE(::testing::Message() << c.function << " CPU flags " << cpuFlags);
      env.setCpuFlags(cpuFlags);
      const FunctionCase& function = functionCase(c.function);
      std::vector<PClip> clips;
      for (int i = 0; i < function.clipCount; ++i) {
        clips.push_back(patternClip(env, host::videoInfo(128, 4, 1), 1, FramePolicy::fresh).clip);
      }
      const std::vector<AVSValue> args = function.arguments(clips);
      refusedRequests = 0;
      try {
        const NothrowNewFails noStorage;
        env.call(c.function, args);
        ADD_FAILURE() << "no error";
      } catch (const host::ScriptError& error) {
        EXPECT_STREQ(error.what(), c.message);
      }
      EXPECT_EQ(refusedRequests, 1);
      for (const PClip& clip : clips) EXPECT_EQ(clip->ReferenceCount(), 2);  // clips and args
    }
  }

  // With storage again the same call builds its filter.
  env.setCpuFlags(Environment::kDefaultCpuFlags);
  const PClip clip = patternClip(env, host::videoInfo(128, 4, 1), 1, FramePolicy::fresh).clip;
  EXPECT_TRUE(env.call("Sign", {clip}).AsClip());
}

}  // namespace
}  // namespace quorvant::test
