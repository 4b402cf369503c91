#include "level.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "id_ring.h"
#include "invariant.h"
#include "saturating.h"

namespace tessarin {
namespace {

std::vector<OrderId> contents(const IdRing& ring) {
  std::vector<OrderId> out;
  for (size_t i = 0; i < ring.size(); ++i) out.push_back(ring[i]);
  return out;
}

std::vector<OrderId> entries(const Level& level) {
  std::vector<OrderId> out;
  for (size_t i = 0; i < level.queue_length(); ++i) out.push_back(level.entry(i));
  return out;
}

// Interleaved pushes and pops keep the head moving, so every growth happens with
// the contents wrapped around the end of the buffer.
TEST(IdRingTest, KeepsFifoOrderAcrossWrappedGrowth) {
  IdRing ring;
  std::deque<OrderId> reference;
  OrderId next = 1;
  for (int round = 0; round < 200; ++round) {
    for (int i = 0; i < 3; ++i) {
      ring.push_back(next);
      reference.push_back(next++);
    }
    ring.pop_front();
    reference.pop_front();
    ASSERT_EQ(ring.front(), reference.front());
  }
  EXPECT_EQ(contents(ring), std::vector<OrderId>(reference.begin(), reference.end()));
  EXPECT_EQ(ring.capacity() & (ring.capacity() - 1), 0u) << "capacity must stay a power of two";
}

TEST(IdRingTest, CopyIsDeepAndShrinkKeepsOrder) {
  IdRing ring;
  for (OrderId id = 1; id <= 100; ++id) ring.push_back(id);
  for (int i = 0; i < 97; ++i) ring.pop_front();
  IdRing copy = ring;
  copy[0] = 555;
  EXPECT_EQ(ring[0], 98u);
  copy.shrink_to_fit();
  EXPECT_EQ(copy.capacity(), 4u);
  EXPECT_EQ(contents(copy), (std::vector<OrderId>{555, 99, 100}));
  copy.push_back(101);
  copy.push_back(102);  // grows again from the shrunk buffer
  EXPECT_EQ(contents(copy), (std::vector<OrderId>{555, 99, 100, 101, 102}));
  copy.truncate(0);
  copy.shrink_to_fit();
  EXPECT_EQ(copy.capacity(), 0u);
}

TEST(LevelTest, AppendOfTheTombstoneIdIsAnInvariantFailure) {
  Level level(100);
  try {
    level.append(kTombstoneId, 5);
    FAIL() << "expected an invariant failure";
  } catch (const InvariantFailure& failure) {
    EXPECT_STREQ(failure.what(), "OrderId(0) reserved for tombstones");
  }
  EXPECT_EQ(level.queue_length(), 0u);
}

// Fixture: a level holding 1, 2, 3 (quantities 10, 20, 30) with 2 tombstoned.
class LevelWithTombstoneTest : public testing::Test {
 protected:
  void SetUp() override {
    for (OrderId id : {1, 2, 3}) sequences_.push_back(level_.append(id, id * 10));
    ASSERT_TRUE(level_.tombstone(sequences_[1], 2, 20));
  }
  Level level_{100};
  std::vector<uint64_t> sequences_;
};

TEST_F(LevelWithTombstoneTest, CountsAndTotalsExcludeTheTombstone) {
  EXPECT_EQ(entries(level_), (std::vector<OrderId>{1, kTombstoneId, 3}));
  EXPECT_EQ(level_.tombstone_count(), 1u);
  EXPECT_EQ(level_.live_count(), 2u);
  EXPECT_EQ(level_.total_quantity(), 40u);
}

TEST_F(LevelWithTombstoneTest, TombstoneRefusesAnEntryNotHoldingTheId) {
  EXPECT_FALSE(level_.tombstone(sequences_[1], 2, 20)) << "already a tombstone";
  EXPECT_FALSE(level_.tombstone(sequences_[0], 3, 30)) << "entry holds another id";
  EXPECT_FALSE(level_.tombstone(sequences_[2] + 1, 3, 30)) << "past the back";
  EXPECT_EQ(level_.total_quantity(), 40u);
  EXPECT_EQ(level_.tombstone_count(), 1u);
}

TEST_F(LevelWithTombstoneTest, PopFrontSkipsTombstonesUpToTheNextLiveId) {
  level_.pop_front();  // removes 1
  EXPECT_EQ(level_.front_live_id(), std::optional<OrderId>(3));
  EXPECT_EQ(entries(level_), (std::vector<OrderId>{3}));
  EXPECT_EQ(level_.tombstone_count(), 0u);
  EXPECT_EQ(level_.front_sequence(), sequences_[2]);
  // The popped entry's number now lies before the front and must not match.
  EXPECT_FALSE(level_.tombstone(sequences_[0], 1, 10));
  EXPECT_TRUE(level_.tombstone(sequences_[2], 3, 30));
  EXPECT_EQ(level_.front_live_id(), std::nullopt);
  EXPECT_EQ(level_.queue_length(), 0u);
}

TEST_F(LevelWithTombstoneTest, CompactRenumbersLiveEntriesFromTheFront) {
  Level uncompacted = level_;
  level_.compact();
  EXPECT_EQ(entries(level_), (std::vector<OrderId>{1, 3}));
  EXPECT_EQ(level_.tombstone_count(), 0u);
  EXPECT_EQ(level_.total_quantity(), 40u);
  // 3 moved forward one place: its old number is gone, the next one holds it.
  EXPECT_FALSE(level_.tombstone(sequences_[2], 3, 30));
  EXPECT_EQ(level_, uncompacted) << "tombstones are not observable";
  EXPECT_TRUE(level_.tombstone(level_.front_sequence() + 1, 3, 30));
  EXPECT_NE(level_, uncompacted);
}

TEST(LevelTest, SaturatedTotalReachesZeroWhileAnOrderIsLive) {
  Level level(100);
  const uint64_t first = level.append(1, kU64Max);
  level.append(2, kU64Max - 1);
  EXPECT_EQ(level.total_quantity(), kU64Max);
  ASSERT_TRUE(level.tombstone(first, 1, kU64Max));
  EXPECT_EQ(level.total_quantity(), 0u);
  EXPECT_EQ(level.live_count(), 1u) << "the live count, not the total, says the level is in use";
}

}  // namespace
}  // namespace tessarin
