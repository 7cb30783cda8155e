#include <gtest/gtest.h>

#include "embedded_host/environment.h"
#include "embedded_host/source_clip.h"

namespace quorvant::host {
namespace {

TEST(PluginEntry, RegistersSixFunctionsInOrderAndAnswersTheDescription) {
  Environment env;
  EXPECT_EQ(env.loadPlugin(QUORVANT_PLUGIN_PATH), "Quorvant: functions to speed up Ormuth's Pendrask");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"SimpleAverage", "cc"}, {"Clamp", "cccii"}, {"ShiftedMinimum", "cic"},
      {"SubtractAndSign", "cc"}, {"Sign", "c"}, {"Unsign", "c"}};
  ASSERT_EQ(env.functions().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(env.functions()[i].name, expected[i].first);
    EXPECT_EQ(env.functions()[i].params, expected[i].second);
    EXPECT_EQ(env.functions()[i].userData, nullptr);
  }
}

TEST(PluginEntry, SignFlipsTopBitSmoke) {
  Environment env;
  env.loadPlugin(QUORVANT_PLUGIN_PATH);
  PlanarImage image;
  image.width = 130;
  image.height = 4;
  for (int i = 0; i < 130 * 4; ++i) image.y.push_back(uint8_t(i));
  image.u.assign(65 * 2, 100);
  image.v.assign(65 * 2, 200);
  {
    PClip source = memoryClip(env, videoInfo(130, 4, 1), {image}, FramePolicy::fresh);
    AVSValue result = env.call("Sign", {AVSValue(source)});
    PVideoFrame frame = result.AsClip()->GetFrame(0, &env);
    std::vector<uint8_t> y = planeBytes(frame, PLANAR_Y);
    for (size_t i = 0; i < y.size(); ++i) ASSERT_EQ(y[i], uint8_t(image.y[i] ^ 0x80)) << i;
    EXPECT_EQ(planeBytes(frame, PLANAR_U), image.u);
  }
  EXPECT_EQ(env.poolStats().framesInUse, 0u);
}

}  // namespace
}  // namespace quorvant::host
