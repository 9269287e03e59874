#include "capture_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace paced_device {
namespace {

constexpr std::uint64_t kStart = 5000000;  // a monotonic moment, in µs
constexpr std::uint64_t kMillisecond = 1000;

// 1000 Hz at real time: frame n arrives n ms after the start. A ring of
// 100 frames in periods of 25.
CaptureModel MakeModel(std::optional<std::uint64_t> failAfter = std::nullopt) {
  CaptureModel model(failAfter);
  model.Configure(FrameClock(1000, 1000), 100, 25);
  return model;
}

TEST(CaptureModel, FramesArriveFromTheStartAndWaitToBeConsumed) {
  CaptureModel model = MakeModel();
  model.Advance(kStart + 50 * kMillisecond);
  EXPECT_EQ(model.arrived(), 0u);  // not started
  ASSERT_TRUE(model.Start(kStart));
  model.Advance(kStart + 40 * kMillisecond);
  EXPECT_EQ(model.arrived(), 40u);
  model.Consume(30);
  EXPECT_EQ(model.NextSourceFrame(), 30u);
  model.Consume(50);  // no more than arrived
  EXPECT_EQ(model.consumed(), 40u);
  model.Consume(-15);  // a rewind gives frames back
  EXPECT_EQ(model.consumed(), 25u);
  model.Advance(kStart + 120 * kMillisecond);  // 95 waiting: fits
  EXPECT_EQ(model.state(), CaptureModel::State::kRunning);
  EXPECT_EQ(model.arrived(), 120u);
}

TEST(CaptureModel, OverrunLosesTheRingAndTheFrameThatDidNotFit) {
  CaptureModel model = MakeModel();
  ASSERT_TRUE(model.Start(kStart));
  model.Advance(kStart + 40 * kMillisecond);
  model.Consume(30);
  model.Advance(kStart + 130 * kMillisecond);  // 100 waiting: the ring is full
  EXPECT_EQ(model.state(), CaptureModel::State::kRunning);
  model.Advance(kStart + 131 * kMillisecond);
  ASSERT_EQ(model.state(), CaptureModel::State::kOverrun);
  model.Advance(kStart + 900 * kMillisecond);  // nothing arrives in an overrun
  EXPECT_EQ(model.arrived(), 131u);
  EXPECT_TRUE(model.InError());
  EXPECT_EQ(model.WakeMoment(), std::optional<std::uint64_t>(0));

  // The next run starts with the frame after the lost ones.
  model.EndRun();
  ASSERT_TRUE(model.Start(kStart + kMillisecond * 1000));
  model.Advance(kStart + kMillisecond * 1010);
  EXPECT_EQ(model.arrived(), 10u);
  EXPECT_EQ(model.NextSourceFrame(), 131u);
  model.Consume(10);

  const CaptureCounts counts = model.Counts();
  EXPECT_EQ(counts.framesArrived, 141u);
  EXPECT_EQ(counts.framesRead, 40u);
  EXPECT_EQ(counts.framesLost, 101u);
  EXPECT_EQ(counts.overruns, 1u);
}

TEST(CaptureModel, FailureIsForGood) {
  CaptureModel model = MakeModel(70);
  ASSERT_TRUE(model.Start(kStart));
  model.Advance(kStart + 60 * kMillisecond);
  model.Consume(60);
  model.Advance(kStart + 500 * kMillisecond);
  ASSERT_EQ(model.state(), CaptureModel::State::kFailed);
  EXPECT_EQ(model.arrived(), 70u);
  EXPECT_TRUE(model.InError());
  model.EndRun();
  EXPECT_EQ(model.state(), CaptureModel::State::kFailed);
  EXPECT_FALSE(model.Start(kStart + 600 * kMillisecond));
  EXPECT_EQ(model.Counts().framesArrived, 70u);
}

TEST(CaptureModel, FailureCountsFramesOfEveryRun) {
  CaptureModel model = MakeModel(150);
  ASSERT_TRUE(model.Start(kStart));
  model.Advance(kStart + kMillisecond * 1000);  // overruns at 101
  ASSERT_EQ(model.state(), CaptureModel::State::kOverrun);
  model.EndRun();
  ASSERT_TRUE(model.Start(kStart + kMillisecond * 2000));
  model.Advance(kStart + kMillisecond * 2048);
  EXPECT_EQ(model.state(), CaptureModel::State::kRunning);
  model.Advance(kStart + kMillisecond * 2049);  // the 150th frame
  EXPECT_EQ(model.state(), CaptureModel::State::kFailed);
  EXPECT_EQ(model.Counts().framesArrived, 150u);
}

TEST(CaptureModel, WakesAtThePeriodThatBringsAvailMin) {
  CaptureModel model = MakeModel(80);
  EXPECT_EQ(model.WakeMoment(), std::nullopt);  // idle: never
  ASSERT_TRUE(model.Start(kStart));
  EXPECT_EQ(model.WakeMoment(), kStart + 25 * kMillisecond);
  model.Advance(kStart + 30 * kMillisecond);
  EXPECT_TRUE(model.Readable());
  model.Consume(10);  // 35 wanted: the period ending at 50
  EXPECT_EQ(model.WakeMoment(), kStart + 50 * kMillisecond);
  model.Consume(20);
  EXPECT_FALSE(model.Readable());
  model.SetAvailMin(1);  // 31 wanted: still the period ending at 50
  EXPECT_EQ(model.WakeMoment(), kStart + 50 * kMillisecond);
  model.Consume(-30);  // rewound: the period that has passed
  EXPECT_EQ(model.WakeMoment(), kStart + 25 * kMillisecond);
  model.Consume(30);
  model.SetAvailMin(60);  // 90 wanted, but the failure at 80 comes first
  EXPECT_EQ(model.WakeMoment(), kStart + 80 * kMillisecond);
}

TEST(CaptureModel, WakesNobodyOnceItsInterruptsStopNotEvenForAnOverrun) {
  CaptureModel model(std::nullopt, 60);
  model.Configure(FrameClock(1000, 1000), 100, 25);
  ASSERT_TRUE(model.Start(kStart));
  model.Advance(kStart + 30 * kMillisecond);
  model.Consume(20);  // 45 wanted: the period ending at 50
  EXPECT_EQ(model.WakeMoment(), kStart + 50 * kMillisecond);
  model.Advance(kStart + 50 * kMillisecond);
  model.Consume(30);
  EXPECT_EQ(model.WakeMoment(), std::nullopt) << "the period ending at 75 comes after 60";
  model.Advance(kStart + 200 * kMillisecond);
  ASSERT_EQ(model.state(), CaptureModel::State::kOverrun);
  EXPECT_EQ(model.WakeMoment(), std::nullopt);
}

TEST(CaptureModel, ResetDropsTheUnreadFramesAndTheRunGoesOn) {
  CaptureModel model = MakeModel();
  ASSERT_TRUE(model.Start(kStart));
  model.Advance(kStart + 40 * kMillisecond);
  model.Consume(10);
  model.Reset(kStart + 40 * kMillisecond);
  EXPECT_EQ(model.arrived(), 0u);
  EXPECT_EQ(model.NextSourceFrame(), 40u);
  // Periods count from the reset.
  EXPECT_EQ(model.WakeMoment(), kStart + 65 * kMillisecond);
  model.Advance(kStart + 60 * kMillisecond);
  EXPECT_EQ(model.arrived(), 20u);
  EXPECT_EQ(model.Counts().framesArrived, 60u);
  EXPECT_EQ(model.Counts().framesRead, 10u);
  EXPECT_EQ(model.Counts().framesLost, 0u);
}

TEST(CaptureModel, StopFreezesTheRunUntilPrepared) {
  CaptureModel model = MakeModel();
  ASSERT_TRUE(model.Start(kStart));
  model.Stop(kStart + 40 * kMillisecond);
  model.Advance(kStart + 400 * kMillisecond);
  EXPECT_EQ(model.state(), CaptureModel::State::kStopped);
  EXPECT_EQ(model.arrived(), 40u);
  EXPECT_TRUE(model.InError());
  model.EndRun();
  EXPECT_EQ(model.state(), CaptureModel::State::kIdle);
  EXPECT_FALSE(model.InError());
  EXPECT_EQ(model.NextSourceFrame(), 40u);
}

}  // namespace
}  // namespace paced_device
